#include "summary/summarycreator.h"

#include "container/containermarkers.h"
#include "container/traxoparser.h"
#include "summary/summarylogging.h"
#include "summary/summaryreader.h"

#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <utility>

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

// Marker texts rarely hold an escape; those that do not are compared as they
// stand instead of through an unescaped copy.
bool sameUnescaped(const QString &marker, const QString &plain)
{
    if (!marker.contains(QLatin1Char('\\')))
        return marker == plain;
    return unescapeMarkerText(marker) == plain;
}

QString unescaped(const QString &marker)
{
    return marker.contains(QLatin1Char('\\')) ? unescapeMarkerText(marker) : marker;
}

// "file: <id>-<name>-<md5>-<size>", built in one allocation: two keys are
// made for every embedded file of every container searched.
QString fileHashKey(int sectionId, const QString &name, const QString &md5, qint64 size)
{
    char id[16];
    char bytes[24];
    const char *const idEnd = std::to_chars(id, id + sizeof id, sectionId).ptr;
    const char *const bytesEnd = std::to_chars(bytes, bytes + sizeof bytes, size).ptr;
    const QLatin1String open("file: <");
    const QLatin1String between(">-<");
    QString key;
    key.reserve(open.size() + (idEnd - id) + name.size() + md5.size() + (bytesEnd - bytes) + 3 * between.size() + 1);
    key.append(open).append(QLatin1String(id, idEnd - id)).append(between).append(name).append(between);
    key.append(md5).append(between).append(QLatin1String(bytes, bytesEnd - bytes)).append(QLatin1Char('>'));
    return key;
}

QString field(const char *name, const QString &value)
{
    return QLatin1String(name) + QLatin1String(": \"") + value + QLatin1String("\"\n");
}

QString field(const char *name, qint64 value)
{
    return QLatin1String(name) + QLatin1String(": ") + QString::number(value) + QLatin1Char('\n');
}

QString field(const char *name, int value)
{
    return field(name, qint64(value));
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

// createSummaries runs for every container the finder searches: the
// sections' file lists are taken from the parser once and shared by both
// passes, and a summary read from XML is augmented in place, not copied.
QList<QList<FileTag>> filesBySection(const TraxoParser &parser, const QList<SectionTag> &sections)
{
    QList<QList<FileTag>> files;
    files.reserve(sections.size());
    for (const SectionTag &section : sections)
        files.append(parser.getFilesInSection(section.id));
    return files;
}

SummaryCreator::TagHash tagHash(const QList<SectionTag> &sections, const QList<QList<FileTag>> &files)
{
    SummaryCreator::TagHash hash;
    for (qsizetype i = 0; i < sections.size(); ++i) {
        const int id = sections.at(i).id;
        for (const FileTag &file : files.at(i))
            hash.insert(SummaryCreator::makeFileHash(file, id), qMakePair(file, id));
    }
    return hash;
}

Summary augment(Summary summary, const SectionTag &section, SummaryCreator::TagHash &hash)
{
    summary.TagID = section.id;

    for (FileSummary &file : summary.files) {
        if (!file.Embedded)
            continue;
        const QString key = SummaryCreator::makeFileHash(file, section.id);
        auto best = hash.end();
        unsigned int bestDistance = 1000000;
        // Candidates come most recent first; on a tie the later copy wins.
        for (auto it = hash.find(key); it != hash.end() && it.key() == key; ++it) {
            const unsigned int d = SummaryCreator::distance(it.value().first, file);
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
        const FileSummary extra = SummaryCreator::makeFileSummaryFromFileTag(tag);
        SummaryCreator::printFileSummary(extra);
        summary.files.append(extra);
    }
    return summary;
}

// The summary of one section: its XML augmented with the markers, or the
// markers alone when the section holds no readable summary.
Summary summaryOf(
    TraxoParser &parser, const SectionTag &section, const QList<FileTag> &files, SummaryCreator::TagHash &hash)
{
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
            Summary fromXml = reader.readSummary(xml);
            // Without a document element the marker still knows the title.
            if (fromXml.valid)
                return augment(std::move(fromXml), section, hash);
            qCDebug(lcTraxoSummary) << "summary holds no trxchange element" << fileId;
        }
    }
    return SummaryCreator::makeSummaryFromTags(section, files);
}

