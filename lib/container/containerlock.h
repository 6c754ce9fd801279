#ifndef TRAXO_CONTAINERLOCK_H
#define TRAXO_CONTAINERLOCK_H

#include <QByteArray>
#include <QString>

#include <functional>

namespace traxo {

// One writer at a time per container: an exclusive POSIX record lock on the
// file "<container>.lock" beside it (never on the container, whose inode a
// replacing writer renames away). The lock file doubles as the writer's
// journal: before a writer appends in place it records the container's
// length there, so that whoever takes the lock after a writer died cuts the
// unfinished tail back (recover()). A holder that finishes removes the lock
// file before it unlocks; a waiter that then gets the lock on the removed
// inode notices and tries again, so no lock file stays behind.
class ContainerLock
{
public:
    explicit ContainerLock(const QString &containerPath);
    ~ContainerLock();
    ContainerLock(const ContainerLock &) = delete;
    ContainerLock &operator=(const ContainerLock &) = delete;

    // The lock file of a container: symbolic links are followed, so that
    // every name of one container shares one lock.
    static QString lockPathFor(const QString &containerPath);

    // Waits at most timeoutMs for the lock; waiting() is called once when the
    // wait has lasted noticeMs.
    bool acquire(qint64 timeoutMs, const std::function<void()> &waiting = {}, qint64 noticeMs = 1000);
    bool isLocked() const { return m_fd >= 0; }

    // Undoes what a writer that died holding the lock left unfinished: cuts
    // the container back to the length it recorded and removes its
    // temporary file. True when there was nothing to undo or it was undone.
    bool recover();
    // Journal entries for the work that follows; finish() clears them.
    bool beginAppend(qint64 containerLength);
    bool beginTemporary(const QString &temporaryPath);
    bool finish();

    // Removes the lock file and unlocks; an unfinished journal keeps the
    // file, so that the next writer recovers.
    void release();

    QString containerPath() const { return m_container; }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &message);
    bool writeJournal(const QByteArray &text);

    QString m_container;
    QString m_lockPath;
    int m_fd = -1;
    QByteArray m_journal;
    QString m_error;
};

} // namespace traxo

#endif
