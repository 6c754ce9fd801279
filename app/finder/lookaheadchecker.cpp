#include "lookaheadchecker.h"

#include <QMutexLocker>
#include <QThread>

#include <algorithm>

LookAheadChecker::LookAheadChecker(const QStringList &files, Check check, int threads, int window)
    : m_files(files)
    , m_check(std::move(check))
    , m_window(std::max(1, window))
    , m_slots(size_t(m_window))
{
    const int count = std::clamp(threads, 1, std::max(1, int(files.size())));
    for (int i = 0; i < count; ++i) {
        m_threads.emplace_back(QThread::create([this] { work(); }));
        m_threads.back()->start();
    }
}

LookAheadChecker::~LookAheadChecker()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_taken.wakeAll();
    }
    for (const std::unique_ptr<QThread> &thread : m_threads)
        thread->wait();
}

EvaluationResult LookAheadChecker::takeNext()
{
    QMutexLocker lock(&m_mutex);
    if (m_nextToTake >= m_files.size())
        return EvaluationResult();
    std::optional<EvaluationResult> &slot = m_slots[size_t(m_nextToTake % m_window)];
    // Files are claimed in order, so this one is being checked already or
    // will be next: the wait is bounded by a single check.
    while (!slot)
        m_checked.wait(&m_mutex);
    EvaluationResult result = std::move(*slot);
    slot.reset();
    ++m_nextToTake;
    m_taken.wakeAll();
    return result;
}

void LookAheadChecker::work()
{
    QMutexLocker lock(&m_mutex);
    for (;;) {
        while (!m_stopping && m_nextToCheck < m_files.size() && m_nextToCheck >= m_nextToTake + m_window)
            m_taken.wait(&m_mutex);
        if (m_stopping || m_nextToCheck >= m_files.size())
            return;
        const int index = m_nextToCheck++;
        lock.unlock();
        EvaluationResult result = m_check(m_files.at(index));
        lock.relock();
        m_slots[size_t(index % m_window)] = std::move(result);
        m_checked.wakeAll();
    }
}
