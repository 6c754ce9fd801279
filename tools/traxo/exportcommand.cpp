#include "exportcommand.h"

#include "console.h"
#include "provenance/provenanceexporter.h"

#include <QCommandLineParser>

using traxo::ProvenanceExporter;

QString ExportCommand::summary() const
{
    return QStringLiteral("export a history as W3C PROV or RO-Crate");
}

QString ExportCommand::help() const
{
    return QStringLiteral(R"(usage: traxo export FILE --format prov-json|prov-n|ro-crate [-o OUT]

Writes the history of the container FILE for provenance tools: W3C PROV as
PROV-JSON or PROV-N, or an RO-Crate folder (Process Run Crate) holding
ro-crate-metadata.json and the embedded files.
  --format F   prov-json, prov-n or ro-crate
  -o OUT       where to write (default beside FILE: NAME.prov.json,
               NAME.provn or the folder NAME-crate); "-" writes PROV-JSON or
               PROV-N to standard output. A crate folder must be new or empty.
Exit status: 0 written, 2 bad usage, FILE not a readable container, or
OUT not written.
)");
}

void ExportCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption(QCommandLineOption(QStringLiteral("format"), QString(), QStringLiteral("F")));
    parser->addOption(QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("OUT")));
    parser->addPositionalArgument(QStringLiteral("FILE"), QString());
}

int ExportCommand::run(const QCommandLineParser &parser, Console &console)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        console.error(QStringLiteral("export needs exactly one FILE (see 'traxo export --help')"));
        return ExitTrouble;
    }
    ProvenanceExporter::Format format;
    if (!ProvenanceExporter::formatFromName(parser.value(QStringLiteral("format")), &format)) {
        console.error(QStringLiteral("--format must be one of %1, not \"%2\"")
                          .arg(ProvenanceExporter::formatNames().join(QLatin1String(", ")),
                              parser.value(QStringLiteral("format"))));
        return ExitTrouble;
    }
    const QString output = parser.isSet(QStringLiteral("o")) ? parser.value(QStringLiteral("o"))
                                                             : ProvenanceExporter::defaultOutput(files.first(), format);
    if (output == QLatin1String("-") && format == ProvenanceExporter::RoCrate) {
        console.error(QStringLiteral("an RO-Crate is a folder and cannot go to standard output"));
        return ExitTrouble;
    }

    ProvenanceExporter exporter;
    if (!exporter.open(files.first())) {
        console.error(exporter.errorString());
        return ExitTrouble;
    }
    if (output == QLatin1String("-")) {
        console.writeBytes(exporter.text(format));
        return ExitOk;
    }
    if (!exporter.exportTo(format, output)) {
        console.error(exporter.errorString());
        return ExitTrouble;
    }
    console.writeLine(output);
    return ExitOk;
}
