#include "summary/summarycreator.h"

#include "container/containermarkers.h"
#include "container/traxoparser.h"
#include "summary/summarylogging.h"
#include "summary/summaryreader.h"

#include <QStringDecoder>

#include <algorithm>

namespace traxo {

namespace {

const QLatin1String summaryFileName("ws_summary.xml");

// A ws_summary.xml that is not valid UTF-8 is damaged; reading it with
// replacement characters would present corrupted texts as the step's record.
bool decodeUtf8(const QByteArray &bytes, QString *text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder(bytes);
    return !decoder.hasError();
}

QString field(const char *name, const QString &value)
{
    return QLatin1String(name) + QLatin1String(": \"") + value + QLatin1String("\"\n");
}

QString field(const char *name, int value)
{
    return QLatin1String(name) + QLatin1String(": ") + QString::number(value) + QLatin1Char('\n');
}

QString field(const char *name, bool value)
{
    return QLatin1String(name) + QLatin1String(": ") + QLatin1String(value ? "true" : "false") + QLatin1Char('\n');
}

QString attributesText(
    const QStringList &keys, const QHash<QString, QString> &values, const QHash<QString, QString> &units)
{
    QString text;
    for (const QString &key : keys) {
        text += QLatin1String("Attribute: \"") + key + QLatin1String("\" = \"") + values.value(key) + QLatin1Char('"');
        if (units.contains(key))
            text += QLatin1String(" Unit: \"") + units.value(key) + QLatin1Char('"');
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

SummaryCreator::SummaryCreator(QObject *parent)
    : QObject(parent)
{
}

QList<Summary> SummaryCreator::createSummaries(TraxoParser &parser)
{
    TagHash hash = makeTagHash(parser);
    return makeSummaries(parser, hash);
}

SummaryCreator::TagHash SummaryCreator::makeTagHash(TraxoParser &parser)
{
    TagHash hash;
    const QList<SectionTag> sections = parser.getSections();
    for (const SectionTag &section : sections) {
        const QList<FileTag> files = parser.getFilesInSection(section.id);
        for (const FileTag &file : files)
            hash.insert(makeFileHash(file, section.id), qMakePair(file, section.id));
    }
    return hash;
}

QList<Summary> SummaryCreator::makeSummaries(TraxoParser &parser, TagHash &hash)
{
    QList<Summary> summaries;
    const QList<SectionTag> sections = parser.getSections();
    for (auto section = sections.crbegin(); section != sections.crend(); ++section) {
        const QList<FileTag> files = parser.getFilesInSection(section->id);
        if (!files.isEmpty() && files.last().filename == summaryFileName) {
            const int fileId = files.last().id;
            const QSharedPointer<QByteArray> content = parser.getFileContent(fileId);
            QString xml;
            if (!content) {
                qCDebug(lcTraxoSummary) << "could not read summary" << fileId;
            } else if (!decodeUtf8(*content, &xml)) {
                qCDebug(lcTraxoSummary) << "summary is not UTF-8" << fileId;
            } else {
                SummaryReader reader;
                const Summary fromXml = reader.readSummary(xml);
                // Without a document element the marker still knows the title.
                if (fromXml.valid) {
                    summaries.append(augmentSummary(fromXml, *section, hash));
                    continue;
                }
                qCDebug(lcTraxoSummary) << "summary holds no trxchange element" << fileId;
            }
        }
        summaries.append(makeSummaryFromTags(*section, files));
    }

    const Summary unmatched = makeUnmatchedTagSummary(parser.getSectionlessFiles());
    if (!unmatched.files.isEmpty())
        summaries.append(unmatched);
    return summaries;
}

Summary SummaryCreator::augmentSummary(const Summary &fromXml, const SectionTag &section, TagHash &hash)
{
    Summary summary = fromXml;
    summary.TagID = section.id;

    for (FileSummary &file : summary.files) {
        if (!file.Embedded)
            continue;
        const QString key = makeFileHash(file, section.id);
        auto best = hash.end();
        unsigned int bestDistance = 1000000;
        // Candidates come most recent first; on a tie the later copy wins.
        for (auto it = hash.find(key); it != hash.end() && it.key() == key; ++it) {
            const unsigned int d = distance(it.value().first, file);
            if (d < bestDistance) {
                bestDistance = d;
                best = it;
            }
        }
        if (best != hash.end() && bestDistance < 15) {
            file.TagID = best.value().first.id;
            hash.erase(best);
        }
    }

    // Markers of this section that no declared file took, among them the
    // summary file itself, in file order.
    QList<FileTag> extras;
    for (auto it = hash.begin(); it != hash.end();) {
        if (it.value().second == section.id) {
            extras.append(it.value().first);
            it = hash.erase(it);
        } else {
            ++it;
        }
    }
    std::sort(extras.begin(), extras.end(), [](const FileTag &a, const FileTag &b) { return a.id < b.id; });
    for (const FileTag &tag : std::as_const(extras)) {
        qCDebug(lcTraxoSummary) << "foundMismatch";
        const FileSummary extra = makeFileSummaryFromFileTag(tag);
        printFileSummary(extra);
        summary.files.append(extra);
    }
    return summary;
}

// Marker texts keep their escapes (backslash-bracket for "]") while the summary holds the
// texts as they are, so markers are compared by their unescaped values: a
// file named "scan[3].tif" must still find its marker.
QString SummaryCreator::makeFileHash(const FileTag &tag, int sectionId)
{
    return QStringLiteral("file: <%1>-<%2>-<%3>-<%4>")
        .arg(QString::number(sectionId), unescapeMarkerText(tag.filename), tag.md5file, QString::number(tag.filesize));
}

QString SummaryCreator::makeFileHash(const FileSummary &file, int sectionId)
{
    return QStringLiteral("file: <%1>-<%2>-<%3>-<%4>")
        .arg(QString::number(sectionId), file.Filename, file.UncompressedMD5, QString::number(file.UncompressedSize));
}

unsigned int SummaryCreator::distance(const FileTag &tag, const FileSummary &file)
{
    unsigned int d = 0;
    if (unescapeMarkerText(tag.filename) != file.Filename)
        d += 20;
    if (tag.filesize != file.UncompressedSize)
        d += 20;
    if (tag.md5file != file.UncompressedMD5)
        d += 20;
    if (unescapeMarkerText(tag.filetype) != file.Filetype)
        d += 1;
    if (unescapeMarkerText(tag.description) != file.Description)
        d += 1;
    if (unescapeMarkerText(tag.comment) != file.Comment)
        d += 1;
    if (tag.md5cfile != file.CompressedMD5)
        d += 2;
    if (tag.cfilesize != file.CompressedSize)
        d += 2;
    if (tag.compression != file.CompressedMethod)
        d += 2;
    return d;
}

FileSummary SummaryCreator::makeFileSummaryFromFileTag(const FileTag &tag)
{
    FileSummary file;
    file.TagID = tag.id;
    file.Filename = tag.filename;
    file.Filetype = tag.filetype;
    file.Description = tag.description;
    file.Comment = tag.comment;
    file.CompressedMethod = tag.compression;
    file.UncompressedSize = tag.filesize;
    file.CompressedSize = tag.cfilesize;
    file.UncompressedMD5 = tag.md5file;
    file.CompressedMD5 = tag.md5cfile;
    return file;
}

Summary SummaryCreator::makeSummaryFromTags(const SectionTag &section, const QList<FileTag> &files)
{
    Summary summary;
    summary.TagID = section.id;
    summary.Title = section.title;
    summary.Creator = section.creator;
    for (const FileTag &tag : files)
        summary.files.append(makeFileSummaryFromFileTag(tag));
    return summary;
}

Summary SummaryCreator::makeUnmatchedTagSummary(const QList<FileTag> &files)
{
    Summary summary;
    summary.Title = QStringLiteral("<unmatched files>");
    for (const FileTag &tag : files)
        summary.files.append(makeFileSummaryFromFileTag(tag));
    return summary;
}

QString SummaryCreator::workflowstepText(const Workflowstep &step)
{
    QString text = field("TagID", step.TagID) + field("TraxoRootFile", step.TraxoRootFile)
        + field("Timestamp", step.Timestamp) + field("Title", step.Title) + field("Description", step.Description)
        + field("Comment", step.Comment) + field("Command", step.Command) + field("Tool", step.Tool)
        + field("ToolPath", step.ToolPath) + field("Host", step.Host) + field("User", step.User)
        + field("Creator", step.Creator) + field("PDFTitle", step.PDFTitle) + field("PDFAuthor", step.PDFAuthor)
        + field("PDFSubject", step.PDFSubject) + field("PDFKeywords", step.PDFKeywords)
        + field("PDFProducer", step.PDFProducer) + field("PDFCreator", step.PDFCreator);
    text += attributesText(step.userAttributeKeys, step.userAttributeValues, step.userAttributeUnits);
    for (const FileSummary &file : step.files)
        text += fileSummaryText(file);
    return text;
}

QString SummaryCreator::summaryText(const Summary &summary)
{
    return workflowstepText(summary) + field("MD5Signature", summary.md5Signature) + field("valid", summary.valid);
}

QString SummaryCreator::fileSummaryText(const FileSummary &file)
{
    return field("FilePurpose", file.FilePurpose) + field("TagID", file.TagID) + field("Filename", file.Filename)
        + field("Filepath", file.Filepath) + field("Filetype", file.Filetype) + field("Description", file.Description)
        + field("Comment", file.Comment) + field("LastModified", file.LastModified)
        + field("GenerateMD5", file.GenerateMD5) + field("Embedded", file.Embedded)
        + field("UncompressedSize", file.UncompressedSize) + field("UncompressedMD5", file.UncompressedMD5)
        + field("CompressedMethod", file.CompressedMethod) + field("CompressedSize", file.CompressedSize)
        + field("CompressedMD5", file.CompressedMD5) + field("Preview", file.Preview)
        + field("PreviewWS", file.PreviewWS) + field("Thumbnail", file.Thumbnail)
        + field("ThumbnailOnly", file.ThumbnailOnly)
        + attributesText(file.userAttributeKeys, file.userAttributeValues, file.userAttributeUnits);
}

QString SummaryCreator::sectionTagText(const SectionTag &section)
{
    return field("id", section.id) + field("position", section.position) + field("taglen", section.taglen)
        + field("version", section.version) + field("creator", section.creator) + field("title", section.title)
        + field("left", section.left) + field("size", section.size) + field("index", section.index)
        + field("md5section", section.md5section) + field("previousmd5", section.previousmd5)
        + field("previousmarker", section.previousmarker)
        + field("validationTag", QString::fromUtf8(section.validationTag));
}

QString SummaryCreator::fileTagText(const FileTag &tag)
{
    return field("id", tag.id) + field("position", tag.position) + field("taglen", tag.taglen)
        + field("filetype", tag.filetype) + field("filename", tag.filename) + field("desc", tag.description)
        + field("comment", tag.comment) + field("compression", tag.compression) + field("filesize", tag.filesize)
        + field("cfilesize", tag.cfilesize) + field("blocksize", tag.blocksize) + field("offset", tag.offset)
        + field("md5file", tag.md5file) + field("md5cfile", tag.md5cfile);
}

void SummaryCreator::printSummary(const Summary &summary)
{
    qCDebug(lcTraxoSummary).noquote() << summaryText(summary);
}

void SummaryCreator::printWorkflowstep(const Workflowstep &step)
{
    qCDebug(lcTraxoSummary).noquote() << workflowstepText(step);
}

void SummaryCreator::printFileSummary(const FileSummary &file)
{
    qCDebug(lcTraxoSummary).noquote() << fileSummaryText(file);
}

void SummaryCreator::printSectionTag(const SectionTag &section)
{
    qCDebug(lcTraxoSummary).noquote() << sectionTagText(section);
}

void SummaryCreator::printFileTag(const FileTag &tag)
{
    qCDebug(lcTraxoSummary).noquote() << fileTagText(tag);
}

} // namespace traxo
