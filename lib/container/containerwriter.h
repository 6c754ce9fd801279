#ifndef TRAXO_CONTAINERWRITER_H
#define TRAXO_CONTAINERWRITER_H

#include "logging/logsource.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace traxo {

class TraxoParser;

// Writes containers that TraxoParser reads: a new .traxo file with its header
// line, sections of embedded files chained to the previous section, and
// embedded files outside any section. Every write goes to a temporary file in
// the container's directory that replaces the container only once complete,
// so an interrupted write leaves the old container as it was.
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
        Compression compression = Flate;
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
    };

    explicit ContainerWriter(QObject *sink = nullptr);

    // Writes leading (for example "%PDF-1.4\n") and the header line to a new
    // file; refuses to replace an existing one.
    bool create(const QString &path, const QByteArray &leading = QByteArray());
    // Appends a section after the last byte of the container.
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

private:
    bool fail(const QString &message);
    bool checkFile(const File &file);
    bool checkText(const QString &text, const QString &what);
    bool appendBytes(const QString &path, const QByteArray &bytes, bool sectionStartsLine);
    bool readContainer(TraxoParser &parser, const QString &path, qint64 *size, bool *endsWithLineFeed);

    QString m_errorString;
};

} // namespace traxo

#endif
