// traxo: the headless command over the library for pipelines, CI and
// clusters. main only picks the command named by the first word, parses its
// options and runs it; every command lives in its own files (see
// commandregistry.cpp).

#include "command.h"
#include "commandregistry.h"
#include "console.h"

#include "argfile/libraryinfo.h"
#include "shared/traxobenchinfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

namespace {

QString generalHelp()
{
    QString text = QStringLiteral("usage: traxo COMMAND [options] [arguments]\n\n"
                                  "Reads, checks, searches and renders the processing histories recorded in\n"
                                  "containers (.traxo files and PDFs with a history), without a display.\n\n"
                                  "Commands:\n");
    for (const std::unique_ptr<Command> &command : CommandRegistry::all())
        text += QStringLiteral("  %1%2\n").arg(command->name().leftJustified(12), command->summary());
    text += QStringLiteral("\n'traxo COMMAND --help' describes a command; 'traxo --version' prints the version.\n"
                           "Errors go to standard error, prefixed \"traxo: \".\n");
    return text;
}

// Qt's own warnings reach the user like any other, prefixed; the note that
// the offscreen platform has no runtime folder concerns nobody here.
void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    std::fputs(("traxo: " + message + QLatin1Char('\n')).toUtf8().constData(), stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(messageHandler);
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromLocal8Bit(argv[i]));
    Console console;

    const QString first = words.value(0);
    if (first.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h")
        || first == QLatin1String("help")) {
        if (first.isEmpty()) {
            console.error(QStringLiteral("no command given"));
            std::fputs(generalHelp().toUtf8().constData(), stderr);
            return ExitTrouble;
        }
        console.write(generalHelp());
        return ExitOk;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-V")) {
        console.writeLine(QStringLiteral("traxo %1 (library %2)").arg(TRAXOBENCH_VERSION, traxo::getVersion()));
        return ExitOk;
    }
    std::unique_ptr<Command> command = CommandRegistry::create(first);
    if (!command) {
        console.error(QStringLiteral("unknown command \"%1\" (see 'traxo --help')").arg(first));
        return ExitTrouble;
    }

    // Rendering lays text out with fonts, which takes a GUI application; the
    // offscreen platform gives it one without a display.
    std::unique_ptr<QCoreApplication> app;
    if (command->needsGui()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }

    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringList { QStringLiteral("h"), QStringLiteral("help") }));
    command->addOptions(&parser);
    if (!parser.parse(QStringList { QStringLiteral("traxo") } + words.mid(1))) {
        console.error(QStringLiteral("%1: %2 (see 'traxo %1 --help')").arg(command->name(), parser.errorText()));
        return ExitTrouble;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        console.write(command->help());
        return ExitOk;
    }
    return command->run(parser, console);
}
