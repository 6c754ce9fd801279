#include "findcommand.h"

#include "console.h"
#include "pathlist.h"

#include "shared/traxofinder.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

bool readableDirectory(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

} // namespace

QString FindCommand::summary() const
{
    return QStringLiteral("search containers with the finder's query language");
}

QString FindCommand::help() const
{
    return QStringLiteral(R"(usage: traxo find QUERY [DIR|FILE...] [--json] [--invert] [-l]
                  [--files-from LIST|-] [-0]

Searches the containers (*.traxo, *.pdf) below each DIR (default: the current
directory) and each FILE with a query, for instance
  traxo find 'x:title %contains fit & y:filename %matches *.dat' data/
and prints each hit with the bindings of the query's variables.
  --json               one JSON line per hit: {"file": ..., "bindings": {...}}
  -l                   print the paths of the hits only
  --invert             list the containers that do not match
  --files-from LIST    also search the paths listed in LIST ("-": standard input)
  -0                   the list is separated by NUL bytes (find -print0)
Exit status: 0 something matched, 1 nothing did, 2 the query is invalid or a
DIR or FILE cannot be read.
)");
}

void FindCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption(QCommandLineOption(QStringLiteral("json")));
    parser->addOption(QCommandLineOption(QStringLiteral("invert")));
    parser->addOption(QCommandLineOption(QStringLiteral("l")));
    parser->addOption(QCommandLineOption(QStringLiteral("files-from"), QString(), QStringLiteral("LIST")));
    parser->addOption(QCommandLineOption(QStringLiteral("0")));
    parser->addPositionalArgument(QStringLiteral("QUERY"), QString());
}

QString FindCommand::describeErrors(const QString &query, const QList<traxo::QueryError> &errors)
{
    QString out;
    const int size = int(query.size());
    for (const traxo::QueryError &error : errors) {
        // The editor marks at least one character, and a message about the
        // end of the query marks the last one.
        const int start = qBound(0, error.position(), qMax(0, size - 1));
        const int length = qMin(qMax(error.length(), 1), qMax(size - start, 1));
        out += QStringLiteral("%1 at position %2: %3\n")
                   .arg(error.isError() ? QStringLiteral("query error") : QStringLiteral("query warning"))
                   .arg(start + 1)
                   .arg(error.errorMessage().simplified());
        out += QStringLiteral("  ") + query + QLatin1Char('\n');
        out += QStringLiteral("  ") + QString(start, QLatin1Char(' ')) + QString(length, QLatin1Char('^'))
            + QLatin1Char('\n');
    }
    return out;
}

int FindCommand::run(const QCommandLineParser &parser, Console &console)
{
    QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty()) {
        console.error(QStringLiteral("find needs a QUERY (see 'traxo find --help')"));
        return ExitTrouble;
    }
    const QString query = arguments.takeFirst();
    QStringList paths = arguments;
    for (const QString &list : parser.values(QStringLiteral("files-from"))) {
        QString error;
        if (!PathList::read(list, parser.isSet(QStringLiteral("0")), &paths, &error)) {
            console.error(error);
            return ExitTrouble;
        }
    }
    if (paths.isEmpty() && !parser.isSet(QStringLiteral("files-from")))
        paths.append(QStringLiteral("."));

    // The finder parses the query once and walks nothing when it holds an
    // error.
    TraxoFinder finder;
    const QList<traxo::QueryError> messages = finder.initPaths(query, paths, parser.isSet(QStringLiteral("invert")));
    if (!messages.isEmpty()) {
        QString text = describeErrors(query, messages);
        text.chop(1);
        if (traxo::containsErrors(messages)) {
            console.error(text);
            return ExitTrouble;
        }
        console.warning(text);
    }

    int status = ExitNegative;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir() ? !readableDirectory(path) : !info.isReadable()) {
            console.error(QStringLiteral("%1: cannot be read").arg(path));
            status = ExitTrouble;
        }
    }

    const bool json = parser.isSet(QStringLiteral("json"));
    const bool namesOnly = parser.isSet(QStringLiteral("l"));
    bool matched = false;
    while (finder.hasMoreFiles()) {
        const EvaluationResult result = finder.findNext();
        if (result.undecided)
            console.warning(QStringLiteral("%1: the query is too large to decide here").arg(result.fileName));
        if (!result.matched)
            continue;
        matched = true;
        QStringList names = result.bindings.keys();
        std::sort(names.begin(), names.end());
        if (namesOnly) {
            console.writeLine(result.fileName);
        } else if (json) {
            QJsonObject bindings;
            for (const QString &name : names)
                bindings.insert(name, result.bindings.value(name));
            const QJsonObject hit { { QStringLiteral("file"), result.fileName },
                { QStringLiteral("bindings"), bindings } };
            console.writeBytes(QJsonDocument(hit).toJson(QJsonDocument::Compact) + '\n');
        } else {
            QString text = result.fileName + QLatin1Char('\n');
            for (const QString &name : names)
                text += QStringLiteral("  %1 = %2\n").arg(name, result.bindings.value(name));
            console.write(text);
        }
    }
    if (status == ExitTrouble)
        return status;
    return matched ? ExitOk : ExitNegative;
}
