#include "rendercommand.h"

#include "console.h"

#include "container/traxoparser.h"
#include "shared/parsetemplate.h"
#include "shared/paths.h"
#include "shared/reportdocument.h"
#include "shared/reportexporter.h"
#include "summary/summarycreator.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

const QString DefaultTemplate = QStringLiteral("orange.htm");

// The format an output name implies, for a user who gave none.
QString formatOf(const QString &output)
{
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return QStringLiteral("pdf");
    if (suffix == QLatin1String("txt"))
        return QStringLiteral("text");
    return QStringLiteral("html");
}

} // namespace

QString RenderCommand::summary() const
{
    return QStringLiteral("render a history through a template as HTML, text or PDF");
}

QString RenderCommand::help() const
{
    return QStringLiteral(R"(usage: traxo render FILE [--template NAME|PATH] [--format html|text|pdf] [-o OUT]

Renders the history of FILE through a template, as the viewer shows it.
  --template NAME|PATH   a template of the templates directory ("orange",
                         "black-and-white.htm"; default orange.htm) or a file
  --format FORMAT        html (default), text or pdf; without it the suffix
                         of OUT decides
  -o OUT                 output file (default: standard output)
HTML is written as UTF-8 and self-contained: its stylesheet and images are
inside the file, so it can be mailed or published as it is.
Exit status: 0 rendered, 2 FILE is not a readable container, the template
cannot be read or OUT cannot be written.
)");
}

void RenderCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption(QCommandLineOption(QStringLiteral("template"), QString(), QStringLiteral("NAME")));
    parser->addOption(QCommandLineOption(QStringLiteral("format"), QString(), QStringLiteral("FORMAT")));
    parser->addOption(QCommandLineOption(QStringLiteral("o"), QString(), QStringLiteral("OUT")));
    parser->addPositionalArgument(QStringLiteral("FILE"), QString());
}

QString RenderCommand::templatePath(const QString &value)
{
    if (QFileInfo(value).isFile())
        return QFileInfo(value).absoluteFilePath();
    if (value.contains(QLatin1Char('/')))
        return QString();
    for (const QString &candidate : { value, value + QStringLiteral(".htm") }) {
        const QString path = getTemplatesDir() + QLatin1Char('/') + candidate;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

int RenderCommand::run(const QCommandLineParser &parser, Console &console)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        console.error(QStringLiteral("render takes one FILE (see 'traxo render --help')"));
        return ExitTrouble;
    }
    const QString output = parser.value(QStringLiteral("o"));
    const bool toStdout = output.isEmpty() || output == QLatin1String("-");
    const QString format
        = parser.isSet(QStringLiteral("format")) ? parser.value(QStringLiteral("format")).toLower() : formatOf(output);
    if (format != QLatin1String("html") && format != QLatin1String("text") && format != QLatin1String("pdf")) {
        console.error(QStringLiteral("unknown format \"%1\": html, text or pdf").arg(format));
        return ExitTrouble;
    }
    const QString templateValue
        = parser.isSet(QStringLiteral("template")) ? parser.value(QStringLiteral("template")) : DefaultTemplate;
    const QString templateFile = templatePath(templateValue);
    if (templateFile.isEmpty()) {
        console.error(
            QStringLiteral("no template \"%1\" (neither a file nor in %2)").arg(templateValue, getTemplatesDir()));
        return ExitTrouble;
    }

    traxo::TraxoParser containerParser(traxo::ParseTolerant);
    if (!containerParser.open(files.first())) {
        console.error(QStringLiteral("%1: not a readable container").arg(files.first()));
        return ExitTrouble;
    }
    traxo::SummaryCreator creator;
    const QList<traxo::Summary> summaries = creator.createSummaries(containerParser);
    if (summaries.isEmpty()) {
        console.error(QStringLiteral("%1: holds no history").arg(files.first()));
        return ExitTrouble;
    }
    ParseTemplate engine;
    if (!engine.loadTemplateFile(templateFile)) {
        console.error(QStringLiteral("%1: the template cannot be read").arg(templateFile));
        return ExitTrouble;
    }
    const bool pdf = format == QLatin1String("pdf");
    const QString html = engine.generateHtml(files.first(), templateFile, summaries, pdf);

    // Files beside a template given by path belong to it, not to the
    // installed templates.
    const QString templatesDir = QFileInfo(templateFile).absolutePath();
    ReportExporter exporter;
    exporter.setResources(templatesDir, &containerParser);
    QByteArray bytes;
    if (format == QLatin1String("html")) {
        bytes = exporter.rawHtmlBytes(html);
    } else {
        ReportDocument document;
        document.setParser(&containerParser);
        document.setTemplatesDir(templatesDir);
        if (pdf) {
            // The viewer prints three steps smaller than it shows.
            QFont font = QGuiApplication::font();
            font.setPointSizeF(qMax(1.0, font.pointSizeF() - 3));
            document.setDefaultFont(font);
        }
        document.setHtml(html);
        bytes = pdf ? exporter.pdfBytes(&document) : exporter.plainTextBytes(document);
    }
    if (toStdout) {
        console.writeBytes(bytes);
        return ExitOk;
    }
    if (!exporter.writeBytes(output, bytes)) {
        console.error(QStringLiteral("%1: %2").arg(output, exporter.errorString()));
        return ExitTrouble;
    }
    return ExitOk;
}
