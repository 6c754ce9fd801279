#include "container/containerlock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace traxo {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

ContainerLock::ContainerLock(const QString &containerPath)
    : m_container(QFileInfo(containerPath).absoluteFilePath())
    , m_lockPath(lockPathFor(containerPath))
{
}

ContainerLock::~ContainerLock()
{
    release();
}

QString ContainerLock::lockPathFor(const QString &containerPath)
{
    const QFileInfo info(containerPath);
    const QString canonical = info.canonicalFilePath();
    return (canonical.isEmpty() ? info.absoluteFilePath() : canonical) + QStringLiteral(".lock");
}

bool ContainerLock::acquire(qint64 timeoutMs, const std::function<void()> &waiting, qint64 noticeMs)
{
    release();
    m_error.clear();
    const QByteArray name = QFile::encodeName(m_lockPath);
    QElapsedTimer clock;
    clock.start();
    bool noticed = false;
    unsigned long pause = 2;
    for (;;) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return fail(QStringLiteral("cannot create the lock file \"%1\": %2").arg(m_lockPath, systemError(errno)));
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd, F_SETLK, &lock) == 0) {
            // The previous holder may have removed the file between our open
            // and our lock: then we hold a lock nobody else can see.
            struct stat held = {};
            struct stat named = {};
            if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &named) == 0 && held.st_dev == named.st_dev
                && held.st_ino == named.st_ino) {
                m_fd = fd;
                QByteArray journal(4096, '\0');
                const ssize_t count = ::pread(fd, journal.data(), size_t(journal.size()), 0);
                m_journal = journal.left(count > 0 ? qsizetype(count) : 0);
                return true;
            }
            ::close(fd);
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EACCES && error != EAGAIN)
            return fail(QStringLiteral("cannot lock \"%1\": %2").arg(m_lockPath, systemError(error)));
        if (!noticed && clock.elapsed() >= noticeMs) {
            noticed = true;
            if (waiting)
                waiting();
        }
        if (clock.elapsed() >= timeoutMs)
            return fail(QStringLiteral("gave up waiting for another writer of \"%1\" after %2 seconds")
                            .arg(m_container)
                            .arg(double(timeoutMs) / 1000.0));
        QThread::msleep(pause);
        pause = qMin<unsigned long>(pause * 2, 50);
    }
}

bool ContainerLock::recover()
{
    if (m_fd < 0)
        return fail(QStringLiteral("\"%1\" is not locked").arg(m_container));
    const QList<QByteArray> entries = m_journal.split('\n');
    for (const QByteArray &entry : entries) {
        if (entry.startsWith("length ")) {
            bool ok = false;
            const qint64 length = entry.mid(7).toLongLong(&ok);
            const QFileInfo info(m_container);
            if (ok && length >= 0 && info.exists() && info.size() > length
                && ::truncate(QFile::encodeName(m_container).constData(), off_t(length)) != 0)
                return fail(QStringLiteral("cannot cut back the unfinished step at the end of \"%1\": %2")
                                .arg(m_container, systemError(errno)));
        } else if (entry.startsWith("temporary ")) {
            const QByteArray path = entry.mid(10);
            if (::unlink(path.constData()) != 0 && errno != ENOENT)
                return fail(QStringLiteral("cannot remove the unfinished file \"%1\": %2")
                                .arg(QFile::decodeName(path), systemError(errno)));
        }
    }
    return finish();
}

bool ContainerLock::beginAppend(qint64 containerLength)
{
    return writeJournal(m_journal + "length " + QByteArray::number(containerLength) + '\n');
}

bool ContainerLock::beginTemporary(const QString &temporaryPath)
{
    return writeJournal(m_journal + "temporary " + QFile::encodeName(temporaryPath) + '\n');
}

bool ContainerLock::finish()
{
    return writeJournal(QByteArray());
}

bool ContainerLock::writeJournal(const QByteArray &text)
{
    if (m_fd < 0)
        return fail(QStringLiteral("\"%1\" is not locked").arg(m_container));
    // Only a killed process leaves the journal for others, and the kernel
    // keeps what was written, so no sync is needed for that case.
    if (::ftruncate(m_fd, 0) != 0
        || (!text.isEmpty() && ::pwrite(m_fd, text.constData(), size_t(text.size()), 0) != ssize_t(text.size())))
        return fail(QStringLiteral("cannot write the lock file \"%1\": %2").arg(m_lockPath, systemError(errno)));
    m_journal = text;
    return true;
}

void ContainerLock::release()
{
    if (m_fd < 0)
        return;
    if (m_journal.isEmpty())
        ::unlink(QFile::encodeName(m_lockPath).constData());
    ::close(m_fd);
    m_fd = -1;
    m_journal.clear();
}

bool ContainerLock::fail(const QString &message)
{
    m_error = message;
    return false;
}

} // namespace traxo
