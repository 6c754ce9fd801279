#include "toolconsole.h"

#include <QStringList>

#include <cstdio>

namespace traxotools {

ToolConsole::ToolConsole(QObject *parent)
    : QObject(parent)
{
}

void ToolConsole::error(const QString &text)
{
    ++m_errors;
    print(QStringLiteral("***ERROR "), text);
}

void ToolConsole::warning(const QString &text)
{
    print(QStringLiteral("***WARNING "), text);
}

void ToolConsole::info(const QString &text)
{
    if (m_verbosity >= Normal)
        print(QString(), text);
}

void ToolConsole::detail(const QString &text)
{
    if (m_verbosity >= Verbose)
        print(QString(), text);
}

void ToolConsole::log(const QString &message, int level)
{
    if (level >= 2)
        error(message);
    else if (level == 1)
        warning(message);
    else
        detail(message);
}

void ToolConsole::print(const QString &prefix, const QString &text)
{
    // Every line carries the prefix, so that a reader classifying lines one
    // by one never takes the rest of an error for plain output.
    QString trimmed = text;
    while (trimmed.endsWith(QLatin1Char('\n')))
        trimmed.chop(1);
    const QStringList lines = trimmed.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QByteArray bytes = (prefix + line + QLatin1Char('\n')).toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    }
    std::fflush(stdout);
}

} // namespace traxotools
