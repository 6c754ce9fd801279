#include "commandwords.h"

#include "toolconsole.h"
#include "writerlocks.h"

#include "argfile/argfileparser.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace traxotools {

namespace {

// Arg-files name other arg-files rarely; a deep chain is a mistake.
const int MaxArgfileDepth = 8;

QByteArray readStandardInput()
{
    QByteArray data;
    char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        data.append(buffer, qsizetype(count));
    return data;
}

} // namespace

CommandWords::CommandWords(ToolConsole &console)
    : m_console(console)
{
}

bool CommandWords::collect(const QStringList &arguments)
{
    m_words.clear();
    return expand(arguments, 0);
}

bool CommandWords::expand(const QStringList &words, int depth)
{
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (word == QLatin1String("-c")) {
            if (i + 1 == words.size()) {
                m_console.error(QStringLiteral("option -c needs the name of an arg-file"));
                return false;
            }
            if (!readArgfile(words.at(++i), depth))
                return false;
        } else if (word == QLatin1String("--stdin")) {
            // Standard input holds one text; a second "--stdin" has nothing left to read.
            if (m_stdinRead)
                continue;
            m_stdinRead = true;
            const QString text = QString::fromLocal8Bit(readStandardInput());
            if (!appendArgfileText(text, QStringLiteral("standard input"), depth))
                return false;
        } else if (word == QLatin1String("--lock-timeout")) {
            if (i + 1 == words.size()) {
                m_console.error(QStringLiteral("option --lock-timeout needs a number of seconds"));
                return false;
            }
            if (!WriterLocks::parseTimeout(words.at(++i), &m_lockTimeoutMs, m_console))
                return false;
        } else if (word == QLatin1String("--sync-cwd")) {
            m_syncCwd = true;
        } else {
            m_words << word;
        }
    }
    return true;
}

bool CommandWords::appendArgfileText(const QString &text, const QString &origin, int depth)
{
    QStringList words = traxo::ArgfileParser::parseArgfile(text, nullptr);
    // The tokenizer gives no token at all for a text it cannot cut, while a
    // text of comments and whitespace still gives separators.
    if (words.isEmpty() && !text.isEmpty() && traxo::ArgfileParser::splitIntoTokens(text).isEmpty()) {
        m_console.error(QStringLiteral("%1 cannot be read as an arg-file: a quote is not closed or the text "
                                       "ends with a backslash")
                            .arg(origin));
        return false;
    }
    for (QString &word : words)
        word.replace(QLatin1String("$$"), QLatin1String("$"));
    return expand(words, depth + 1);
}

bool CommandWords::readArgfile(const QString &path, int depth)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (depth >= MaxArgfileDepth || (!canonical.isEmpty() && m_openArgfiles.contains(canonical))) {
        m_console.error(QStringLiteral("arg-file \"%1\" names itself through -c").arg(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_console.error(QStringLiteral("cannot read arg-file \"%1\": %2").arg(path, file.errorString()));
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    if (m_argfileDirectory.isEmpty())
        m_argfileDirectory = QFileInfo(path).absolutePath();

    m_openArgfiles << canonical;
    const bool ok = appendArgfileText(text, QStringLiteral("arg-file \"%1\"").arg(path), depth);
    m_openArgfiles.removeLast();
    return ok;
}

} // namespace traxotools
