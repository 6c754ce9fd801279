#include "container/containermarkers.h"

namespace traxo {

const QString strRegex = QStringLiteral(R"(((?:[^\]\\]|(?:\\\\)|(?:\\\])|(?:\\n))*))");
const QString intRegex = QStringLiteral("([0-9]*)");
const QString md5Regex = QStringLiteral("((?:)|(?:[a-f0-9]{32}))");

const QString sectionRegexStr = QStringLiteral(
    R"(^%<--! \$TRAXO_SECTION \[version:%1\]\[creator:%1\]\[title:%1\]\[left:%2\]\[size:%2\]\[index:%2\])"
    R"(\[md5section:%3\]\[previousmd5:%3\]\[previousmarker:%2\]-->)");
const QString fileRegexStr
    = QStringLiteral(R"(^%<--! \$TRAXO_EMBEDDEDFILE_BEGIN \[filetype:%1\]\[filename:%1\]\[desc:%1\]\[comment:%1\])"
                     R"(\[compression:%1\]\[filesize:%2\]\[cfilesize:%2\]\[blocksize:%2\]\[offset:%2\])"
                     R"(\[md5file:%3\]\[md5cfile:%3\]-->)");

QString escapeMarkerText(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char(']'))
            escaped += QLatin1String("\\]");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else
            escaped += c;
    }
    return escaped;
}

QString unescapeMarkerText(const QString &text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text.at(i + 1);
            if (next == QLatin1Char('\\') || next == QLatin1Char(']')) {
                plain += next;
                ++i;
                continue;
            }
            if (next == QLatin1Char('n')) {
                plain += QLatin1Char('\n');
                ++i;
                continue;
            }
        }
        plain += c;
    }
    return plain;
}

} // namespace traxo
