#include "diffcommand.h"

#include "console.h"
#include "workflow/workflowcomparison.h"

#include <QCommandLineParser>
#include <QJsonDocument>

QString DiffCommand::summary() const
{
    return QStringLiteral("compare the histories of two containers step by step");
}

QString DiffCommand::help() const
{
    return QStringLiteral(R"help(usage: traxo diff A B [--json]

Matches the steps of the histories in A and B (nested containers included)
at the least cost and lists them newest first: "  " the same step, "~ " a
changed step with each changed field (title, tool, tool path, command,
description, comment, attributes, files with MD5 and size) as
"before -> after", "- " a step only A has, "+ " a step only B has, and
"(parent changed)" where a step follows another step than before. Times,
hosts and users are not compared.
  --json      one JSON document {"first", "second", "equal", "costs",
              "pairs": [{"first", "second", "title1", "title2", "level",
              "parentChanged", "changes": [{"field", "before", "after"}]}],
              "removed": [{"first", "title", "level"}],
              "added": [{"second", "title", "level"}]}
Exit status: 0 the histories are equal, 1 they differ, 2 a file is not a
readable container or the histories are too different to compare.
)help");
}

void DiffCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption(QCommandLineOption(QStringLiteral("json")));
    parser->addPositionalArgument(QStringLiteral("A"), QString());
    parser->addPositionalArgument(QStringLiteral("B"), QString());
}

int DiffCommand::run(const QCommandLineParser &parser, Console &console)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2) {
        console.error(QStringLiteral("diff takes two files A and B (see 'traxo diff --help')"));
        return ExitTrouble;
    }
    traxo::WorkflowComparison comparison;
    QString error;
    if (!comparison.compareFiles(files.at(0), files.at(1), &error)) {
        console.error(error);
        return ExitTrouble;
    }
    if (parser.isSet(QStringLiteral("json")))
        console.writeBytes(
            QJsonDocument(comparison.toJson(files.at(0), files.at(1))).toJson(QJsonDocument::Compact) + '\n');
    else
        console.write(comparison.toText(files.at(0), files.at(1)));
    return comparison.isEqual() ? ExitOk : ExitNegative;
}
