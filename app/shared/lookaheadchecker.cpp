#include "shared/lookaheadchecker.h"

#include <algorithm>

LookAheadChecker::LookAheadChecker(Check check, int threads, int window)
    : m_check(std::move(check))
    , m_window(std::max(1, window))
    , m_slots(size_t(m_window))
{
    const int count = std::max(1, threads);
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { work(); });
}

LookAheadChecker::~LookAheadChecker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void LookAheadChecker::addFiles(const QStringList &files)
{
    {
        const std::lock_guard lock(m_mutex);
        m_files.append(files);
    }
    m_changed.notify_all();
}

void LookAheadChecker::finishListing()
{
    {
        const std::lock_guard lock(m_mutex);
        m_listed = true;
    }
    m_changed.notify_all();
}

EvaluationResult LookAheadChecker::takeNext()
{
    std::unique_lock lock(m_mutex);
    std::optional<EvaluationResult> &slot = m_slots[size_t(m_nextToTake % m_window)];
    while (!slot && !(m_listed && m_nextToTake >= m_files.size())) {
        // Waking a sleeping consumer for every verdict costs about as much
        // as checking a small container, so the consumer checks the next
        // unclaimed file itself and sleeps only when none is left. Files
        // are claimed in order, so the wait is bounded by two checks: the
        // one in hand and the one awaited.
        if (canClaim())
            checkClaimed(lock);
        else
            m_checked.wait(lock);
    }
    if (!slot)
        return EvaluationResult();
    EvaluationResult result = std::move(*slot);
    slot.reset();
    ++m_nextToTake;
    lock.unlock();
    m_changed.notify_all();
    return result;
}

bool LookAheadChecker::canClaim() const
{
    return m_nextToCheck < m_files.size() && m_nextToCheck < m_nextToTake + m_window;
}

void LookAheadChecker::checkClaimed(std::unique_lock<std::mutex> &lock)
{
    const int index = m_nextToCheck++;
    const QString fileName = m_files.at(index);
    lock.unlock();
    EvaluationResult result = m_check(fileName);
    lock.lock();
    m_slots[size_t(index % m_window)] = std::move(result);
    m_checked.notify_all();
}

void LookAheadChecker::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(
            lock, [this] { return m_stopping || (m_listed && m_nextToCheck >= m_files.size()) || canClaim(); });
        if (m_stopping || m_nextToCheck >= m_files.size())
            break;
        checkClaimed(lock);
    }
    // A consumer waiting past the end of the list must learn that it ended.
    m_checked.notify_all();
}
