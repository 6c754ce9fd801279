#include "argfile/quoting.h"

#include <QRegularExpression>

namespace traxo {

QString quoteString(const QString &text, bool keepVariables)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    escaped.replace(QLatin1Char('`'), QLatin1String("\\`"));
    if (keepVariables)
        escaped.replace(QLatin1String("$$"), QLatin1String("\\$"));
    else
        escaped.replace(QLatin1Char('$'), QLatin1String("\\$"));

    static const QRegularExpression whitespace(QStringLiteral("[ \t\r\n]"));
    // The tokenizer takes "#" for the start of a comment and "'" for the start
    // of a single-quoted word; inside double quotes both are ordinary.
    if (text.contains(whitespace) || text.contains(QLatin1Char('#')) || text.contains(QLatin1Char('\'')))
        return QLatin1Char('"') + escaped + QLatin1Char('"');
    return escaped;
}

QStringList quoteStringList(const QStringList &list, bool keepVariables)
{
    QStringList quoted;
    quoted.reserve(list.size());
    for (const QString &word : list)
        quoted << quoteString(word, keepVariables);
    return quoted;
}

void appendAttributeToList(const QString &value, const QString &option, const QString &key, QStringList &list)
{
    if (value.isEmpty())
        return;
    list << option << key << value;
}

void appendFlagToList(bool flag, const QString &option, const QString &name, QStringList &list)
{
    list << option << (flag ? name : QLatin1String("no-") + name);
}

QString joinCommandlineWords(const QStringList &words, bool keepVariables)
{
    QStringList quoted = quoteStringList(words, keepVariables);
    // An empty attribute name or container name would otherwise vanish from
    // the line and shift every following parameter by one.
    for (QString &word : quoted) {
        if (word.isEmpty())
            word = QStringLiteral("\"\"");
    }
    return quoted.join(QLatin1Char(' '));
}

} // namespace traxo
