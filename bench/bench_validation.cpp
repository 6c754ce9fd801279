// Validation and extraction of large embedded files against the tools a user
// would otherwise reach for: md5sum, a python3 zlib/hashlib loop, zlib-flate
// and qpdf's attachments. The project's runs are child processes of this
// program, so their peak memory is theirs alone, and every run is timed from
// the outside the same way, start-up included.
//
//   TRAXO_BENCH_MB      size of each of the two embedded files (default 64)
//   TRAXO_BENCH_REPEAT  runs of each measurement, the best counts (default 3)

#include "container/containerwriter.h"
#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

#include <limits>
#include <sys/resource.h>

using namespace traxo;

namespace {

// Peak resident set of this process in KiB, as the kernel recorded it.
qint64 peakMemoryKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

int childValidate(const QString &container, int fileId)
{
    TraxoParser parser(ParseTolerant);
    if (!parser.open(container))
        return 2;
    ValidationQueue queue(&parser, 100000);
    bool valid = false;
    QObject::connect(&queue, &ValidationQueue::fileProcessed, [&valid](int, bool ok) { valid = ok; });
    queue.addValidatees({ fileId }, {});
    while (queue.process()) { }
    std::printf("%d %lld\n", valid ? 1 : 0, peakMemoryKiB());
    return 0;
}

int childExtract(const QString &container, int fileId, const QString &target)
{
    TraxoParser parser(ParseTolerant);
    if (!parser.open(container))
        return 2;
    ExtractionQueue queue(&parser);
    bool written = false;
    QObject::connect(&queue, &ExtractionQueue::fileProcessed, [&written](int, bool ok) { written = ok; });
    queue.addExtractees({ { fileId, target } });
    while (queue.process()) { }
    std::printf("%d %lld\n", written ? 1 : 0, peakMemoryKiB());
    return 0;
}

int childWrite(const QString &container, int fileId, const QString &target)
{
    TraxoParser parser(ParseTolerant);
    if (!parser.open(container))
        return 2;
    const bool written = parser.writeFileToDisk(fileId, target);
    std::printf("%d %lld\n", written ? 1 : 0, peakMemoryKiB());
    return 0;
}

// Processor time (user + system) of the children reaped so far.
double childrenCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run
{
    double seconds = std::numeric_limits<double>::infinity();
    double cpuSeconds = std::numeric_limits<double>::infinity();
    bool ok = true;
    qint64 peakKiB = 0;
    QByteArray output; // standard output of the last run, when not redirected
};

// Runs program repeat times and keeps the best time; a child of this program
// reports "ok peakKiB" on its standard output.
Run measure(const QString &program, const QStringList &arguments, int repeat, bool isChild,
    const QString &stdinFile = QString(), const QString &stdoutFile = QString())
{
    Run best;
    for (int i = 0; i < repeat; ++i) {
        QProcess process;
        if (!stdinFile.isEmpty())
            process.setStandardInputFile(stdinFile);
        if (!stdoutFile.isEmpty())
            process.setStandardOutputFile(stdoutFile);
        const double cpuBefore = childrenCpuSeconds();
        QElapsedTimer timer;
        timer.start();
        process.start(program, arguments);
        const bool finished = process.waitForFinished(-1);
        const double seconds = timer.nsecsElapsed() / 1e9;
        const double cpuSeconds = childrenCpuSeconds() - cpuBefore;
        const bool exitedWell = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (!exitedWell) {
            std::fprintf(
                stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().left(400).constData());
            best.ok = false;
            continue;
        }
        best.output = stdoutFile.isEmpty() ? process.readAllStandardOutput() : QByteArray();
        if (isChild) {
            const QList<QByteArray> words = best.output.trimmed().split(' ');
            best.ok = best.ok && words.value(0) == "1";
            best.peakKiB = qMax(best.peakKiB, words.value(1).toLongLong());
        }
        best.seconds = qMin(best.seconds, seconds);
        best.cpuSeconds = qMin(best.cpuSeconds, cpuSeconds);
    }
    return best;
}

QByteArray fileMd5(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result().toHex();
}

// Incompressible bytes from a xorshift generator: fast and reproducible.
QByteArray randomBytes(qint64 size)
{
    QByteArray data(size, Qt::Uninitialized);
    quint64 state = 0x9e3779b97f4a7c15ull;
    char *out = data.data();
    for (qint64 i = 0; i + 8 <= size; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        memcpy(out + i, &state, 8);
    }
    for (qint64 i = size - size % 8; i < size; ++i)
        out[i] = char(i);
    return data;
}

// Lines of 44 random letters over "ACGT" padded to 60 columns: about the 4:1
// that zlib reaches on much of a lab's text output.
QByteArray sequenceText(qint64 size)
{
    QByteArray data(size, Qt::Uninitialized);
    static const char letters[] = "ACGT";
    quint64 state = 0x2545f4914f6cdd1dull;
    quint64 bits = 0;
    for (qint64 i = 0; i < size; ++i) {
        const int column = int(i % 61);
        if (column < 44) {
            if (column % 32 == 0) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                bits = state;
            }
            data[i] = letters[bits & 3];
            bits >>= 2;
        } else {
            data[i] = column == 44 ? '\t' : column == 60 ? '\n' : '+';
        }
    }
    return data;
}

