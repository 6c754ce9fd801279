#include "summary/summaryreader.h"

#include "summary/summarylogging.h"
#include "summary/vxmllevel1iter.h"

#include <QLatin1String>

#include <algorithm>
#include <iterator>
#include <utility>

namespace traxo {

namespace {

// Every level below is read from views into the one decoded document: only
// the texts that end up in the record are copied.

// Tag names as constants, so that their lengths are known when compiled and
// most comparisons fail on the length alone.
constexpr QStringView trxchangeTag = u"trxchange";
constexpr QStringView workflowstepTag = u"Workflowstep";
constexpr QStringView md5SignatureTag = u"MD5Signature";
constexpr QStringView inFileTag = u"InFile";
constexpr QStringView outFileTag = u"OutFile";
constexpr QStringView userAttributesTag = u"UserAttributes";
constexpr QStringView attributeTag = u"Attribute";
constexpr QStringView keyTag = u"Key";
constexpr QStringView valueTag = u"Value";
constexpr QStringView unitTag = u"Unit";

// A flag is a decimal integer; anything that is not a number counts as 0.
bool readFlag(QStringView text)
{
    return text.toInt(nullptr, 10) != 0;
}

qint64 readSize(QStringView text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? value : -1;
}

void reportUnknown(const char *where, const VXMLLevel1Iter &it)
{
    qCDebug(lcTraxoSummary).noquote() << "unknown tag (" + QLatin1String(where) + "):" << '"' + it.tagName() + '"'
                                      << ":" << '"' + it.data() + '"';
}

SummaryReader::Attribute readAttribute(QStringView content)
{
    SummaryReader::Attribute attribute;
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(content);
    while (it.next()) {
        const QStringView tag = it.tagNameView();
        if (tag == keyTag)
            attribute.key = it.data();
        else if (tag == valueTag)
            attribute.value = it.data();
        else if (tag == unitTag)
            attribute.unit = QSharedPointer<QString>::create(it.data());
        else
            reportUnknown("parseAttribute", it);
    }
    return attribute;
}

SummaryReader::UserAttributes readUserAttributes(QStringView content)
{
    SummaryReader::UserAttributes attributes;
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(content);
    while (it.next()) {
        if (it.tagNameView() != attributeTag) {
            reportUnknown("parseUserAttributes", it);
            continue;
        }
        const SummaryReader::Attribute attribute = readAttribute(it.dataView());
        attributes.values.insert(attribute.key, attribute.value);
        attributes.keys.append(attribute.key);
        if (attribute.unit)
            attributes.units.insert(attribute.key, *attribute.unit);
    }
    return attributes;
}

// A later UserAttributes element replaces the earlier one as a whole.
template<typename Record>
void takeUserAttributes(Record &record, SummaryReader::UserAttributes &&attributes)
{
    record.userAttributeValues = std::move(attributes.values);
    record.userAttributeKeys = std::move(attributes.keys);
    record.userAttributeUnits = std::move(attributes.units);
}

// The position of tag among names, or -1.
template<size_t N>
int tagIndex(QStringView tag, const QStringView (&names)[N])
{
    for (size_t i = 0; i < N; ++i) {
        if (tag == names[i])
            return int(i);
    }
    return -1;
}

FileSummary readFile(QStringView content)
{
    static constexpr QStringView textNames[] = {
        u"Filename",
        u"Filepath",
        u"Filetype",
        u"Description",
        u"Comment",
        u"LastModified",
        u"UncompressedMD5",
        u"CompressedMethod",
        u"CompressedMD5",
    };
    static QString FileSummary::*const textFields[] = {
        &FileSummary::Filename,
        &FileSummary::Filepath,
        &FileSummary::Filetype,
        &FileSummary::Description,
        &FileSummary::Comment,
        &FileSummary::LastModified,
        &FileSummary::UncompressedMD5,
        &FileSummary::CompressedMethod,
        &FileSummary::CompressedMD5,
    };
    static constexpr QStringView flagNames[] = {
        u"GenerateMD5",
        u"Embedded",
        u"Preview",
        u"PreviewWS",
        u"Thumbnail",
        u"ThumbnailOnly",
    };
    static bool FileSummary::*const flagFields[] = {
        &FileSummary::GenerateMD5,
        &FileSummary::Embedded,
        &FileSummary::Preview,
        &FileSummary::PreviewWS,
        &FileSummary::Thumbnail,
        &FileSummary::ThumbnailOnly,
    };
    static constexpr QStringView sizeNames[] = {
        u"UncompressedSize",
        u"CompressedSize",
    };
    static qint64 FileSummary::*const sizeFields[] = {
        &FileSummary::UncompressedSize,
        &FileSummary::CompressedSize,
    };
    static_assert(std::size(textFields) == std::size(textNames));
    static_assert(std::size(flagFields) == std::size(flagNames));
    static_assert(std::size(sizeFields) == std::size(sizeNames));

    FileSummary file;
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(content);
    while (it.next()) {
        const QStringView tag = it.tagNameView();
        if (const int i = tagIndex(tag, textNames); i >= 0)
            file.*textFields[i] = it.data();
        else if (const int i = tagIndex(tag, flagNames); i >= 0)
            file.*flagFields[i] = readFlag(it.dataView());
        else if (const int i = tagIndex(tag, sizeNames); i >= 0)
            file.*sizeFields[i] = readSize(it.dataView());
        else if (tag == userAttributesTag)
            takeUserAttributes(file, readUserAttributes(it.dataView()));
        else
            reportUnknown("ParseFile", it);
    }
    return file;
}

Workflowstep readWorkflowstep(QStringView content)
{
    static constexpr QStringView textNames[] = {
        u"TraxoRootFile",
        u"Timestamp",
        u"Title",
        u"Description",
        u"Comment",
        u"Command",
        u"Tool",
        u"ToolPath",
        u"Host",
        u"User",
        u"Creator",
        u"PDFTitle",
        u"PDFAuthor",
        u"PDFSubject",
        u"PDFKeywords",
        u"PDFProducer",
        u"PDFCreator",
    };
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
    static_assert(std::size(textFields) == std::size(textNames));

    Workflowstep step;
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(content);
    while (it.next()) {
        const QStringView tag = it.tagNameView();
        if (const int i = tagIndex(tag, textNames); i >= 0) {
            step.*textFields[i] = it.data();
        } else if (tag == inFileTag || tag == outFileTag) {
            FileSummary file = readFile(it.dataView());
            // Literals share their characters: no copy of the tag per file.
            file.FilePurpose = tag == inFileTag ? QStringLiteral("InFile") : QStringLiteral("OutFile");
            step.files.append(std::move(file));
        } else if (tag == userAttributesTag) {
            takeUserAttributes(step, readUserAttributes(it.dataView()));
        } else {
            reportUnknown("parseWorkflowstep", it);
        }
    }
    return step;
}

Summary readTrxchange(QStringView content)
{
    Summary summary;
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(content);
    while (it.next()) {
        const QStringView tag = it.tagNameView();
        if (tag == workflowstepTag)
            static_cast<Workflowstep &>(summary) = readWorkflowstep(it.dataView());
        else if (tag == md5SignatureTag)
            summary.md5Signature = it.data();
    }
    summary.valid = true;
    return summary;
}

} // namespace

SummaryReader::SummaryReader(QObject *parent)
    : QObject(parent)
{
}

Summary SummaryReader::readSummary(const QString &xml)
{
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(xml);
    while (it.next()) {
        if (it.tagNameView() == trxchangeTag)
            return readTrxchange(it.dataView());
    }
    return Summary();
}

Summary SummaryReader::parseSummary(const QString &content)
{
    return readTrxchange(content);
}

Workflowstep SummaryReader::parseWorkflowstep(const QString &content)
{
    return readWorkflowstep(content);
}

FileSummary SummaryReader::parseFile(const QString &content)
{
    return readFile(content);
}

SummaryReader::UserAttributes SummaryReader::parseUserAttributes(const QString &content)
{
    return readUserAttributes(content);
}

SummaryReader::Attribute SummaryReader::parseAttribute(const QString &content)
{
    return readAttribute(content);
}

namespace {

// The character of one reference without its "&" and ";", or a null char.
char32_t decodeReference(QStringView name)
{
    if (name == u"amp")
        return U'&';
    if (name == u"lt")
        return U'<';
    if (name == u"gt")
        return U'>';
    if (name == u"quot")
        return U'"';
    if (name == u"apos")
        return U'\'';
    if (name.size() < 2 || name.front() != u'#')
        return 0;
    const bool hex = name.at(1) == u'x' || name.at(1) == u'X';
    const QStringView digits = name.mid(hex ? 2 : 1);
    if (digits.isEmpty() || digits.size() > 8)
        return 0;
    bool ok = false;
    const uint code = digits.toUInt(&ok, hex ? 16 : 10);
    // Signs and spaces pass toUInt; a reference has digits only.
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        const bool digit = u >= u'0' && u <= u'9';
        const bool letter = (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
        if (!(digit || (hex && letter)))
            return 0;
    }
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return char32_t(code);
}

} // namespace

QString SummaryReader::decodeText(QStringView text)
{
    if (!text.contains(u'&'))
        return text.toString();
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(u'&', i);
        if (amp < 0)
            break;
        result += text.mid(i, amp - i);
        const qsizetype semicolon = text.indexOf(u';', amp + 1);
        // Longest reference: "&#x10FFFF;" or "&#1114111;".
        const char32_t c
            = semicolon > amp && semicolon - amp <= 10 ? decodeReference(text.mid(amp + 1, semicolon - amp - 1)) : 0;
        if (c == 0) {
            result += u'&';
            i = amp + 1;
            continue;
        }
        result += QString::fromUcs4(&c, 1);
        i = semicolon + 1;
    }
    result += text.mid(i);
    return result;
}

} // namespace traxo
