#ifndef TRAXO_LOOKAHEADCHECKER_H
#define TRAXO_LOOKAHEADCHECKER_H

#include "finder/traxofinder.h"

#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Checks the files of a search on worker threads, a bounded number of files
// ahead of the consumer, and hands the verdicts out in file order. Opening
// a container is mostly waiting for the file system, so checking on every
// core shortens a search over many small containers several times over.
// The check must be safe to call from several threads at once.
class LookAheadChecker
{
public:
    using Check = std::function<EvaluationResult(const QString &fileName)>;

    LookAheadChecker(const QStringList &files, Check check, int threads, int window = 256);
    // Waits for the checks under way (at most one file per thread) and
    // drops the rest.
    ~LookAheadChecker();

    LookAheadChecker(const LookAheadChecker &) = delete;
    LookAheadChecker &operator=(const LookAheadChecker &) = delete;

    // The verdict on the next file in list order; waits no longer than the
    // check of that one file takes. Past the last file, an empty result.
    EvaluationResult takeNext();

private:
    void work();

    const QStringList m_files;
    const Check m_check;
    const int m_window;

    std::mutex m_mutex;
    std::condition_variable m_checked;
    std::condition_variable m_taken;
    std::vector<std::optional<EvaluationResult>> m_slots; // file i in slot i % window
    int m_nextToCheck = 0;
    int m_nextToTake = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

#endif
