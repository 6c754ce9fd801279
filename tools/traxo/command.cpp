#include "command.h"

#include "console.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int Command::execute(int &argc, char **argv, const QByteArrayList &words, Console &console)
{
    m_words = words;
    std::unique_ptr<QCoreApplication> app;
    if (needsApplication()) {
        app = createApplication(argc, argv);
        if (!app)
            return ExitTrouble;
    }

    QStringList arguments { QStringLiteral("traxo") };
    for (const QByteArray &word : words)
        arguments.append(QString::fromLocal8Bit(word));
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringList { QStringLiteral("h"), QStringLiteral("help") }));
    addOptions(&parser);
    if (!parser.parse(arguments)) {
        console.error(QStringLiteral("%1: %2 (see 'traxo %1 --help')").arg(name(), parser.errorText()));
        return ExitTrouble;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        console.write(help());
        return ExitOk;
    }
    return run(parser, console);
}

std::unique_ptr<QCoreApplication> Command::createApplication(int &argc, char **argv)
{
    return std::make_unique<QCoreApplication>(argc, argv);
}
