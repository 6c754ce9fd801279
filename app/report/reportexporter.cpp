#include "report/reportexporter.h"

#include "container/traxoparser.h"
#include "report/reportdocument.h"
#include "shared/paths.h"

#include <QBuffer>
#include <QFile>
#include <QMimeDatabase>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>

namespace {

const QString TemplateScheme = QStringLiteral("template://");
const QString TagScheme = QStringLiteral("traxotag://");

QString htmlAttribute(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

QString ReportExporter::exportName(const QString &filename, const QStringList &suffixes, const QString &append)
{
    for (const QString &suffix : suffixes) {
        if (filename.endsWith(suffix))
            return filename;
    }
    return filename + append;
}

void ReportExporter::setResources(const QString &templatesDir, traxo::TraxoParser *parser)
{
    m_templatesDir = templatesDir;
    m_parser = parser;
}

bool ReportExporter::checkWritable(const QString &filename)
{
    QFile probe(filename);
    const bool existed = probe.exists();
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = QStringLiteral("*** ERROR: file could not be opened for writing.");
        return false;
    }
    probe.close();
    if (!existed)
        probe.remove();
    return true;
}

QByteArray ReportExporter::pdfBytes(QTextDocument *document) const
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        document->print(&writer);
    }
    return buffer.data();
}

QByteArray ReportExporter::htmlBytes(const QTextDocument &document) const
{
    return selfContained(document.toHtml()).toUtf8();
}

QByteArray ReportExporter::rawHtmlBytes(const QString &html) const
{
    return selfContained(html).toUtf8();
}

QByteArray ReportExporter::plainTextBytes(const QTextDocument &document) const
{
    // Images stand in the text as object-replacement characters, which a
    // text file has no use for.
    QString text = document.toPlainText();
    text.remove(QChar::ObjectReplacementCharacter);
    return text.toUtf8();
}

bool ReportExporter::writePdf(QTextDocument *document, const QString &filename)
{
    return writeBytes(filename, pdfBytes(document));
}

bool ReportExporter::writeHtml(const QTextDocument &document, const QString &filename)
{
    return writeBytes(filename, htmlBytes(document));
}

bool ReportExporter::writeRawHtml(const QString &html, const QString &filename)
{
    return writeBytes(filename, rawHtmlBytes(html));
}

bool ReportExporter::writePlainText(const QTextDocument &document, const QString &filename)
{
    return writeBytes(filename, plainTextBytes(document));
}

bool ReportExporter::writeBytes(const QString &filename, const QByteArray &bytes)
{
    QFile file(filename);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("*** ERROR: file could not be opened for writing.");
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        m_error = QStringLiteral("*** ERROR: file could not be written completely.");
        return false;
    }
    return true;
}

QString ReportExporter::inlineStyle(const QString &reference) const
{
    const QString local = ReportDocument::templateFileUrl(QUrl(reference), m_templatesDir).toLocalFile();
    QFile file(local);
    if (local.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    // "</" would end the style element early.
    QString css = QString::fromUtf8(file.readAll());
    css.replace(QStringLiteral("</"), QStringLiteral("<\\/"));
    return QStringLiteral("<style>\n") + css + QStringLiteral("</style>");
}

QString ReportExporter::dataUrl(const QString &reference) const
{
    QByteArray bytes;
    QString type;
    if (reference.startsWith(TagScheme)) {
        const QSharedPointer<QByteArray> content = ReportDocument::embeddedContent(m_parser, QUrl(reference));
        if (!content)
            return QString();
        bytes = *content;
        type = QMimeDatabase().mimeTypeForData(bytes).name();
    } else {
        const QString local = ReportDocument::templateFileUrl(QUrl(reference), m_templatesDir).toLocalFile();
        QFile file(local);
        if (local.isEmpty() || !file.open(QIODevice::ReadOnly))
            return QString();
        bytes = file.readAll();
        type = QMimeDatabase().mimeTypeForFileNameAndData(local, bytes).name();
    }
    return QStringLiteral("data:%1;base64,%2").arg(type, QString::fromLatin1(bytes.toBase64()));
}

QString ReportExporter::selfContained(const QString &html) const
{
    // A stylesheet link becomes the style itself; any other reference to a
    // template file or an embedded file becomes a data: URL.
    static const QRegularExpression link(
        QStringLiteral("<link\\b[^>]*\\bhref\\s*=\\s*\"((?:template|traxotag)://[^\"]*)\"[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attribute(
        QStringLiteral("\\b(src|href)\\s*=\\s*\"((?:template|traxotag)://[^\"]*)\""),
        QRegularExpression::CaseInsensitiveOption);

    QString out;
    out.reserve(html.size());
    qsizetype last = 0;
    for (QRegularExpressionMatchIterator it = link.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(html).mid(last, match.capturedStart() - last);
        out += inlineStyle(match.captured(1));
        last = match.capturedEnd();
    }
    out += QStringView(html).mid(last);

    QString result;
    result.reserve(out.size());
    last = 0;
    for (QRegularExpressionMatchIterator it = attribute.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(out).mid(last, match.capturedStart() - last);
        // Entities in the attribute were decoded by no one: the reference
        // is a name the template or the engine wrote.
        const QString url = dataUrl(match.captured(2));
        result += match.captured(1) + QStringLiteral("=\"") + htmlAttribute(url) + QLatin1Char('"');
        last = match.capturedEnd();
    }
    result += QStringView(out).mid(last);
    return result;
}
