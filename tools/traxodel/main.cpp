// traxodel: removes the newest workflow step of containers, the undo of
// traxoadd. Arguments are container paths or the texts
// "<DelWorkflowStep>path</DelWorkflowStep>" that ArgFile::getUndoWorkflowStep
// writes.

#include "stepremover.h"
#include "toolconsole.h"

#include "argfile/libraryinfo.h"

#include <QCoreApplication>

using namespace traxotools;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ToolConsole console;

    QStringList arguments = app.arguments().mid(1);
    bool pretend = false;
    for (auto it = arguments.begin(); it != arguments.end();) {
        if (*it == QLatin1String("--help") || *it == QLatin1String("-h")) {
            console.info(QStringLiteral(
                "usage: traxodel [--pretend] CONTAINER... | \"<DelWorkflowStep>CONTAINER</DelWorkflowStep>...\"\n"
                "Removes the newest workflow step of each container; it must be the last thing in the file.\n"
                "Every container is checked before any is changed."));
            return 0;
        }
        if (*it == QLatin1String("--version") || *it == QLatin1String("-V")) {
            console.info(QStringLiteral("traxodel 1.83.0.2990 (") + traxo::getVersion() + QLatin1Char(')'));
            return 0;
        }
        if (*it == QLatin1String("--pretend") || *it == QLatin1String("-p")) {
            pretend = true;
            it = arguments.erase(it);
        } else {
            ++it;
        }
    }

    StepRemover remover(console);
    if (!remover.prepare(StepRemover::containersFromArguments(arguments)))
        return 1;
    if (pretend) {
        remover.pretend();
        return 0;
    }
    return remover.remove() ? 0 : 1;
}
