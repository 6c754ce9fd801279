#include "showcommand.h"

#include "console.h"
#include "containerhistory.h"

#include <QCommandLineParser>
#include <QJsonDocument>

QString ShowCommand::summary() const
{
    return QStringLiteral("print the history of a container, oldest step first");
}

QString ShowCommand::help() const
{
    return QStringLiteral(R"(usage: traxo show FILE [--json]

Prints the history recorded in FILE (a .traxo file or a PDF with a history):
each step with its title, time, tool, command, user, host, description,
comment and attributes, and each file with its role, path, size, MD5 and
whether the container holds it.
  --json      one JSON document {"file": ..., "steps": [...], "looseFiles": [...]}
Exit status: 0 shown, 2 FILE is not a readable container.
)");
}

void ShowCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption(QCommandLineOption(QStringLiteral("json")));
    parser->addPositionalArgument(QStringLiteral("FILE"), QString());
}

int ShowCommand::run(const QCommandLineParser &parser, Console &console)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        console.error(QStringLiteral("show takes one FILE (see 'traxo show --help')"));
        return ExitTrouble;
    }
    ContainerHistory history;
    if (!history.read(files.first())) {
        console.error(QStringLiteral("%1: not a readable container").arg(files.first()));
        return ExitTrouble;
    }
    if (parser.isSet(QStringLiteral("json")))
        console.writeBytes(QJsonDocument(history.toJson()).toJson(QJsonDocument::Compact) + '\n');
    else
        console.write(history.toText());
    return ExitOk;
}
