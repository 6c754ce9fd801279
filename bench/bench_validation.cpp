// Validation and extraction of large embedded files against the tools a user
// would otherwise reach for: md5sum, zlib-flate piped into md5sum, and qpdf's
// attachments. Validation checks the whole container (its section and its
// file), as the viewer does. The project's runs are child processes of this
// program, so their peak memory is theirs alone, and every run is timed from
// the outside the same way, start-up included. Exits 1 when a goal is missed.
//
//   TRAXO_BENCH_MB      size of each of the two embedded files (default 256)
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

// Every section and file of the container; "1" when all are valid.
int childValidate(const QString &container)
{
    TraxoParser parser(ParseTolerant);
    if (!parser.open(container))
        return 2;
    ValidationQueue queue(&parser, 100000);
    int verdicts = 0;
    bool valid = true;
    const auto record = [&](int, bool ok) {
        ++verdicts;
        valid = valid && ok;
    };
    QObject::connect(&queue, &ValidationQueue::fileProcessed, record);
    QObject::connect(&queue, &ValidationQueue::sectionProcessed, record);
    queue.repopulate(&parser);
    while (queue.process()) { }
    const bool all = valid && verdicts == parser.getNumSections() + parser.getNumFiles() && verdicts > 1;
    std::printf("%d %lld\n", all ? 1 : 0, peakMemoryKiB());
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
    const qint64 words = size / 8;
    for (qint64 word = 0; word < words; ++word) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        memcpy(out + word * 8, &state, 8);
    }
    for (qint64 i = words * 8; i < size; ++i)
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
bool report(const char *what, const Run &project, const char *peer, const Run &other, double goal)
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
    return project.ok && other.ok && (ratio >= goal || cpuRatio >= goal)
        && (project.peakKiB == 0 || project.peakKiB < 64 * 1024);
}

int runBenchmark()
{
    const qint64 megabytes
        = qEnvironmentVariableIsSet("TRAXO_BENCH_MB") ? qEnvironmentVariableIntValue("TRAXO_BENCH_MB") : 256;
    const int repeat = qMax(
        1, qEnvironmentVariableIsSet("TRAXO_BENCH_REPEAT") ? qEnvironmentVariableIntValue("TRAXO_BENCH_REPEAT") : 3);
    const qint64 size = megabytes << 20;
    if (megabytes <= 0 || megabytes > 1024) {
        std::fprintf(stderr, "TRAXO_BENCH_MB must lie between 1 and 1024\n");
        return 1;
    }
    for (const char *tool : { "md5sum", "sh", "zlib-flate", "qpdf" }) {
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
    const QString noneContainer = dir.filePath(QStringLiteral("none.traxo"));
    const QString container = dir.filePath(QStringLiteral("flate.traxo"));
    QByteArray sequenceMd5;
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
        // One file per container, so that each validation covers one kind.
        ContainerWriter writer;
        section.files = { random };
        const bool noneWritten = writer.create(noneContainer) && writer.appendSection(noneContainer, section);
        section.files = { sequence };
        if (!noneWritten || !writer.create(container) || !writer.appendSection(container, section)) {
            std::fprintf(stderr, "could not write the containers: %s\n", qPrintable(writer.errorString()));
            return 1;
        }
    }

    TraxoParser noneParser(ParseTolerant);
    TraxoParser parser(ParseTolerant);
    if (!noneParser.open(noneContainer) || !parser.open(container) || noneParser.getNumFiles() != 1
        || parser.getNumFiles() != 1)
        return 1;
    const FileTag sequenceTag = *parser.getFile(0);
    const QString storedNone = dir.filePath(QStringLiteral("stored-none.bin"));
    const QString storedFlate = dir.filePath(QStringLiteral("stored-flate.zz"));
    if (!copyStoredBytes(noneParser, *noneParser.getFile(0), storedNone)
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
    // Two processes on two cores, as a user would pipe them.
    const QString inflateAndHash = QStringLiteral("zlib-flate -uncompress < \"$1\" | md5sum");
    bool met = true;

    const Run validateNone = measure(self, { QStringLiteral("--validate"), noneContainer }, repeat, true);
    const Run md5sum = measure(QStringLiteral("md5sum"), { storedNone }, repeat, false);
    met &= report("validate \"none\" container", validateNone, "md5sum", md5sum, 0.9);

    const Run validateFlate = measure(self, { QStringLiteral("--validate"), container }, repeat, true);
    const Run pipeline = measure(QStringLiteral("sh"),
        { QStringLiteral("-c"), inflateAndHash, QStringLiteral("sh"), storedFlate }, repeat, false);
    if (!pipeline.output.startsWith(sequenceMd5))
        std::printf("    ! zlib-flate | md5sum did not confirm the file: %s\n", pipeline.output.constData());
    met &= report("validate \"flate\" container", validateFlate, "zlib-flate | md5sum", pipeline, 1.0);

    const Run extract
        = measure(self, { QStringLiteral("--extract"), container, QStringLiteral("0"), target }, repeat, true);
    if (fileMd5(target) != sequenceMd5)
        std::printf("    ! the extracted file differs\n");
    const Run zlibFlate = measure(
        QStringLiteral("zlib-flate"), { QStringLiteral("-uncompress") }, repeat, false, storedFlate, peerTarget);
    met &= report("extract \"flate\" (ExtractionQueue)", extract, "zlib-flate -uncompress", zlibFlate, 0.8);
    const Run showAttachment = measure(QStringLiteral("qpdf"),
        { attachedPdf, QStringLiteral("--show-attachment=sequence.txt") }, repeat, false, QString(), peerTarget);
    if (fileMd5(peerTarget) != sequenceMd5)
        std::printf("    ! qpdf's attachment differs from the file\n");
    met &= report("extract \"flate\" (ExtractionQueue)", extract, "qpdf --show-attachment", showAttachment, 1.0);

    const Run write
        = measure(self, { QStringLiteral("--write"), container, QStringLiteral("0"), target }, repeat, true);
    if (fileMd5(target) != sequenceMd5)
        std::printf("    ! writeFileToDisk's file differs\n");
    met &= report("extract \"flate\" (writeFileToDisk)", write, "zlib-flate -uncompress", zlibFlate, 0.8);
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1) == QLatin1String("--validate"))
        return childValidate(args.at(2));
    if (args.size() >= 5 && args.at(1) == QLatin1String("--extract"))
        return childExtract(args.at(2), args.at(3).toInt(), args.at(4));
    if (args.size() >= 5 && args.at(1) == QLatin1String("--write"))
        return childWrite(args.at(2), args.at(3).toInt(), args.at(4));
    return runBenchmark();
}
