#include "container/fileiterator.h"

#include <QFile>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace traxo {

FileIterator::FileIterator() = default;

FileIterator::~FileIterator()
{
    closeFile();
}

#ifdef Q_OS_UNIX

// Open, one read and close for a small container, where QFileInfo and QFile
// took seven calls: a search opens thousands of them. A head read that comes
// back short, but not empty, has met the end of the file, which gives the
// size; one that fills the window or reads nothing asks fstat for the size
// and the type, so only a regular file opens. Pipes, ttys and directories
// fail the read itself, and O_NONBLOCK keeps the open of a named pipe from
// waiting for a writer.
bool FileIterator::open(const QString &fileName)
{
    closeFile();
    // A NUL would silently cut the path short.
    if (fileName.isEmpty() || fileName.contains(QChar(0)))
        return false;
    int fd;
    do {
        fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    QByteArray head(BufferSize, Qt::Uninitialized);
    ssize_t count;
    do {
        count = ::pread(fd, head.data(), size_t(head.size()), 0);
    } while (count < 0 && errno == EINTR);
    qint64 size = count;
    if (count <= 0 || count == BufferSize) {
        struct stat status;
        if (count < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(fd);
            return false;
        }
        size = status.st_size;
    }
    // A file that shrank between the two calls keeps only what it still holds.
    head.truncate(qsizetype(std::min<qint64>(count, size)));
    m_fd = fd;
    m_fileName = fileName;
    m_size = size;
    m_window = { std::move(head), 0 };
    firstLine();
    return true;
}

QByteArray FileIterator::readAt(qint64 position, qint64 length)
{
    QByteArray data(qsizetype(length), Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t count = ::pread(m_fd, data.data() + done, size_t(length - done), off_t(position + done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return {};
        if (count == 0)
            break;
        done += count;
    }
    data.truncate(qsizetype(done));
    return data;
}

#else

bool FileIterator::open(const QString &fileName)
{
    closeFile();
    // Only regular files: opening a named pipe would wait for a writer.
    if (!QFileInfo(fileName).isFile())
        return false;
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    const qint64 size = file->size();
    if (size < 0)
        return false;
    m_file = std::move(file);
    m_fileName = fileName;
    m_size = size;
    firstLine();
    return true;
}

QByteArray FileIterator::readAt(qint64 position, qint64 length)
{
    if (!m_file->seek(position))
        return {};
    return m_file->read(length);
}

#endif

bool FileIterator::isOpen() const
{
#ifdef Q_OS_UNIX
    return m_fd >= 0;
#else
    return m_file != nullptr;
#endif
}

void FileIterator::closeFile()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
#else
    m_file.reset();
#endif
    m_fileName.clear();
    m_size = 0;
    m_window = {};
    m_spare = {};
    m_cursor = 0;
    m_line.clear();
    m_curPos = -1;
    m_curLineEnd = -1;
}

bool FileIterator::firstLine()
{
    m_cursor = 0;
    return nextLine();
}

bool FileIterator::lastLine()
{
    m_cursor = m_size;
    return prevLine();
}

bool FileIterator::nextLine()
{
    const qint64 start = m_cursor;
    if (!isOpen() || m_size <= start) {
        m_curPos = start;
        return false;
    }
    const qint64 lineFeed = findLineFeedForwards(start);
    const qint64 end = lineFeed < 0 ? m_size : lineFeed + 1;
    takeLine(start, end);
    m_cursor = end;
    return true;
}

bool FileIterator::prevLine()
{
    const qint64 end = m_cursor;
    if (!isOpen() || end <= 0) {
        m_curPos = 0;
        return false;
    }
    // The byte at end - 1 is the line feed that closes this very line.
    const qint64 lineFeed = end >= 2 ? findLineFeedBackwards(end - 2) : -1;
    const qint64 start = lineFeed + 1;
    takeLine(start, end);
    m_cursor = start;
    return true;
}

bool FileIterator::gotoPos(qint64 pos)
{
    if (!isOpen() || pos < 0 || pos >= m_size)
        return false;
    m_cursor = pos;
    return nextLine();
}

QSharedPointer<QByteArray> FileIterator::curLine() const
{
    if (!isOpen())
        return {};
    return QSharedPointer<QByteArray>::create(m_line);
}

QSharedPointer<QString> FileIterator::curLineAsString() const
{
    if (!isOpen() || containsNulls(m_line))
        return {};
    return QSharedPointer<QString>::create(QString::fromUtf8(m_line));
}

bool FileIterator::curLineStartsWithBytes(const char *bytes) const
{
    return isOpen() && bytes && m_line.startsWith(bytes);
}

QByteArray FileIterator::getBytes(qint64 position, qint64 length)
{
    if (!isOpen() || position < 0 || position >= m_size || length < 0 || length > m_size - position)
        return {};
    // Small containers lie wholly in the window, a large one's summaries in
    // its last window: reading them needs no call.
    for (const Window *window : { &m_window, &m_spare }) {
        if (window->holds(position, length))
            return window->bytes.mid(position - window->start, length);
    }
    QByteArray data = readAt(position, length);
    // A file that shrank under us reads short: a partial range is no range.
    if (data.size() != length)
        return {};
    return data;
}

QByteArrayView FileIterator::wholeFile() const
{
    if (!isOpen() || m_window.start != 0 || m_window.bytes.size() != m_size)
        return {};
    return m_window.bytes;
}

bool FileIterator::containsNulls(const QByteArray &bytes)
{
    return bytes.contains('\0');
}

bool FileIterator::readBuffer(qint64 position)
{
    // Never more than the file holds, so a small file takes one read call.
    QByteArray data = readAt(position, std::min<qint64>(BufferSize, m_size - position));
    if (data.isEmpty())
        return false;
    std::swap(m_window, m_spare);
    m_window.bytes = std::move(data);
    m_window.start = position;
    return true;
}

bool FileIterator::ensureBuffered(qint64 position, bool backwards)
{
    if (m_window.holds(position, 1))
        return true;
    // Opening a container reads its head, then its tail for the sections,
    // then the head again for the files: the window before is kept for that.
    if (m_spare.holds(position, 1)) {
        std::swap(m_window, m_spare);
        return true;
    }
    // Moving backwards, the window ends at position, so the next steps back
    // are already buffered; near the end it is the file's last window, which
    // holds the last line's line feed too.
    qint64 start = position;
    if (backwards)
        start = std::max<qint64>(position >= m_size - BufferSize ? m_size - BufferSize : position - BufferSize + 1, 0);
    return readBuffer(start);
}

qint64 FileIterator::findLineFeedForwards(qint64 from)
{
    qint64 pos = from;
    while (pos < m_size) {
        if (!ensureBuffered(pos, false))
            return -1;
        const qsizetype index = m_window.bytes.indexOf('\n', pos - m_window.start);
        if (index >= 0)
            return m_window.start + index;
        pos = m_window.start + m_window.bytes.size();
    }
    return -1;
}

qint64 FileIterator::findLineFeedBackwards(qint64 from)
{
    qint64 pos = from;
    while (pos >= 0) {
        if (!ensureBuffered(pos, true))
            return -1;
        const qint64 within = std::min<qint64>(pos - m_window.start, m_window.bytes.size() - 1);
        const qsizetype index = within >= 0 ? m_window.bytes.lastIndexOf('\n', within) : -1;
        if (index >= 0)
            return m_window.start + index;
        pos = m_window.start - 1;
    }
    return -1;
}

void FileIterator::takeLine(qint64 start, qint64 end)
{
    m_curPos = start;
    m_curLineEnd = end;
    const qint64 length = std::min<qint64>(end - start, MaxLineLength);
    if (m_window.holds(start, length)) {
        const char *from = m_window.bytes.constData() + (start - m_window.start);
        // The line's storage is reused from move to move (opening a small
        // container reads a few dozen lines), unless a long line left it
        // far larger than the window.
        if (m_line.capacity() > BufferSize && length <= BufferSize) {
            m_line = QByteArray(from, length);
        } else {
            m_line.resize(length);
            std::memcpy(m_line.data(), from, size_t(length));
        }
        return;
    }
    m_line = readAt(start, length);
}

} // namespace traxo
