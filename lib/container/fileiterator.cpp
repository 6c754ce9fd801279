#include "container/fileiterator.h"

#include <QFile>

#include <algorithm>
#include <limits>

namespace traxo {

FileIterator::FileIterator() = default;

FileIterator::~FileIterator() = default;

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
    if (size < 0 || size > std::numeric_limits<int>::max())
        return false;
    m_file = std::move(file);
    m_fileInfo = QFileInfo(fileName);
    m_size = size;
    firstLine();
    return true;
}

void FileIterator::closeFile()
{
    m_file.reset();
    m_fileInfo = QFileInfo();
    m_size = 0;
    m_buffer.clear();
    m_bufferStart = -1;
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
    if (!m_file || m_size <= start) {
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
    if (!m_file || end <= 0) {
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

bool FileIterator::gotoPos(int pos)
{
    if (!m_file || pos < 0 || pos >= m_size)
        return false;
    m_cursor = pos;
    return nextLine();
}

QSharedPointer<QByteArray> FileIterator::curLine() const
{
    if (!m_file)
        return {};
    return QSharedPointer<QByteArray>::create(m_line);
}

QSharedPointer<QString> FileIterator::curLineAsString() const
{
    if (!m_file || containsNulls(m_line))
        return {};
    return QSharedPointer<QString>::create(QString::fromUtf8(m_line));
}

bool FileIterator::curLineStartsWithBytes(const char *bytes) const
{
    return m_file && bytes && m_line.startsWith(bytes);
}

QByteArray FileIterator::getBytes(int position, int length)
{
    if (!m_file || position < 0 || position >= m_size || length < 0 || qint64(position) + length > m_size)
        return {};
    // Small containers lie wholly in the window: their summaries need no read.
    if (m_bufferStart >= 0 && position >= m_bufferStart && qint64(position) + length <= m_bufferStart + m_buffer.size())
        return m_buffer.mid(position - m_bufferStart, length);
    if (!m_file->seek(position))
        return {};
    QByteArray data = m_file->read(length);
    // A file that shrank under us reads short: a partial range is no range.
    if (data.size() != length)
        return {};
    return data;
}

bool FileIterator::containsNulls(const QByteArray &bytes)
{
    return bytes.contains('\0');
}

bool FileIterator::readBuffer(qint64 position)
{
    if (!m_file->seek(position))
        return false;
    // Never more than the file holds, so a small file takes one read call.
    QByteArray data = m_file->read(std::min<qint64>(BufferSize, m_size - position));
    if (data.isEmpty())
        return false;
    m_buffer = data;
    m_bufferStart = position;
    return true;
}

bool FileIterator::ensureBuffered(qint64 position, bool backwards)
{
    if (m_bufferStart >= 0 && position >= m_bufferStart && position < m_bufferStart + m_buffer.size())
        return true;
    // Moving backwards, the window ends at position, so the next steps back
    // are already buffered.
    return readBuffer(backwards ? std::max<qint64>(position - BufferSize + 1, 0) : position);
}

qint64 FileIterator::findLineFeedForwards(qint64 from)
{
    qint64 pos = from;
    while (pos < m_size) {
        if (!ensureBuffered(pos, false))
            return -1;
        const qsizetype index = m_buffer.indexOf('\n', pos - m_bufferStart);
        if (index >= 0)
            return m_bufferStart + index;
        pos = m_bufferStart + m_buffer.size();
    }
    return -1;
}

qint64 FileIterator::findLineFeedBackwards(qint64 from)
{
    qint64 pos = from;
    while (pos >= 0) {
        if (!ensureBuffered(pos, true))
            return -1;
        const qint64 within = std::min<qint64>(pos - m_bufferStart, m_buffer.size() - 1);
        const qsizetype index = within >= 0 ? m_buffer.lastIndexOf('\n', within) : -1;
        if (index >= 0)
            return m_bufferStart + index;
        pos = m_bufferStart - 1;
    }
    return -1;
}

void FileIterator::takeLine(qint64 start, qint64 end)
{
    m_curPos = start;
    m_curLineEnd = end;
    const qint64 length = std::min<qint64>(end - start, MaxLineLength);
    if (m_bufferStart >= 0 && start >= m_bufferStart && start + length <= m_bufferStart + m_buffer.size()) {
        m_line = m_buffer.mid(start - m_bufferStart, length);
        return;
    }
    m_line.clear();
    if (m_file->seek(start))
        m_line = m_file->read(length);
}

} // namespace traxo
