#ifndef TRAXO_FILECOPY_H
#define TRAXO_FILECOPY_H

#include <QByteArrayView>
#include <QtGlobal>

#include <atomic>
#include <functional>

namespace traxo {

// Copies a regular file, from its first byte to its end, into another open
// file at a given offset, on whichever thread calls run(), through a buffer
// of 64 KiB that stays in that core's cache. Each piece is shown to an
// inspector before it is written, which may refuse it. Neither descriptor's
// file position moves.
class FileCopy
{
public:
    // Takes the next piece; false refuses it and ends the copy.
    using Inspector = std::function<bool(QByteArrayView piece)>;

    // Prepares copying from into to at offset at; false when from is no
    // regular file (a pipe cannot be read twice) or the system offers no
    // positioned reads, and the caller copies the bytes itself.
    bool start(int from, int to, qint64 at, Inspector inspector = {});
    // Copies until the end of the source, a failure, a refusal or stop().
    void run();
    // Safe from any thread: run() returns after the piece under way.
    void stop() { m_stopping.store(true, std::memory_order_relaxed); }
    // Safe from any thread: whether run() ended before the end of the source
    // (a failure or a refusal), so that the caller need not read on.
    bool ended() const { return m_ended.load(std::memory_order_relaxed); }

    // Read once run() has returned: the bytes copied, the errno of a
    // failure (0 when none), and whether the inspector refused a piece.
    qint64 copied() const { return m_copied; }
    int error() const { return m_error; }
    bool refused() const { return m_refused; }

private:
    int m_from = -1;
    int m_to = -1;
    qint64 m_at = 0;
    Inspector m_inspector;
    qint64 m_copied = 0;
    int m_error = 0;
    bool m_refused = false;
    std::atomic<bool> m_stopping { false };
    std::atomic<bool> m_ended { false };
};

} // namespace traxo

#endif
