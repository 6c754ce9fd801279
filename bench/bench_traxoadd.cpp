// Recording steps with traxoadd against the tools a user would otherwise
// reach for: md5sum for describing and embedding a file as it is, gzip -c at
// the same level for embedding it compressed, and traxoadd itself appending
// to an empty container for appending to a large one. Every run is a child
// process measured from the outside the same way, start-up included; its
// processor time (user and system) and peak memory come from wait4(). The
// ratios compare processor times, which a shared, busy machine leaves steady
// where wall times are not; wall times are printed beside them. Embedding is
// the exception: traxoadd copies data stored "none" on a second thread while
// the first hashes it twice, and hashes data stored "flate" beside the
// compression, so what the second core saves shows only in the wall time,
// which those rows compare (run them on a quiet machine), from at least five
// runs of each taken in turns.
//
//   TRAXO_BENCH_WRITER_MB  size of the embedded files (default 256); the
//                          described file is 16 times, the large container
//                          6 times as large (4 GiB and 1.5 GiB by default)
//   TRAXO_BENCH_REPEAT     runs of each measurement, the best counts (default 3)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Run
{
    bool ok = false;
    double seconds = std::numeric_limits<double>::infinity(); // processor time, user and system
    double wallSeconds = std::numeric_limits<double>::infinity();
    qint64 peakKiB = 0;
};

// Runs argv with standard output and error going to run.log in directory,
// which is shown when the run fails.
Run runOnce(const QStringList &argv, const QString &directory)
{
    QList<QByteArray> bytes;
    for (const QString &argument : argv)
        bytes << QFile::encodeName(argument);
    std::vector<char *> pointers;
    for (QByteArray &argument : bytes)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray log = QFile::encodeName(directory + QStringLiteral("/run.log"));
    posix_spawn_file_actions_addopen(&actions, 1, log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, QFile::encodeName(directory).constData());
    Run run;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, pointers.front(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    struct rusage usage = {};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.wallSeconds = double(clock.nsecsElapsed()) / 1e9;
    run.seconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.ok) {
        QFile output(QFile::decodeName(log));
        if (output.open(QIODevice::ReadOnly))
            std::printf("%s failed: %s\n", qPrintable(argv.join(' ')), output.readAll().trimmed().constData());
    }
    run.peakKiB = usage.ru_maxrss;
    return run;
}

void keepBest(Run &result, const Run &run)
{
    result.ok = true;
    result.seconds = qMin(result.seconds, run.seconds);
    result.wallSeconds = qMin(result.wallSeconds, run.wallSeconds);
    result.peakKiB = qMax(result.peakKiB, run.peakKiB);
}

// The best of repeat runs; before each, prepare() may reset what a run changes.
Run best(const QStringList &argv, const QString &directory, int repeat, const std::function<void()> &prepare = {})
{
    Run result;
    for (int i = 0; i < repeat; ++i) {
        if (prepare)
            prepare();
        const Run run = runOnce(argv, directory);
        if (!run.ok)
            return run;
        keepBest(result, run);
    }
    return result;
}

// The best of repeat runs of each, taking turns, so that a load that comes
// and goes on a shared machine meets both alike; wall times need that.
void bestInTurns(const QStringList &oursArgv, Run &ours, const QStringList &theirsArgv, Run &theirs,
    const QString &directory, int repeat, const std::function<void()> &prepare)
{
    for (int i = 0; i < repeat; ++i) {
        const Run theirsRun = runOnce(theirsArgv, directory);
        prepare();
        const Run oursRun = runOnce(oursArgv, directory);
        if (!theirsRun.ok || !oursRun.ok) {
            ours.ok = oursRun.ok;
            theirs.ok = theirsRun.ok;
            return;
        }
        keepBest(theirs, theirsRun);
        keepBest(ours, oursRun);
    }
}

bool writeFile(const QString &path, qint64 size, const std::function<void(QByteArray &, qint64)> &fill)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 written = 0; written < size; written += chunk.size()) {
        fill(chunk, written);
        if (file.write(chunk.constData(), qMin<qint64>(chunk.size(), size - written)) < 0)
            return false;
    }
    // On disk before the runs start, so that the kernel writing it back does
    // not take a core from the runs being timed.
    return file.flush() && ::fsync(file.handle()) == 0;
}

int failures = 0;

enum class Clock { Processor, Wall };

// The goal is a time ratio ours / theirs of at most maxRatio.
void report(const char *what, const Run &ours, const char *peer, const Run &theirs, double maxRatio,
    Clock clock = Clock::Processor)
{
    if (!ours.ok || !theirs.ok) {
        std::printf("%-44s FAILED to run (traxoadd %s, %s %s)\n", what, ours.ok ? "ok" : "failed", peer,
            theirs.ok ? "ok" : "failed");
        ++failures;
        return;
    }
    const double ratio = clock == Clock::Wall ? ours.wallSeconds / theirs.wallSeconds : ours.seconds / theirs.seconds;
    const bool met = ratio <= maxRatio;
    std::printf(
        "%-44s traxoadd %6.2f s (wall %6.2f s) | %-8s %6.2f s (wall %6.2f s) | %s ratio %5.2f (goal <= %.2f) %s\n",
        what, ours.seconds, ours.wallSeconds, peer, theirs.seconds, theirs.wallSeconds,
        clock == Clock::Wall ? "wall" : "cpu", ratio, maxRatio, met ? "met" : "NOT MET");
    if (!met)
        ++failures;
}

