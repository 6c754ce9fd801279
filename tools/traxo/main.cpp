// traxo: the headless command over the library for pipelines, CI and
// clusters. main only picks the command named by the first word, parses its
// options and runs it; every command lives in its own files (see
// commandregistry.cpp).

#include "command.h"
#include "commandregistry.h"
#include "console.h"

#include "argfile/libraryinfo.h"
#include "shared/traxobenchinfo.h"

#include <QByteArrayList>

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

} // namespace

int main(int argc, char *argv[])
{
    Console::installMessageHandler();
    QByteArrayList words;
    for (int i = 1; i < argc; ++i)
        words.append(QByteArray(argv[i]));
    Console console;

    const QString first = QString::fromLocal8Bit(words.value(0));
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
    return command->execute(argc, argv, words.mid(1), console);
}
