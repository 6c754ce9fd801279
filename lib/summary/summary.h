#ifndef TRAXO_SUMMARY_H
#define TRAXO_SUMMARY_H

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

namespace traxo {

// One input or output file of a recorded workflow step. The field names are
// the element names of "ws_summary.xml", so a field and its XML are found by
// the same word. TagID ties the entry to the embedded-file marker holding the
// file; -1 means no marker holds it (the file is then treated as not embedded).
struct FileSummary
{
    int TagID = -1;
    QString Filename;
    QString Filepath;
    QString Filetype;
    QString Description;
    QString Comment;
    QString LastModified;
    bool GenerateMD5 = false;
    bool Embedded = false;
    bool Preview = false;
    bool PreviewWS = false;
    bool Thumbnail = false;
    bool ThumbnailOnly = false;
    qint64 UncompressedSize = -1;
    QString UncompressedMD5;
    QString CompressedMethod;
    qint64 CompressedSize = -1;
    QString CompressedMD5;
    QHash<QString, QString> userAttributeValues;
    // Only attributes that carry a unit (possibly an empty one) are listed.
    QHash<QString, QString> userAttributeUnits;
    // Keys in document order; a repeated key appears once per occurrence.
    QStringList userAttributeKeys;
    // "InFile" or "OutFile" when read from a summary, "Undefined" for files
    // known only from their markers.
    QString FilePurpose = QStringLiteral("Undefined");

    friend bool operator==(const FileSummary &a, const FileSummary &b);
    friend bool operator!=(const FileSummary &a, const FileSummary &b) { return !(a == b); }
};

// One recorded workflow step with its files and user attributes. TagID is the
// id of the section the step was read from (0 is the newest section).
struct Workflowstep
{
    int TagID = 0;
    QString TraxoRootFile;
    QString Timestamp;
    QString Title;
    QString Description;
    QString Comment;
    QString Command;
    QString Tool;
    QString ToolPath;
    QString Host;
    QString User;
    QString Creator;
    QString PDFTitle;
    QString PDFAuthor;
    QString PDFSubject;
    QString PDFKeywords;
    QString PDFProducer;
    QString PDFCreator;
    // Inputs and outputs interleaved in document order.
    QList<FileSummary> files;
    QHash<QString, QString> userAttributeValues;
    QHash<QString, QString> userAttributeUnits;
    QStringList userAttributeKeys;

    friend bool operator==(const Workflowstep &a, const Workflowstep &b);
    friend bool operator!=(const Workflowstep &a, const Workflowstep &b) { return !(a == b); }
};

// A step as read from one section: valid is true only when the section's
// summary held a trxchange document; summaries built from markers alone, or
// for files outside every section, stay invalid.
struct Summary : Workflowstep
{
    QString md5Signature;
    bool valid = false;

    friend bool operator==(const Summary &a, const Summary &b);
    friend bool operator!=(const Summary &a, const Summary &b) { return !(a == b); }
};

} // namespace traxo

Q_DECLARE_METATYPE(traxo::FileSummary)
Q_DECLARE_METATYPE(traxo::Workflowstep)
Q_DECLARE_METATYPE(traxo::Summary)

#endif
