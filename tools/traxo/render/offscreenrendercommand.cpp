#include "offscreenrendercommand.h"

#include "console.h"

#include "container/traxoparser.h"
#include "report/reportdocument.h"
#include "report/reportexporter.h"
#include "shared/parsetemplate.h"
#include "shared/paths.h"
#include "summary/summarycreator.h"

#include <QFileInfo>
#include <QGuiApplication>

std::unique_ptr<QCoreApplication> OffscreenRenderCommand::createApplication(int &argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

QString OffscreenRenderCommand::templatesDir() const
{
    // Installed, the renderer lives in a helper folder; the layout rules
    // start from the folder of traxo.
    QString programDir = getBinaryDir();
    if (!QFileInfo::exists(programDir + QStringLiteral("/traxo")))
        programDir = QFileInfo(programDir + QStringLiteral("/" TRAXO_BINDIR_FROM_RENDERER)).canonicalFilePath();
    return getTemplatesDirFor(programDir, programDir);
}

int OffscreenRenderCommand::render(const Request &request, Console &console)
{
    traxo::TraxoParser containerParser(traxo::ParseTolerant);
    if (!containerParser.open(request.file)) {
        console.error(QStringLiteral("%1: not a readable container").arg(request.file));
        return ExitTrouble;
    }
    traxo::SummaryCreator creator;
    const QList<traxo::Summary> summaries = creator.createSummaries(containerParser);
    if (summaries.isEmpty()) {
        console.error(QStringLiteral("%1: holds no history").arg(request.file));
        return ExitTrouble;
    }
    ParseTemplate engine;
    if (!engine.loadTemplateFile(request.templateFile)) {
        console.error(QStringLiteral("%1: the template cannot be read").arg(request.templateFile));
        return ExitTrouble;
    }
    const bool pdf = request.format == QLatin1String("pdf");
    const QString html = engine.generateHtml(request.file, request.templateFile, summaries, pdf);

    // Files beside a template given by path belong to it, not to the
    // installed templates.
    const QString resourcesDir = QFileInfo(request.templateFile).absolutePath();
    ReportExporter exporter;
    exporter.setResources(resourcesDir, &containerParser);
    QByteArray bytes;
    if (request.format == QLatin1String("html")) {
        bytes = exporter.rawHtmlBytes(html);
    } else {
        ReportDocument document;
        document.setParser(&containerParser);
        document.setTemplatesDir(resourcesDir);
        if (pdf) {
            // The viewer prints three steps smaller than it shows.
            QFont font = QGuiApplication::font();
            font.setPointSizeF(qMax(1.0, font.pointSizeF() - 3));
            document.setDefaultFont(font);
        }
        document.setHtml(html);
        bytes = pdf ? exporter.pdfBytes(&document) : exporter.plainTextBytes(document);
    }
    if (request.output.isEmpty()) {
        console.writeBytes(bytes);
        return ExitOk;
    }
    if (!exporter.writeBytes(request.output, bytes)) {
        console.error(QStringLiteral("%1: %2").arg(request.output, exporter.errorString()));
        return ExitTrouble;
    }
    return ExitOk;
}
