#ifndef TRAXO_LOOKAHEADCHECKER_H
#define TRAXO_LOOKAHEADCHECKER_H

#include "shared/traxofinder.h"

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
// Files may be added while the directory walk goes on, so checking starts
// with the first folder. The check must be safe to call from several
// threads at once.
class LookAheadChecker
{
public:
    using Check = std::function<EvaluationResult(const QString &fileName)>;

    LookAheadChecker(Check check, int threads, int window = 256);
    // Waits for the checks under way (at most one file per thread) and
    // drops the rest.
    ~LookAheadChecker();

    LookAheadChecker(const LookAheadChecker &) = delete;
    LookAheadChecker &operator=(const LookAheadChecker &) = delete;

    // Appends files to check, in list order.
    void addFiles(const QStringList &files);
    // No more files will come; the workers end after the last one.
    void finishListing();

    // The verdict on the next file in list order. While it is not ready,
    // the calling thread checks the next unclaimed files itself, so it waits
    // no longer than two checks take. Past the last file of a finished list,
    // an empty result.
    EvaluationResult takeNext();

private:
    void work();
    // Whether a file may be claimed: listed, unclaimed and inside the window.
    bool canClaim() const;
    // Claims the next file and checks it with the lock released.
    void checkClaimed(std::unique_lock<std::mutex> &lock);

    const Check m_check;
    const int m_window;

    std::mutex m_mutex;
    std::condition_variable m_checked;
    std::condition_variable m_changed; // files added, taken or listing over
    QStringList m_files;
    std::vector<std::optional<EvaluationResult>> m_slots; // file i in slot i % window
    int m_nextToCheck = 0;
    int m_nextToTake = 0;
    bool m_listed = false;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

#endif
