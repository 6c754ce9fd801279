#include "report/reportdocument.h"

#include "container/traxoparser.h"
#include "shared/paths.h"

#include <limits>

namespace {

const QString TagScheme = QStringLiteral("traxotag://");
const QString TemplateScheme = QStringLiteral("template://");

} // namespace

ReportDocument::ReportDocument(QObject *parent)
    : QTextDocument(parent)
{
}

void ReportDocument::setParser(traxo::TraxoParser *parser)
{
    m_parser = parser;
}

bool ReportDocument::isTagUrl(const QUrl &url)
{
    return url.toString().startsWith(TagScheme);
}

int ReportDocument::getIDFromUrl(const QUrl &url)
{
    const QString text = url.toString();
    if (!text.startsWith(TagScheme))
        return -1;
    const QString rest = text.mid(TagScheme.size());
    bool ok = false;
    const int id = rest.toInt(&ok, 10);
    if (ok)
        return id >= 0 ? id : -1;
    // QUrl reads a number after "//" as a host and writes it back as an
    // IPv4 address ("traxotag://12" becomes "traxotag://0.0.0.12").
    const QStringList octets = rest.split(QLatin1Char('.'));
    if (octets.size() != 4)
        return -1;
    quint32 value = 0;
    for (const QString &octet : octets) {
        const uint part = octet.toUInt(&ok, 10);
        if (!ok || part > 255)
            return -1;
        value = (value << 8) | part;
    }
    return value <= quint32(std::numeric_limits<int>::max()) ? int(value) : -1;
}

QUrl ReportDocument::templateFileUrl(const QUrl &url, const QString &templatesDir)
{
    const QString text = url.toString();
    if (!text.startsWith(TemplateScheme))
        return QUrl();
    return QUrl::fromLocalFile(templatesDir + QLatin1Char('/') + text.mid(TemplateScheme.size()));
}

QSharedPointer<QByteArray> ReportDocument::embeddedContent(traxo::TraxoParser *parser, const QUrl &url)
{
    const int id = getIDFromUrl(url);
    if (!parser || id < 0)
        return nullptr;
    return parser->getFileContent(id);
}

QVariant ReportDocument::loadResource(int type, const QUrl &name)
{
    if (type == QTextDocument::ImageResource && isTagUrl(name) && m_parser) {
        if (const QSharedPointer<QByteArray> content = embeddedContent(m_parser, name))
            return *content;
        return QTextDocument::loadResource(type, name);
    }
    const QUrl local = templateFileUrl(name, m_templatesDir.isEmpty() ? getTemplatesDir() : m_templatesDir);
    return QTextDocument::loadResource(type, local.isEmpty() ? name : local);
}
