#ifndef TRAXO_WRITERLOCKS_H
#define TRAXO_WRITERLOCKS_H

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace traxo {
class ContainerLock;
}

namespace traxotools {

class ToolConsole;

// The container locks of one run of a writing tool. All are taken in one
// fixed order (by lock file), so that two writers naming the same containers
// in different orders cannot hold one each and wait for the other; what a
// killed writer left unfinished is undone right after each is taken.
class WriterLocks
{
public:
    static constexpr qint64 DefaultTimeoutMs = 120000;

    explicit WriterLocks(ToolConsole &console);
    ~WriterLocks();

    // Reads the value of "--lock-timeout SECONDS"; reports a bad one.
    static bool parseTimeout(const QString &value, qint64 *timeoutMs, ToolConsole &console);

    void setTimeout(qint64 timeoutMs) { m_timeoutMs = timeoutMs; }
    // Locks every container (existing or to be created); reports and
    // returns false when one cannot be locked in time, holding none then.
    bool lock(const QStringList &containers);
    // The lock that covers a container, or null.
    traxo::ContainerLock *lockFor(const QString &container) const;
    void releaseAll();

private:
    ToolConsole &m_console;
    qint64 m_timeoutMs = DefaultTimeoutMs;
    std::vector<std::unique_ptr<traxo::ContainerLock>> m_locks;
};

} // namespace traxotools

#endif