QList<Summary> summariesOf(TraxoParser &parser, const QList<SectionTag> &sections,
    const QList<QList<FileTag>> &filesPerSection, SummaryCreator::TagHash &hash)
{
    QList<Summary> summaries;
    summaries.reserve(sections.size() + 1);
    for (qsizetype i = sections.size() - 1; i >= 0; --i)
        summaries.append(summaryOf(parser, sections.at(i), filesPerSection.at(i), hash));

    const Summary unmatched = SummaryCreator::makeUnmatchedTagSummary(parser.getSectionlessFiles());
    if (!unmatched.files.isEmpty())
        summaries.append(unmatched);
    return summaries;
}

} // namespace

SummaryCreator::SummaryCreator(QObject *parent)
    : QObject(parent)
{
}

QList<Summary> SummaryCreator::createSummaries(TraxoParser &parser)
{
    const QList<SectionTag> sections = parser.getSections();
    const QList<QList<FileTag>> files = filesBySection(parser, sections);
    TagHash hash = tagHash(sections, files);
    return summariesOf(parser, sections, files, hash);
}

void SummaryCreator::forEachSummary(TraxoParser &parser, const std::function<bool(Summary &&)> &take)
{
    // A file is tied only to markers of its own section (the section id is
    // part of every key), so each section needs a table of its own markers
    // alone, made when it is reached.
    const QList<SectionTag> sections = parser.getSections();
    for (qsizetype i = sections.size() - 1; i >= 0; --i) {
        const SectionTag &section = sections.at(i);
        const QList<FileTag> files = parser.getFilesInSection(section.id);
        TagHash hash = tagHash({ section }, { files });
        if (!take(summaryOf(parser, section, files, hash)))
            return;
    }
    Summary unmatched = makeUnmatchedTagSummary(parser.getSectionlessFiles());
    if (!unmatched.files.isEmpty())
        take(std::move(unmatched));
}

SummaryCreator::TagHash SummaryCreator::makeTagHash(TraxoParser &parser)
{
    const QList<SectionTag> sections = parser.getSections();
    return tagHash(sections, filesBySection(parser, sections));
}

QList<Summary> SummaryCreator::makeSummaries(TraxoParser &parser, TagHash &hash)
{
    const QList<SectionTag> sections = parser.getSections();
    return summariesOf(parser, sections, filesBySection(parser, sections), hash);
}

Summary SummaryCreator::augmentSummary(const Summary &fromXml, const SectionTag &section, TagHash &hash)
{
    return augment(fromXml, section, hash);
}

// Marker texts keep their escapes (backslash-bracket for "]") while the summary holds the
// texts as they are, so markers are compared by their unescaped values: a
// file named "scan[3].tif" must still find its marker.
QString SummaryCreator::makeFileHash(const FileTag &tag, int sectionId)
{
    return fileHashKey(sectionId, unescaped(tag.filename), tag.md5file, tag.filesize);
}

QString SummaryCreator::makeFileHash(const FileSummary &file, int sectionId)
{
    return fileHashKey(sectionId, file.Filename, file.UncompressedMD5, file.UncompressedSize);
}

unsigned int SummaryCreator::distance(const FileTag &tag, const FileSummary &file)
{
    unsigned int d = 0;
    if (!sameUnescaped(tag.filename, file.Filename))
        d += 20;
    if (tag.filesize != file.UncompressedSize)
        d += 20;
    if (tag.md5file != file.UncompressedMD5)
        d += 20;
    if (!sameUnescaped(tag.filetype, file.Filetype))
        d += 1;
    if (!sameUnescaped(tag.description, file.Description))
        d += 1;
    if (!sameUnescaped(tag.comment, file.Comment))
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
