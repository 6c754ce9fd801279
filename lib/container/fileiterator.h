#ifndef TRAXO_FILEITERATOR_H
#define TRAXO_FILEITERATOR_H

#include <QByteArray>
#include <QByteArrayView>
#include <QFileInfo>
#include <QSharedPointer>
#include <QString>

#include <memory>

class QFile;

namespace traxo {

// A buffered line reader that moves forwards and backwards over a file of any
// size through windows of at most BufferSize bytes, so that walking the
// marker lines of a large container never loads its data. The window read
// before the current one is kept too, so going back and forth between a
// container's head and tail reads each once.
//
// A cursor sits between lines: nextLine reads the line that starts at the
// cursor and leaves the cursor after its line feed; prevLine reads the line
// that ends at the cursor and leaves the cursor at its start. So nextLine
// after prevLine (and prevLine after nextLine) returns the same line again.
class FileIterator
{
public:
    static constexpr int BufferSize = 10240;
    // A line longer than this is cut to its first MaxLineLength bytes: a file
    // without line feeds must not be pulled into memory as one line. Marker
    // lines are a few hundred bytes.
    static constexpr int MaxLineLength = 4 * 1024 * 1024;

    FileIterator();
    ~FileIterator();
    FileIterator(const FileIterator &) = delete;
    FileIterator &operator=(const FileIterator &) = delete;

    // Opens read-only and unbuffered and reads the first line. Fails for a
    // missing or unreadable file and for anything but a regular file. Offsets
    // are 64-bit, so a file of any size opens.
    bool open(const QString &fileName);
    void closeFile();
    bool isOpen() const;
    // The open file's descriptor, for readers on other threads that
    // duplicate it; -1 when none is open or the platform reads through QFile.
    int handle() const { return m_fd; }
    QFileInfo fileInfo() const { return isOpen() ? QFileInfo(m_fileName) : QFileInfo(); }

    bool firstLine();
    bool lastLine();
    bool nextLine();
    bool prevLine();
    // Reads the bytes from pos to the next line feed as the current line,
    // whether or not pos is a line start.
    bool gotoPos(qint64 pos);

    QSharedPointer<QByteArray> curLine() const;
    // Null when no file is open or the line holds a NUL byte.
    QSharedPointer<QString> curLineAsString() const;
    bool curLineStartsWithBytes(const char *bytes) const;
    // The current line without a copy; valid until the next move.
    const QByteArray &line() const { return m_line; }
    qint64 curPos() const { return m_curPos; }
    // Where the current line ended (its line feed included): its start plus
    // the number of bytes it spans in the file, even when cut.
    qint64 curLineEnd() const { return m_curLineEnd; }

    // Seeks and reads; the line cursor stays where it is. Empty when the range
    // is not wholly inside the file.
    QByteArray getBytes(qint64 position, qint64 length);
    // The whole file when the read window holds all of it, as it does for a
    // file of at most BufferSize bytes; empty otherwise. Valid until the next
    // move.
    QByteArrayView wholeFile() const;

    qint64 getFileSize() const { return isOpen() ? m_size : 0; }
    bool empty() const { return !isOpen() || m_size < 1; }
    bool reachedEnd() const { return m_size <= m_cursor; }
    bool reachedStart() const { return m_cursor == 0; }
    bool onLine() const { return false; }

    static bool containsNulls(const QByteArray &bytes);

private:
    // Up to length bytes from position, fewer at the end of the file; empty after
    // a read error, so that no partial range passes for the whole.
    QByteArray readAt(qint64 position, qint64 length);
    bool readBuffer(qint64 position);
    bool ensureBuffered(qint64 position, bool backwards);
    qint64 findLineFeedForwards(qint64 from);
    qint64 findLineFeedBackwards(qint64 from);
    void takeLine(qint64 start, qint64 end);

    // A descriptor on Unix, where the few calls of a small container count.
    int m_fd = -1;
    std::unique_ptr<QFile> m_file;
    QString m_fileName;
    qint64 m_size = 0;
    // A run of the file's bytes in memory; start is -1 while it holds none.
    struct Window
    {
        QByteArray bytes;
        qint64 start = -1;

        bool holds(qint64 position, qint64 length) const
        {
            return start >= 0 && position >= start && position + length <= start + bytes.size();
        }
    };
    Window m_window;
    // The window read before the current one.
    Window m_spare;
    qint64 m_cursor = 0; // absolute offset between lines
    QByteArray m_line;
    qint64 m_curPos = -1;
    qint64 m_curLineEnd = -1;
};

} // namespace traxo

#endif
