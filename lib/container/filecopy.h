#ifndef TRAXO_FILECOPY_H
#define TRAXO_FILECOPY_H

#include <QtGlobal>

#include <atomic>

namespace traxo {

// Copies a regular file, from its first byte to its end, into another open
// file at a given offset, on whichever thread calls run(): in the kernel
// (copy_file_range) where the file systems allow it, else through a small
// buffer. Neither descriptor's file position moves.
class FileCopy
{
public:
    // Prepares copying from into to at offset at; false when from is no
    // regular file (a pipe cannot be read twice) or the system offers no
    // such copy, and the caller copies the bytes itself.
    bool start(int from, int to, qint64 at);
    // Copies until the end of the source, a failure or stop().
    void run();
    // Safe from any thread: run() returns after the piece under way.
    void stop() { m_stopping.store(true, std::memory_order_relaxed); }
    // Safe from any thread: whether run() has met a failure, so that the
    // caller need not read a large file to its end first.
    bool failed() const { return m_failed.load(std::memory_order_relaxed); }

    // Read once run() has returned: the bytes copied, and the errno of a
    // failure (0 when none).
    qint64 copied() const { return m_copied; }
    int error() const { return m_error; }

private:
    // Copies the next piece through buffer: the bytes copied, 0 at the end,
    // -1 with errno set on a failure.
    qint64 copyPiece(char *buffer, qint64 size);

    int m_from = -1;
    int m_to = -1;
    qint64 m_at = 0;
    qint64 m_copied = 0;
    int m_error = 0;
    std::atomic<bool> m_stopping { false };
    std::atomic<bool> m_failed { false };
};

} // namespace traxo

#endif