bool copyStoredBytes(TraxoParser &parser, const FileTag &file, const QString &path)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const qint64 start = file.position + file.taglen + file.offset;
    for (qint64 done = 0; done < file.cfilesize;) {
        const qint64 chunk = qMin<qint64>(file.cfilesize - done, 4 << 20);
        const QByteArray bytes = parser.getBytes(start + done, chunk);
        if (bytes.size() != chunk || out.write(bytes) != chunk)
            return false;
        done += chunk;
    }
    return true;
}

// Ratios are the peer's time over the project's: above 1 the project is ahead.
// Wall time is what a user waits; processor time is steadier on a busy machine.
void report(const char *what, const Run &project, const char *peer, const Run &other, double goal)
{
    const double ratio = other.seconds / project.seconds;
    const double cpuRatio = other.cpuSeconds / project.cpuSeconds;
    std::printf("%-35s %7.3fs (cpu %6.3fs)  %-24s %7.3fs (cpu %6.3fs)  ratio %5.2f (cpu %5.2f, goal >= %.1f)%s\n", what,
        project.seconds, project.cpuSeconds, peer, other.seconds, other.cpuSeconds, ratio, cpuRatio, goal,
        ratio >= goal || cpuRatio >= goal ? "" : "  BELOW GOAL");
    if (project.peakKiB > 0)
        std::printf("%-35s peak memory %.1f MiB (goal < 64 MiB)%s\n", "", project.peakKiB / 1024.0,
            project.peakKiB < 64 * 1024 ? "" : "  OVER GOAL");
    if (!project.ok || !other.ok)
        std::printf("    ! a run failed or gave a wrong result: the figures above do not count\n");
}

