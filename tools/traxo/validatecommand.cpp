#include "validatecommand.h"

#include "console.h"
#include "containercheck.h"
#include "pathlist.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

// Work long enough to earn a progress line.
constexpr qint64 ProgressAfterMs = 1000;

} // namespace

QString ValidateCommand::summary() const
{
    return QStringLiteral("check containers against their checksums");
}

QString ValidateCommand::help() const
{
    return QStringLiteral(R"(usage: traxo validate FILE... [--json] [--files-from LIST|-] [-0] [-j N]

Checks every section and embedded file of each container against its MD5
checksum and prints one verdict line per container, naming each failing
section and file.
  --json               one JSON line per container: file, valid, and per
                       section and file its id, name and valid
  --files-from LIST    also check the paths listed in LIST ("-": standard input),
                       one per line
  -0                   the list is separated by NUL bytes (find -print0)
  -j N                 check N containers at once (default: one per core)
Exit status: 0 all valid, 1 any invalid, 2 any file not a readable container
(the worst wins).
)");
}

void ValidateCommand::addOptions(QCommandLineParser *parser) const
{
    parser->addOption(QCommandLineOption(QStringLiteral("json")));
    parser->addOption(QCommandLineOption(QStringLiteral("files-from"), QString(), QStringLiteral("LIST")));
    parser->addOption(QCommandLineOption(QStringLiteral("0")));
    parser->addOption(QCommandLineOption(QStringLiteral("j"), QString(), QStringLiteral("N")));
    parser->addPositionalArgument(QStringLiteral("FILE"), QString());
}

int ValidateCommand::run(const QCommandLineParser &parser, Console &console)
{
    QStringList paths = parser.positionalArguments();
    for (const QString &list : parser.values(QStringLiteral("files-from"))) {
        QString error;
        if (!PathList::read(list, parser.isSet(QStringLiteral("0")), &paths, &error)) {
            console.error(error);
            return ExitTrouble;
        }
    }
    int jobs = QThread::idealThreadCount();
    if (parser.isSet(QStringLiteral("j"))) {
        bool ok = false;
        jobs = parser.value(QStringLiteral("j")).toInt(&ok);
        if (!ok || jobs < 1) {
            console.error(QStringLiteral("-j needs a number of at least 1, not \"%1\"").arg(parser.value("j")));
            return ExitTrouble;
        }
    }
    if (paths.isEmpty()) {
        // An empty list from a pipeline is no error: nothing is invalid.
        if (parser.isSet(QStringLiteral("files-from")))
            return ExitOk;
        console.error(QStringLiteral("validate needs at least one FILE (see 'traxo validate --help')"));
        return ExitTrouble;
    }

    // Workers take containers in turn; the results are printed in the order
    // given, each as soon as all before it are done.
    std::vector<std::optional<ContainerCheck>> results(size_t(paths.size()));
    std::atomic<int> next { 0 };
    std::mutex mutex;
    std::condition_variable done;
    // While there are containers for every worker, each is checked on one
    // thread, with the checksums of the same bytes hashed together; the last
    // ones may spread over two lanes, so that cores left idle help with
    // inflating.
    const int workerCount = qMin(jobs, int(paths.size()));
    auto work = [&]() {
        for (int i = next++; i < paths.size(); i = next++) {
            const bool oneThread = workerCount > 1 && paths.size() - i >= workerCount;
            ContainerCheck check = ContainerCheck::run(paths.at(i), oneThread);
            const std::lock_guard<std::mutex> lock(mutex);
            results[size_t(i)] = std::move(check);
            done.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < workerCount; ++w)
        workers.emplace_back(work);

    const bool json = parser.isSet(QStringLiteral("json"));
    int status = ExitOk;
    QElapsedTimer clock;
    clock.start();
    for (size_t i = 0; i < results.size(); ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        while (!results[i]) {
            done.wait_for(lock, std::chrono::milliseconds(250));
            if (!results[i] && clock.elapsed() > ProgressAfterMs)
                console.progress(QStringLiteral("validated %1 of %2 containers").arg(i).arg(results.size()));
        }
        const ContainerCheck check = std::move(*results[i]);
        results[i].reset();
        lock.unlock();
        console.clearProgress();
        if (json)
            console.writeBytes(QJsonDocument(check.toJson()).toJson(QJsonDocument::Compact) + '\n');
        else
            console.writeLine(check.verdictLine());
        if (check.verdict() == ContainerCheck::Unreadable) {
            console.error(QStringLiteral("%1: not a readable container").arg(check.path()));
            status = ExitTrouble;
        } else if (check.verdict() == ContainerCheck::Invalid && status == ExitOk) {
            status = ExitNegative;
        }
    }
    for (std::thread &worker : workers)
        worker.join();
    return status;
}
