// traxodel: removes the newest workflow step of containers, the undo of
// traxoadd. Arguments are container paths or the texts
// "<DelWorkflowStep>path</DelWorkflowStep>" that ArgFile::getUndoWorkflowStep
// writes.

#include "stepremover.h"
#include "toolconsole.h"
#include "writerlocks.h"

#include "argfile/libraryinfo.h"

#include <QCoreApplication>

using namespace traxotools;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ToolConsole console;

    QStringList arguments = app.arguments().mid(1);
    bool pretend = false;
    qint64 lockTimeoutMs = WriterLocks::DefaultTimeoutMs;
    for (auto it = arguments.begin(); it != arguments.end();) {
        if (*it == QLatin1String("--help") || *it == QLatin1String("-h")) {
            console.info(QStringLiteral(
                "usage: traxodel [--pretend] [--lock-timeout SECONDS] CONTAINER... |\n"
                "       traxodel \"<DelWorkflowStep>CONTAINER</DelWorkflowStep>...\"\n"
                "Removes the newest workflow step of each container; it must be the last thing in the file.\n"
                "Every container is checked before any is changed. A container that another traxoadd or\n"
                "traxodel is writing is waited for, at most SECONDS (default 120)."));
            return 0;
        }
        if (*it == QLatin1String("--version") || *it == QLatin1String("-V")) {
            console.info(QStringLiteral("traxodel 1.83.0.2990 (") + traxo::getVersion() + QLatin1Char(')'));
            return 0;
        }
        if (*it == QLatin1String("--lock-timeout")) {
            if (it + 1 == arguments.end()) {
                console.error(QStringLiteral("option --lock-timeout needs a number of seconds"));
                return 1;
            }
            if (!WriterLocks::parseTimeout(*(it + 1), &lockTimeoutMs, console))
                return 1;
            it = arguments.erase(it, it + 2);
        } else if (*it == QLatin1String("--pretend") || *it == QLatin1String("-p")) {
            pretend = true;
            it = arguments.erase(it);
        } else {
            ++it;
        }
    }

    StepRemover remover(console);
    remover.setLockTimeout(lockTimeoutMs);
    if (!remover.prepare(StepRemover::containersFromArguments(arguments)))
        return 1;
    if (pretend) {
        remover.pretend();
        return 0;
    }
    return remover.remove() ? 0 : 1;
}
