#include "container/filecopy.h"

#include <cerrno>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace traxo {

namespace {

// Large enough that the calls cost nothing beside the copying, small enough
// that stop() takes effect at once.
constexpr qint64 CopyStep = 4 << 20;
constexpr qint64 BufferSize = 64 << 10;

} // namespace

#ifdef Q_OS_LINUX

bool FileCopy::start(int from, int to, qint64 at)
{
    struct stat info = {};
    if (from < 0 || to < 0 || ::fstat(from, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    m_from = from;
    m_to = to;
    m_at = at;
    m_copied = 0;
    m_error = 0;
    m_stopping.store(false);
    m_failed.store(false);
    return true;
}

void FileCopy::run()
{
    bool inKernel = true;
    std::vector<char> buffer;
    while (!m_stopping.load(std::memory_order_relaxed)) {
        qint64 count = 0;
        if (inKernel) {
            loff_t in = loff_t(m_copied);
            loff_t out = loff_t(m_at + m_copied);
            count = ::copy_file_range(m_from, &in, m_to, &out, size_t(CopyStep), 0);
            if (count < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                // File systems or kernels that cannot copy between these files.
                inKernel = false;
                continue;
            }
        } else {
            buffer.resize(size_t(BufferSize));
            count = copyPiece(buffer.data(), qint64(buffer.size()));
        }
        if (count == 0)
            return;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            m_failed.store(true, std::memory_order_relaxed);
            return;
        }
        m_copied += count;
    }
}

qint64 FileCopy::copyPiece(char *buffer, qint64 size)
{
    const ssize_t count = ::pread(m_from, buffer, size_t(size), off_t(m_copied));
    if (count <= 0)
        return count;
    for (ssize_t written = 0; written < count;) {
        const ssize_t done
            = ::pwrite(m_to, buffer + written, size_t(count - written), off_t(m_at + m_copied + written));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return -1;
        }
        written += done;
    }
    return count;
}

#else

bool FileCopy::start(int, int, qint64)
{
    return false;
}

void FileCopy::run()
{
}

qint64 FileCopy::copyPiece(char *, qint64)
{
    return -1;
}

#endif

} // namespace traxo
