#include "lookaheadchecker.h"

#include <algorithm>

LookAheadChecker::LookAheadChecker(const QStringList &files, Check check, int threads, int window)
    : m_files(files)
    , m_check(std::move(check))
    , m_window(std::max(1, window))
    , m_slots(size_t(m_window))
{
    const int count = std::clamp(threads, 1, std::max(1, int(files.size())));
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { work(); });
}

LookAheadChecker::~LookAheadChecker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_taken.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

EvaluationResult LookAheadChecker::takeNext()
{
    std::unique_lock lock(m_mutex);
    if (m_nextToTake >= m_files.size())
        return EvaluationResult();
    std::optional<EvaluationResult> &slot = m_slots[size_t(m_nextToTake % m_window)];
    // Files are claimed in order, so this one is being checked already or
    // will be next: the wait is bounded by a single check.
    m_checked.wait(lock, [&slot] { return slot.has_value(); });
    EvaluationResult result = std::move(*slot);
    slot.reset();
    ++m_nextToTake;
    lock.unlock();
    m_taken.notify_all();
    return result;
}

void LookAheadChecker::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_taken.wait(lock, [this] {
            return m_stopping || m_nextToCheck >= m_files.size() || m_nextToCheck < m_nextToTake + m_window;
        });
        if (m_stopping || m_nextToCheck >= m_files.size())
            return;
        const int index = m_nextToCheck++;
        lock.unlock();
        EvaluationResult result = m_check(m_files.at(index));
        lock.lock();
        m_slots[size_t(index % m_window)] = std::move(result);
        m_checked.notify_all();
    }
}
