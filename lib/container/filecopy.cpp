#include "container/filecopy.h"

#include <cerrno>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace traxo {

namespace {

constexpr size_t BufferSize = 64 << 10;

} // namespace

#ifdef Q_OS_UNIX

bool FileCopy::start(int from, int to, qint64 at, Inspector inspector)
{
    struct stat info = {};
    if (from < 0 || to < 0 || ::fstat(from, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    m_from = from;
    m_to = to;
    m_at = at;
    m_inspector = std::move(inspector);
    m_copied = 0;
    m_error = 0;
    m_refused = false;
    m_stopping.store(false);
    m_ended.store(false);
    return true;
}

void FileCopy::run()
{
    std::vector<char> buffer(BufferSize);
    const auto failed = [this](int error) {
        m_error = error;
        m_ended.store(true, std::memory_order_relaxed);
    };
    while (!m_stopping.load(std::memory_order_relaxed)) {
        const ssize_t count = ::pread(m_from, buffer.data(), buffer.size(), off_t(m_copied));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return failed(errno);
        if (count == 0)
            return;
        if (m_inspector && !m_inspector(QByteArrayView(buffer.data(), count))) {
            m_refused = true;
            m_ended.store(true, std::memory_order_relaxed);
            return;
        }
        for (ssize_t written = 0; written < count;) {
            const ssize_t done
                = ::pwrite(m_to, buffer.data() + written, size_t(count - written), off_t(m_at + m_copied + written));
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                return failed(done < 0 ? errno : EIO);
            written += done;
        }
        m_copied += count;
    }
}

#else

bool FileCopy::start(int, int, qint64, Inspector)
{
    return false;
}

void FileCopy::run()
{
}

#endif

} // namespace traxo