void checkMemory(const char *what, const Run &run)
{
    const qint64 limitKiB = 64 << 10;
    const bool met = run.ok && run.peakKiB < limitKiB;
    std::printf(
        "%-44s peak memory %lld KiB (goal < %lld KiB) %s\n", what, run.peakKiB, limitKiB, met ? "met" : "NOT MET");
    if (!met)
        ++failures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 mb = qMax(1, qEnvironmentVariableIntValue("TRAXO_BENCH_WRITER_MB") ?: 256);
    const int repeat = qMax(1, qEnvironmentVariableIntValue("TRAXO_BENCH_REPEAT") ?: 3);
    const QString traxoadd = QCoreApplication::applicationDirPath() + QStringLiteral("/traxoadd");
    for (const char *peer : { "md5sum", "gzip" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(peer)).isEmpty()) {
            std::printf("%s is missing\n", peer);
            return 1;
        }
    }
    QTemporaryDir dir;
    if (!dir.isValid() || !QFile::exists(traxoadd)) {
        std::printf("cannot set up: temporary folder or %s missing\n", qPrintable(traxoadd));
        return 1;
    }
    const QString work = dir.path();
    const auto at = [&work](const char *name) { return work + QLatin1Char('/') + QLatin1String(name); };
    std::printf("embedded files %lld MiB, described file %lld MiB, large container %lld MiB, best of %d\n", mb, mb * 16,
        mb * 6, repeat);

    // Describing a large sparse file: read once for its MD5.
    {
        QFile sparse(at("described.raw"));
        if (!sparse.open(QIODevice::WriteOnly) || !sparse.resize(mb * 16 << 20))
            return 1;
        sparse.close();
        const auto fresh = [&] { QFile::remove(at("describe.traxo")); };
        const Run theirs = best({ "md5sum", "described.raw" }, work, repeat);
        // Measured after md5sum, which has brought the pages into the cache
        // for both; the first reader of a sparse file pays for that alone.
        const Run ours
            = best({ traxoadd, "-q", "-O", "describe.traxo", "-o", "described.raw", "-f", "automd5", "-f", "no-embed" },
                work, repeat, fresh);
        report("describe a sparse file (speed >= 0.9x md5sum)", ours, "md5sum", theirs, 1.0 / 0.9);
        checkMemory("describe a sparse file", ours);
        QFile::remove(at("described.raw"));
    }

    // Embedding as it is and compressed.
    {
        QRandomGenerator random(42);
        if (!writeFile(at("random.bin"), mb << 20, [&random](QByteArray &chunk, qint64) {
                random.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
            }))
            return 1;
        const auto fresh = [&] { QFile::remove(at("embed.traxo")); };
        Run ours;
        Run theirs;
        bestInTurns({ traxoadd, "-q", "-O", "embed.traxo", "-o", "random.bin", "-f", "embed", "-f", "no-compress" },
            ours, { "md5sum", "random.bin" }, theirs, work, qMax(repeat, 5), fresh);
        report("embed an incompressible file \"none\"", ours, "md5sum", theirs, 2.0, Clock::Wall);
        checkMemory("embed an incompressible file \"none\"", ours);
        QFile::remove(at("random.bin"));

        if (!writeFile(at("log.txt"), mb << 20, [](QByteArray &chunk, qint64 offset) {
                chunk.clear();
                for (qint64 line = offset / 64; chunk.size() < (1 << 20); ++line)
                    chunk += "step " + QByteArray::number(line) + ": value " + QByteArray::number(line % 977 * 3.25)
                        + " units, status ok\n";
                chunk.resize(1 << 20);
            }))
            return 1;
        Run oursFlate;
        Run gzip;
        bestInTurns({ traxoadd, "-q", "-O", "embed.traxo", "-o", "log.txt", "-f", "embed", "-f", "compress" },
            oursFlate, { "sh", "-c", "gzip -6 -c log.txt > log.txt.gz" }, gzip, work, qMax(repeat, 5), fresh);
        report("embed a compressible file \"flate\"", oursFlate, "gzip -6", gzip, 1.0, Clock::Wall);
        checkMemory("embed a compressible file \"flate\"", oursFlate);
        QFile::remove(at("log.txt"));
        QFile::remove(at("log.txt.gz"));
        QFile::remove(at("embed.traxo"));
    }

    // Appending a small step to a large container and to an empty one.
    {
        QFile sparse(at("bulk.raw"));
        if (!sparse.open(QIODevice::WriteOnly) || !sparse.resize(mb * 6 << 20))
            return 1;
        sparse.close();
        if (!runOnce(
                { traxoadd, "-q", "-O", "large.traxo", "-o", "bulk.raw", "-f", "embed", "-f", "no-compress" }, work)
                 .ok
            || !runOnce({ traxoadd, "-q", "-O", "empty.traxo", "-s", "title", "start" }, work).ok)
            return 1;
        QFile::remove(at("bulk.raw"));
        const QStringList step = { "-q", "-s", "title", "small step", "-s", "comment", "one line" };
        const Run large = best(QStringList { traxoadd, "-A", "large.traxo" } + step, work, repeat);
        const Run empty = best(QStringList { traxoadd, "-A", "empty.traxo" } + step, work, repeat);
        report("append a small step to a large container", large, "empty", empty, 2.0);
    }

    std::printf("%s\n", failures == 0 ? "all goals met" : "some goals NOT MET");
    return failures == 0 ? 0 : 1;
}
