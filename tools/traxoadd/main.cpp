// traxoadd: appends one workflow step to containers. Its options come from
// the command line, from an arg-file ("-c FILE") or from standard input
// ("--stdin"), and mean what ArgfileReader makes of them.

#include "commandwords.h"
#include "stepwriter.h"
#include "toolconsole.h"

#include "argfile/argfilereader.h"
#include "argfile/libraryinfo.h"

#include <QCoreApplication>
#include <QDir>

using namespace traxotools;

namespace {

const char *const Usage = R"(usage: traxoadd [options]
       traxoadd -c ARGFILE      read the options from an arg-file (.vcmd)
       traxoadd --stdin         read the options from standard input

Appends one workflow step to each output container.
  -O FILE                 output container (created when missing)
  -A FILE                 append to FILE in place (created when missing)
  -I FILE / -J FILE       root container whose history the step continues
                          (-I: must exist, -J: may be missing)
  -s KEY VALUE            step text: title, description, comment, tool,
                          toolversion, toolpath, host, user, command
  -d KEY VALUE            document property: title, producer, creator,
                          author, keywords, subject
  -U NAME VALUE           step user attribute
  -i FILE / -o FILE       input / output file of the step; the options
                          below refer to the file named last
  -a KEY VALUE            file text: filetype, description, comment, md5file
  -f FLAG                 file flag, "no-FLAG" clears it: embed, compress,
                          automd5, optional, preview, previewws, thumbnail,
                          thumbnailonly
  -u NAME VALUE           file user attribute
  --sync-cwd              paths are relative to the arg-file's directory
  --lock-timeout SECONDS  wait at most this long for another writer of an
                          output container (default 120)
  -p, --pretend           report what would be written, write nothing
  -v, --verbose / -q, --quiet
  --debug                 print the option words as read
  -V, --version / -h, --help
Errors are printed as "***ERROR ...", warnings as "***WARNING ...".
)";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ToolConsole console;

    CommandWords words(console);
    if (!words.collect(app.arguments().mid(1)))
        return 1;

    traxo::ArgfileReader reader;
    reader.publishToLogSlot(&console);
    const QStringList checked = reader.checkOptionSignatures(words.words());
    const traxo::ArgFile step = reader.parseCommandline(checked);
    console.setVerbosity(ToolConsole::Verbosity(step.verbosity()));
    if (step.debugMode())
        console.info(QStringLiteral("debug: words: ") + words.words().join(QStringLiteral(" | ")));
    if (console.errorCount() > 0)
        return 1;

    if (step.showHelp() || step.showVersion()) {
        if (step.showVersion())
            console.info(StepWriter::creator() + QStringLiteral(" (") + traxo::getVersion() + QLatin1Char(')'));
        if (step.showHelp())
            console.info(QString::fromUtf8(Usage));
        return 0;
    }

    if (words.syncCwd()) {
        if (words.argfileDirectory().isEmpty())
            console.warning(QStringLiteral("--sync-cwd has no effect without an arg-file named with -c"));
        else if (!QDir::setCurrent(words.argfileDirectory()))
            console.error(QStringLiteral("cannot change into \"%1\"").arg(words.argfileDirectory()));
    }

    StepWriter writer(step, console);
    if (words.lockTimeoutMs() >= 0)
        writer.setLockTimeout(words.lockTimeoutMs());
    if (console.errorCount() > 0 || !writer.prepare())
        return 1;
    if (step.pretend()) {
        writer.pretend();
        return 0;
    }
    return writer.write() ? 0 : 1;
}
