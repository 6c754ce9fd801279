#ifndef TRAXO_CONTAINERWRITER_H
#define TRAXO_CONTAINERWRITER_H

#include "logging/logsource.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class QFile;

namespace traxo {

class ContainerLock;
class Md5Hash;

// Writes containers that TraxoParser reads: a new .traxo file with its header
// line, sections of embedded files chained to the previous section, and
// embedded files outside any section.
//
// Appends go in place, so their cost is that of the step, not of the
// container. The section marker line is the last thing written: readers find
// sections from the end of the file, so until it stands they see the old
// history, and a write that fails cuts the file back to its old length.
// Files streamed from disk are written behind a placeholder line that gets
// their marker only once the whole section is on disk, so an unfinished tail
// holds no marker at all. A regular file stored as it is is copied by a
// thread of its own while the calling thread hashes it; a file that changes
// while it is read is refused. With a lock set, the old length is recorded
// in its journal first, so that the next writer cuts back what a killed one
// left.
// A PDF keeps ending with its trailer pointer ("startxref", offset, "%%EOF").
class ContainerWriter : public LogSource
{
    Q_OBJECT

public:
    enum Compression { Flate, None };

    struct File
    {
        QString filetype;
        QString filename; // without directory
        QString description;
        QString comment;
        QByteArray content;
        // When set, the content is read from this file in chunks instead, and
        // never held in memory whole. A source whose size then differs from
        // sourceSize (when not negative) is refused as changed.
        QString sourcePath;
        qint64 sourceSize = -1;
        Compression compression = Flate;
    };

    // What a file became in the container.
    struct StoredFile
    {
        QString filename;
        Compression compression = Flate;
        qint64 filesize = 0;
        qint64 cfilesize = 0;
        QString md5file;
        QString md5cfile; // empty for None
    };

    struct Section
    {
        QString version = QStringLiteral("1.0");
        QString creator = QStringLiteral("traxolib");
        QString title;
        QList<File> files;
        // The step summary, written as the section's last file
        // "ws_summary.xml" unless withSummary is false.
        QByteArray summary;
        bool withSummary = true;
        Compression summaryCompression = Flate;
        // When set, makes the summary from what the files became, once they
        // are stored (sizes and checksums of streamed files are known only
        // then); an empty result stops the append.
        std::function<QByteArray(const QList<StoredFile> &)> summaryBuilder;
    };

    explicit ContainerWriter(QObject *sink = nullptr);

    // Journal for the appends that follow; the caller holds the lock.
    void setLock(ContainerLock *lock) { m_lock = lock; }

    // Writes leading (for example "%PDF-1.4\n") and the header line to a new
    // file; refuses to replace an existing one.
    bool create(const QString &path, const QByteArray &leading = QByteArray());
    // Appends a section after the last byte of the container (before the
    // trailer pointer that a PDF gets again after it).
    bool appendSection(const QString &path, const Section &section);
    // Appends embedded files that belong to no section.
    bool appendFiles(const QString &path, const QList<File> &files);

    // The reason of the last failure, empty after a success.
    QString errorString() const { return m_errorString; }

    // "%<--! $TRAXO_PDF [version:1.0]" and a line feed.
    static QByteArray headerLine();
    // One embedded file as it lies in a container: marker line, a line feed,
    // the stored bytes and a closing line feed. Values are escaped but not
    // checked, so tests can also build files that a careful writer refuses.
    static QByteArray fileBlock(const File &file);
    // zlib stream (header, deflate data, Adler-32) of data.
    static QByteArray compress(const QByteArray &data);
    // "startxref", the offset of the last cross-reference section and
    // "%%EOF", each on a line, taken from the last 1024 bytes of a PDF; empty
    // when the tail holds no such pointer.
    static QByteArray pdfTrailerPointer(const QByteArray &tail);

    // What the last appendSection() stored, in file order.
    QList<StoredFile> storedFiles() const { return m_stored; }

private:
    struct Target;
    struct Piece;

    bool fail(const QString &message);
    bool checkFile(const File &file);
    bool checkText(const QString &text, const QString &what);
    bool openTarget(const QString &path, Target &target);
    bool append(Target &target, const QList<File> &files, const Section *section);
    bool writeAt(QFile &out, qint64 at, const QByteArray &bytes);
    bool streamFile(Target &target, qint64 at, const File &file, Piece &piece);
    bool hashPieces(QFile &out, const QList<Piece> &pieces, Md5Hash &hash);
    bool undo(Target &target);

    ContainerLock *m_lock = nullptr;
    QList<StoredFile> m_stored;
    QString m_errorString;
};

} // namespace traxo

#endif
