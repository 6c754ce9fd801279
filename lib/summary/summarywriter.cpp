#include "summary/summarywriter.h"

#include <QSet>

namespace traxo {

namespace {

// A character of its own (no surrogate) that an XML 1.0 document may contain.
bool isXmlChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20)
        return u == 0x09 || u == 0x0A || u == 0x0D;
    return !c.isSurrogate() && u != 0xFFFE && u != 0xFFFF;
}

class XmlBuilder
{
public:
    void open(const char *name)
    {
        indent();
        m_text += QLatin1Char('<') + QLatin1String(name) + QLatin1String(">\n");
        ++m_depth;
    }

    void close(const char *name)
    {
        --m_depth;
        indent();
        m_text += QLatin1String("</") + QLatin1String(name) + QLatin1String(">\n");
    }

    // Element content is written exactly, without surrounding whitespace,
    // because the reader keeps every character between the tags.
    void element(const char *name, const QString &value)
    {
        indent();
        const QLatin1String tag(name);
        m_text += QLatin1Char('<') + tag + QLatin1Char('>') + SummaryWriter::escape(value) + QLatin1String("</") + tag
            + QLatin1String(">\n");
    }

    void flag(const char *name, bool value) { element(name, value ? QStringLiteral("1") : QStringLiteral("0")); }
    void number(const char *name, qint64 value) { element(name, QString::number(value)); }

    void userAttributes(
        const QStringList &keys, const QHash<QString, QString> &values, const QHash<QString, QString> &units)
    {
        // Keys present only in the value map are written after the listed
        // ones rather than dropped.
        QStringList all = keys;
        const QSet<QString> listed(keys.cbegin(), keys.cend());
        QStringList unlisted;
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            if (!listed.contains(it.key()))
                unlisted.append(it.key());
        }
        unlisted.sort();
        all += unlisted;
        if (all.isEmpty())
            return;

        open("UserAttributes");
        for (const QString &key : std::as_const(all)) {
            open("Attribute");
            element("Key", key);
            element("Value", values.value(key));
            const auto unit = units.constFind(key);
            if (unit != units.cend())
                element("Unit", unit.value());
            close("Attribute");
        }
        close("UserAttributes");
    }

    QString text() const { return m_text; }

private:
    void indent() { m_text += QString(m_depth * 2, QLatin1Char(' ')); }

    QString m_text;
    int m_depth = 0;
};

} // namespace

QString SummaryWriter::escape(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('&')) {
            result += QLatin1String("&amp;");
        } else if (c == QLatin1Char('<')) {
            result += QLatin1String("&lt;");
        } else if (c == QLatin1Char('>')) {
            result += QLatin1String("&gt;");
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result += c;
            result += text.at(++i);
        } else if (isXmlChar(c)) {
            result += c;
        }
        // Characters XML cannot hold, not even as references, are dropped:
        // one of them would make the whole summary unreadable.
    }
    return result;
}

QString SummaryWriter::writeSummary(const Summary &summary)
{
    XmlBuilder xml;
    xml.open("trxchange");
    xml.open("Workflowstep");
    xml.element("TraxoRootFile", summary.TraxoRootFile);
    xml.element("Timestamp", summary.Timestamp);
    xml.element("Title", summary.Title);
    xml.element("Description", summary.Description);
    xml.element("Comment", summary.Comment);
    xml.element("Command", summary.Command);
    xml.element("Tool", summary.Tool);
    xml.element("ToolPath", summary.ToolPath);
    xml.element("Host", summary.Host);
    xml.element("User", summary.User);
    xml.element("Creator", summary.Creator);
    xml.element("PDFTitle", summary.PDFTitle);
    xml.element("PDFAuthor", summary.PDFAuthor);
    xml.element("PDFSubject", summary.PDFSubject);
    xml.element("PDFKeywords", summary.PDFKeywords);
    xml.element("PDFProducer", summary.PDFProducer);
    xml.element("PDFCreator", summary.PDFCreator);
    xml.userAttributes(summary.userAttributeKeys, summary.userAttributeValues, summary.userAttributeUnits);

    for (const FileSummary &file : summary.files) {
        // The document knows only inputs and outputs; a file whose purpose is
        // unknown is recorded as an input rather than lost.
        const char *element = file.FilePurpose == QLatin1String("OutFile") ? "OutFile" : "InFile";
        xml.open(element);
        xml.element("Filename", file.Filename);
        xml.element("Filepath", file.Filepath);
        xml.element("Filetype", file.Filetype);
        xml.element("Description", file.Description);
        xml.element("Comment", file.Comment);
        xml.element("LastModified", file.LastModified);
        xml.flag("GenerateMD5", file.GenerateMD5);
        xml.flag("Embedded", file.Embedded);
        xml.number("UncompressedSize", file.UncompressedSize);
        xml.element("UncompressedMD5", file.UncompressedMD5);
        xml.element("CompressedMethod", file.CompressedMethod);
        xml.number("CompressedSize", file.CompressedSize);
        xml.element("CompressedMD5", file.CompressedMD5);
        xml.flag("Preview", file.Preview);
        xml.flag("PreviewWS", file.PreviewWS);
        xml.flag("Thumbnail", file.Thumbnail);
        xml.flag("ThumbnailOnly", file.ThumbnailOnly);
        xml.userAttributes(file.userAttributeKeys, file.userAttributeValues, file.userAttributeUnits);
        xml.close(element);
    }
    xml.close("Workflowstep");
    if (!summary.md5Signature.isEmpty())
        xml.element("MD5Signature", summary.md5Signature);
    xml.close("trxchange");
    return QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + xml.text();
}

QByteArray SummaryWriter::writeSummaryUtf8(const Summary &summary)
{
    return writeSummary(summary).toUtf8();
}

} // namespace traxo