int runBenchmark()
{
    const qint64 megabytes
        = qEnvironmentVariableIsSet("TRAXO_BENCH_MB") ? qEnvironmentVariableIntValue("TRAXO_BENCH_MB") : 64;
    const int repeat = qMax(
        1, qEnvironmentVariableIsSet("TRAXO_BENCH_REPEAT") ? qEnvironmentVariableIntValue("TRAXO_BENCH_REPEAT") : 3);
    const qint64 size = megabytes << 20;
    if (megabytes <= 0 || size > std::numeric_limits<int>::max() / 2 - (16 << 20)) {
        std::fprintf(stderr, "TRAXO_BENCH_MB must lie between 1 and 1000 (both files share one container)\n");
        return 1;
    }
    for (const char *tool : { "md5sum", "python3", "zlib-flate", "qpdf" }) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::fprintf(stderr, "%s is missing: install the packages of `make deps`\n", tool);
            return 1;
        }
    }

    QElapsedTimer setup;
    setup.start();
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString container = dir.filePath(QStringLiteral("bench.traxo"));
    QByteArray sequenceMd5;
    int randomId = -1;
    int sequenceId = -1;
    {
        std::printf("building a container of two %lld MiB files (\"none\" and \"flate\")...\n", megabytes);
        std::fflush(stdout);
        ContainerWriter::Section section;
        section.title = QStringLiteral("benchmark");
        section.withSummary = false;
        ContainerWriter::File random;
        random.filename = QStringLiteral("random.bin");
        random.filetype = QStringLiteral("binary");
        random.compression = ContainerWriter::None;
        random.content = randomBytes(size);
        ContainerWriter::File sequence;
        sequence.filename = QStringLiteral("sequence.txt");
        sequence.filetype = QStringLiteral("text");
        sequence.compression = ContainerWriter::Flate;
        sequence.content = sequenceText(size);
        sequenceMd5 = QCryptographicHash::hash(sequence.content, QCryptographicHash::Md5).toHex();
        QFile::remove(dir.filePath(QStringLiteral("sequence.txt")));
        QFile plain(dir.filePath(QStringLiteral("sequence.txt")));
        if (!plain.open(QIODevice::WriteOnly) || plain.write(sequence.content) != size)
            return 1;
        plain.close();
        section.files = { random, sequence };
        ContainerWriter writer;
        if (!writer.create(container) || !writer.appendSection(container, section)) {
            std::fprintf(stderr, "could not write the container: %s\n", qPrintable(writer.errorString()));
            return 1;
        }
    }

    TraxoParser parser(ParseTolerant);
    if (!parser.open(container))
        return 1;
    for (const FileTag &file : parser.getFiles()) {
        if (file.filename == QLatin1String("random.bin"))
            randomId = file.id;
        else if (file.filename == QLatin1String("sequence.txt"))
            sequenceId = file.id;
    }
    if (randomId < 0 || sequenceId < 0)
        return 1;
    const FileTag sequenceTag = *parser.getFile(sequenceId);
    const QString storedNone = dir.filePath(QStringLiteral("stored-none.bin"));
    const QString storedFlate = dir.filePath(QStringLiteral("stored-flate.zz"));
    if (!copyStoredBytes(parser, *parser.getFile(randomId), storedNone)
        || !copyStoredBytes(parser, sequenceTag, storedFlate))
        return 1;

    // The PDF peer: the same content as an attachment, which qpdf compresses
    // with flate as well.
    const QString emptyPdf = dir.filePath(QStringLiteral("empty.pdf"));
    const QString attachedPdf = dir.filePath(QStringLiteral("attached.pdf"));
    if (!measure(QStringLiteral("qpdf"), { QStringLiteral("--empty"), emptyPdf }, 1, false).ok
        || !measure(QStringLiteral("qpdf"),
            { emptyPdf, QStringLiteral("--add-attachment"), dir.filePath(QStringLiteral("sequence.txt")),
                QStringLiteral("--"), attachedPdf },
            1, false)
                .ok)
        return 1;

    std::printf("flate file: %lld bytes stored for %lld (%.2f:1); set up in %.1fs; best of %d runs each\n\n",
        sequenceTag.cfilesize, sequenceTag.filesize, double(sequenceTag.filesize) / sequenceTag.cfilesize,
        setup.elapsed() / 1000.0, repeat);
    std::fflush(stdout);

    const QString self = QCoreApplication::applicationFilePath();
    const QString target = dir.filePath(QStringLiteral("extracted.txt"));
    const QString peerTarget = dir.filePath(QStringLiteral("peer.txt"));
    const QString python = QStringLiteral("import sys, zlib, hashlib\n"
                                          "d = zlib.decompressobj(); stored = hashlib.md5(); plain = hashlib.md5()\n"
                                          "with open(sys.argv[1], 'rb') as f:\n"
                                          "    while True:\n"
                                          "        b = f.read(1048576)\n"
                                          "        if not b: break\n"
                                          "        stored.update(b); plain.update(d.decompress(b))\n"
                                          "plain.update(d.flush())\n"
                                          "print(stored.hexdigest(), plain.hexdigest(), d.eof)\n");

    const Run validateNone
        = measure(self, { QStringLiteral("--validate"), container, QString::number(randomId) }, repeat, true);
    const Run md5sum = measure(QStringLiteral("md5sum"), { storedNone }, repeat, false);
    report("validate \"none\" (ValidationQueue)", validateNone, "md5sum", md5sum, 0.9);

    const Run validateFlate
        = measure(self, { QStringLiteral("--validate"), container, QString::number(sequenceId) }, repeat, true);
    const Run pythonRun
        = measure(QStringLiteral("python3"), { QStringLiteral("-c"), python, storedFlate }, repeat, false);
    if (!pythonRun.output.contains(sequenceMd5 + " True"))
        std::printf("    ! python3 did not confirm the file: %s\n", pythonRun.output.constData());
    report("validate \"flate\" (ValidationQueue)", validateFlate, "python3 zlib+hashlib", pythonRun, 1.0);

    const Run extract
        = measure(self, { QStringLiteral("--extract"), container, QString::number(sequenceId), target }, repeat, true);
    if (fileMd5(target) != sequenceMd5)
        std::printf("    ! the extracted file differs\n");
    const Run zlibFlate = measure(
        QStringLiteral("zlib-flate"), { QStringLiteral("-uncompress") }, repeat, false, storedFlate, peerTarget);
    report("extract \"flate\" (ExtractionQueue)", extract, "zlib-flate -uncompress", zlibFlate, 0.8);
    const Run showAttachment = measure(QStringLiteral("qpdf"),
        { attachedPdf, QStringLiteral("--show-attachment=sequence.txt") }, repeat, false, QString(), peerTarget);
    if (fileMd5(peerTarget) != sequenceMd5)
        std::printf("    ! qpdf's attachment differs from the file\n");
    report("extract \"flate\" (ExtractionQueue)", extract, "qpdf --show-attachment", showAttachment, 1.0);

    const Run write
        = measure(self, { QStringLiteral("--write"), container, QString::number(sequenceId), target }, repeat, true);
    if (fileMd5(target) != sequenceMd5)
        std::printf("    ! writeFileToDisk's file differs\n");
    report("extract \"flate\" (writeFileToDisk)", write, "zlib-flate -uncompress", zlibFlate, 0.8);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args.at(1) == QLatin1String("--validate"))
        return childValidate(args.at(2), args.at(3).toInt());
    if (args.size() >= 5 && args.at(1) == QLatin1String("--extract"))
        return childExtract(args.at(2), args.at(3).toInt(), args.at(4));
    if (args.size() >= 5 && args.at(1) == QLatin1String("--write"))
        return childWrite(args.at(2), args.at(3).toInt(), args.at(4));
    return runBenchmark();
}
