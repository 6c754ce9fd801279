#include "rendercommand.h"

#include "console.h"

#include "shared/paths.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

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

QString RenderCommand::templatePath(const QString &value, const QString &templatesDir)
{
    if (QFileInfo(value).isFile())
        return QFileInfo(value).absoluteFilePath();
    if (value.contains(QLatin1Char('/')))
        return QString();
    for (const QString &candidate : { value, value + QStringLiteral(".htm") }) {
        const QString path = templatesDir + QLatin1Char('/') + candidate;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString RenderCommand::rendererPath()
{
    return firstExistingFile(
        getBinaryDir(), { QStringLiteral("traxo-render"), QStringLiteral(TRAXO_RENDERER_FROM_BINDIR "/traxo-render") });
}

QString RenderCommand::templatesDir() const
{
    return getTemplatesDir();
}

int RenderCommand::run(const QCommandLineParser &parser, Console &console)
{
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        console.error(QStringLiteral("render takes one FILE (see 'traxo render --help')"));
        return ExitTrouble;
    }
    Request request;
    request.file = files.first();
    const QString output = parser.value(QStringLiteral("o"));
    if (output != QLatin1String("-"))
        request.output = output;
    request.format
        = parser.isSet(QStringLiteral("format")) ? parser.value(QStringLiteral("format")).toLower() : formatOf(output);
    if (request.format != QLatin1String("html") && request.format != QLatin1String("text")
        && request.format != QLatin1String("pdf")) {
        console.error(QStringLiteral("unknown format \"%1\": html, text or pdf").arg(request.format));
        return ExitTrouble;
    }
    const QString templateValue
        = parser.isSet(QStringLiteral("template")) ? parser.value(QStringLiteral("template")) : DefaultTemplate;
    request.templateFile = templatePath(templateValue, templatesDir());
    if (request.templateFile.isEmpty()) {
        console.error(
            QStringLiteral("no template \"%1\" (neither a file nor in %2)").arg(templateValue, templatesDir()));
        return ExitTrouble;
    }
    return render(request, console);
}

int RenderCommand::render(const Request &, Console &console)
{
    const QString renderer = rendererPath();
    if (renderer.isEmpty()) {
        console.error(
            QStringLiteral("render: the renderer traxo-render is not installed beside %1").arg(getBinaryDir()));
        return ExitTrouble;
    }
    // The renderer gets the words as they were typed, so that names in any
    // encoding reach it unchanged; it checks them again as this command did.
    const QByteArray program = QFile::encodeName(renderer);
    std::vector<char *> argv { const_cast<char *>(program.constData()) };
    for (const QByteArray &word : words())
        argv.push_back(const_cast<char *>(word.constData()));
    argv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(program.constData(), argv.data());
    console.error(
        QStringLiteral("render: cannot start %1: %2").arg(renderer, QString::fromLocal8Bit(std::strerror(errno))));
    return ExitTrouble;
}
