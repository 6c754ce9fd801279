#ifndef TRAXO_TRAXOPARSER_H
#define TRAXO_TRAXOPARSER_H

#include "container/fileiterator.h"
#include "container/filetag.h"
#include "container/parsemode.h"
#include "container/sectiontag.h"
#include "logging/logsource.h"

#include <QList>
#include <QPair>
#include <QSharedPointer>
#include <QString>

#include <optional>

namespace traxo {

// Opens a container, finds its sections by walking the section chain
// backwards from the end of the file and its embedded files by a forward scan
// over the marker lines, and answers questions about them. Opening reads the
// marker lines only, never the stored data. The parser never writes the
// container; the file stays open for later reads until the parser is
// destroyed or opens another file.
class TraxoParser : public LogSource
{
    Q_OBJECT

public:
    explicit TraxoParser(ParseMode mode = ParseTolerant, QObject *parent = nullptr);
    ~TraxoParser() override;

    // False, with both lists empty, when the file cannot be read or has no
    // header line; true otherwise, even when no section or file was found.
    bool open(const QString &fileName);
    // open() in two steps, for a caller that may decide from the bytes of a
    // small container alone that it needs none of its markers: openHeader()
    // opens the file and checks its header line (false as open() would be),
    // readMarkers() then reads the sections and files.
    bool openHeader(const QString &fileName);
    void readMarkers();
    // All bytes of the open container when reading its header brought the
    // whole file into memory (files of up to FileIterator::BufferSize bytes);
    // empty otherwise. Valid until the next call on the parser.
    QByteArrayView bytesInMemory() const { return m_iterator.wholeFile(); }
    QString fileName() const { return m_fileName; }
    // The descriptor of the open container (see FileIterator::handle).
    int fileHandle() const { return m_iterator.handle(); }
    ParseMode mode() const { return m_mode; }

    QList<SectionTag> getSections() const { return m_sections; }
    QList<FileTag> getFiles() const { return m_files; }
    int getNumSections() const { return int(m_sections.size()); }
    int getNumFiles() const { return int(m_files.size()); }
    QSharedPointer<SectionTag> getSection(int index) const;
    QSharedPointer<FileTag> getFile(int index) const;

    // The files whose whole block lies inside the section, in file order.
    QList<FileTag> getFilesInSection(int sectionIndex) const;
    QList<FileTag> getSectionlessFiles() const;
    static bool fileInSection(const FileTag &file, const SectionTag &section);

    // Bytes of the container; empty unless the range lies wholly in the file.
    QByteArray getBytes(qint64 position, qint64 length);
    // The stored bytes of an embedded file, or null when there is no such
    // file or its data does not lie inside the container.
    QSharedPointer<QByteArray> getCompressedFile(int index);
    // The decoded content, or null when inflating fails, the length differs
    // from filesize, or the compression is unknown.
    QSharedPointer<QByteArray> getFileContent(int index);
    // Inflates one zlib stream that must yield at most size bytes; empty on
    // failure. The bound keeps a hostile stream from inflating without end.
    static QByteArray decompressBytes(const QByteArray &data, qint64 size);
    // MD5 of the stored bytes and, for "flate", of the inflated bytes.
    QPair<QString, QString> calcChecksumsForFile(int index);

    // Extracts one embedded file in a single call. The file appears under
    // path only once complete (and, for "flate", once its stream has ended);
    // on failure an existing file there is left as it was.
    bool writeFileToDisk(int index, const QString &path);

private:
    bool checkHeader();
    void readSections();
    void readFiles();
    std::optional<SectionTag> findLastSection();
    std::optional<SectionTag> findPreviousSection(const SectionTag &section);
    std::optional<SectionTag> parseSection(qsizetype column) const;
    std::optional<FileTag> parseFile() const;
    static bool inflateExact(const QByteArray &data, qint64 maxSize, QByteArray *out);

    FileIterator m_iterator;
    QList<SectionTag> m_sections;
    QList<FileTag> m_files;
    ParseMode m_mode;
    QString m_fileName;
};

} // namespace traxo

#endif
