#include "summary/summaryreader.h"

#include "summary/summarylogging.h"
#include "summary/vxmllevel1iter.h"

#include <QLatin1String>

#include <iterator>

namespace traxo {

namespace {

// A flag is a decimal integer; anything that is not a number counts as 0.
bool readFlag(const QString &text)
{
    return text.toInt(nullptr, 10) != 0;
}

int readSize(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : -1;
}

void reportUnknown(const char *where, const VXMLLevel1Iter &it, const QString &content)
{
    qCDebug(lcTraxoSummary).noquote() << "unknown tag (" + QLatin1String(where) + "):" << '"' + it.tagName() + '"'
                                      << ":" << '"' + content + '"';
}

} // namespace

SummaryReader::SummaryReader(QObject *parent)
    : QObject(parent)
{
}

Summary SummaryReader::readSummary(const QString &xml)
{
    VXMLLevel1Iter it(xml);
    for (QString content = ++it; !content.isNull(); content = ++it) {
        if (it.isTag(QStringLiteral("trxchange")))
            return parseSummary(content);
    }
    return Summary();
}

Summary SummaryReader::parseSummary(const QString &content)
{
    Summary summary;
    VXMLLevel1Iter it(content);
    for (QString child = ++it; !child.isNull(); child = ++it) {
        if (it.isTag(QStringLiteral("Workflowstep")))
            static_cast<Workflowstep &>(summary) = parseWorkflowstep(child);
        else if (it.isTag(QStringLiteral("MD5Signature")))
            summary.md5Signature = child;
    }
    summary.valid = true;
    return summary;
}

Workflowstep SummaryReader::parseWorkflowstep(const QString &content)
{
    Workflowstep step;
    static QString Workflowstep::*const textFields[] = {
        &Workflowstep::TraxoRootFile,
        &Workflowstep::Timestamp,
        &Workflowstep::Title,
        &Workflowstep::Description,
        &Workflowstep::Comment,
        &Workflowstep::Command,
        &Workflowstep::Tool,
        &Workflowstep::ToolPath,
        &Workflowstep::Host,
        &Workflowstep::User,
        &Workflowstep::Creator,
        &Workflowstep::PDFTitle,
        &Workflowstep::PDFAuthor,
        &Workflowstep::PDFSubject,
        &Workflowstep::PDFKeywords,
        &Workflowstep::PDFProducer,
        &Workflowstep::PDFCreator,
    };
    static const char *const textNames[] = {
        "TraxoRootFile",
        "Timestamp",
        "Title",
        "Description",
        "Comment",
        "Command",
        "Tool",
        "ToolPath",
        "Host",
        "User",
        "Creator",
        "PDFTitle",
        "PDFAuthor",
        "PDFSubject",
        "PDFKeywords",
        "PDFProducer",
        "PDFCreator",
    };
    static_assert(std::size(textFields) == std::size(textNames));

    VXMLLevel1Iter it(content);
    for (QString child = ++it; !child.isNull(); child = ++it) {
        bool known = false;
        for (size_t i = 0; i < std::size(textNames) && !known; ++i) {
            if (it.isTag(QLatin1String(textNames[i]))) {
                step.*textFields[i] = child;
                known = true;
            }
        }
        if (known)
            continue;
        if (it.isTag(QStringLiteral("InFile")) || it.isTag(QStringLiteral("OutFile"))) {
            FileSummary file = parseFile(child);
            file.FilePurpose = it.tagName();
            step.files.append(file);
        } else if (it.isTag(QStringLiteral("UserAttributes"))) {
            UserAttributes attributes = parseUserAttributes(child);
            step.userAttributeValues = attributes.values;
            step.userAttributeKeys = attributes.keys;
            step.userAttributeUnits = attributes.units;
        } else {
            reportUnknown("parseWorkflowstep", it, child);
        }
    }
    return step;
}

FileSummary SummaryReader::parseFile(const QString &content)
{
    FileSummary file;
    VXMLLevel1Iter it(content);
    for (QString child = ++it; !child.isNull(); child = ++it) {
        if (it.isTag(QStringLiteral("Filename")))
            file.Filename = child;
        else if (it.isTag(QStringLiteral("Filepath")))
            file.Filepath = child;
        else if (it.isTag(QStringLiteral("Filetype")))
            file.Filetype = child;
        else if (it.isTag(QStringLiteral("Description")))
            file.Description = child;
        else if (it.isTag(QStringLiteral("Comment")))
            file.Comment = child;
        else if (it.isTag(QStringLiteral("LastModified")))
            file.LastModified = child;
        else if (it.isTag(QStringLiteral("GenerateMD5")))
            file.GenerateMD5 = readFlag(child);
        else if (it.isTag(QStringLiteral("Embedded")))
            file.Embedded = readFlag(child);
        else if (it.isTag(QStringLiteral("UncompressedSize")))
            file.UncompressedSize = readSize(child);
        else if (it.isTag(QStringLiteral("UncompressedMD5")))
            file.UncompressedMD5 = child;
        else if (it.isTag(QStringLiteral("CompressedMethod")))
            file.CompressedMethod = child;
        else if (it.isTag(QStringLiteral("CompressedSize")))
            file.CompressedSize = readSize(child);
        else if (it.isTag(QStringLiteral("CompressedMD5")))
            file.CompressedMD5 = child;
        else if (it.isTag(QStringLiteral("Preview")))
            file.Preview = readFlag(child);
        else if (it.isTag(QStringLiteral("PreviewWS")))
            file.PreviewWS = readFlag(child);
        else if (it.isTag(QStringLiteral("Thumbnail")))
            file.Thumbnail = readFlag(child);
        else if (it.isTag(QStringLiteral("ThumbnailOnly")))
            file.ThumbnailOnly = readFlag(child);
        else if (it.isTag(QStringLiteral("UserAttributes"))) {
            UserAttributes attributes = parseUserAttributes(child);
            file.userAttributeValues = attributes.values;
            file.userAttributeKeys = attributes.keys;
            file.userAttributeUnits = attributes.units;
        } else {
            reportUnknown("ParseFile", it, child);
        }
    }
    return file;
}

SummaryReader::UserAttributes SummaryReader::parseUserAttributes(const QString &content)
{
    UserAttributes attributes;
    VXMLLevel1Iter it(content);
    for (QString child = ++it; !child.isNull(); child = ++it) {
        if (!it.isTag(QStringLiteral("Attribute"))) {
            reportUnknown("parseUserAttributes", it, child);
            continue;
        }
        const Attribute attribute = parseAttribute(child);
        attributes.values.insert(attribute.key, attribute.value);
        attributes.keys.append(attribute.key);
        if (attribute.unit)
            attributes.units.insert(attribute.key, *attribute.unit);
    }
    return attributes;
}

SummaryReader::Attribute SummaryReader::parseAttribute(const QString &content)
{
    Attribute attribute;
    VXMLLevel1Iter it(content);
    for (QString child = ++it; !child.isNull(); child = ++it) {
        if (it.isTag(QStringLiteral("Key")))
            attribute.key = child;
        else if (it.isTag(QStringLiteral("Value")))
            attribute.value = child;
        else if (it.isTag(QStringLiteral("Unit")))
            attribute.unit = QSharedPointer<QString>::create(child);
        else
            reportUnknown("parseAttribute", it, child);
    }
    return attribute;
}

} // namespace traxo
