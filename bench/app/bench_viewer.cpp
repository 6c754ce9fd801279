// How responsive the viewer stays while it works on a large container in the
// background: the longest gap in its event loop (sampled by a 10 ms timer
// from the end of the window's first paint, which is timed on its own), the
// time to the first rendering, and the throughput beside the same queue
// driven in a plain loop. Three runs: validating a container of stored
// ("none") files of BENCH_VIEWER_MIB MiB (default 1024), validating one
// compressible text of BENCH_VIEWER_FLATE_MIB MiB stored "flate" (default
// 256), and extracting that text (shown without a goal). Exits 1 when a
// validation misses a goal, or the extraction writes other bytes than the
// plain loop.

#include "container/containerwriter.h"
#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "frame/preferences.h"
#include "viewer/outlinetree.h"
#include "viewer/untraxowindow.h"

#include "benchtrees.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// Sections of four stored files each, plus one small compressed file per
// section so that inflating is part of the work.
bool buildContainer(const QString &path, qint64 totalMiB)
{
    traxo::ContainerWriter writer;
    if (!writer.create(path))
        return false;
    const qint64 fileMiB = qMax<qint64>(1, qMin<qint64>(64, totalMiB / 4));
    qint64 written = 0;
    int section = 0;
    while (written < totalMiB) {
        traxo::ContainerWriter::Section step;
        step.title = QStringLiteral("step %1").arg(section);
        for (int i = 0; i < 4 && written < totalMiB; ++i) {
            traxo::ContainerWriter::File file;
            file.filename = QStringLiteral("data%1_%2.bin").arg(section).arg(i);
            file.filetype = QStringLiteral("application/octet-stream");
            file.content = randomBytes(fileMiB * 1024 * 1024, quint32(section * 16 + i));
            file.compression = traxo::ContainerWriter::None;
            step.files.append(file);
            written += fileMiB;
        }
        traxo::ContainerWriter::File text;
        text.filename = QStringLiteral("notes%1.txt").arg(section);
        text.content = QByteArray("notes of the step\n").repeated(20000);
        step.files.append(text);
        step.summary = QByteArray("<workflowstep/>\n");
        if (!writer.appendSection(path, step))
            return false;
        ++section;
    }
    return true;
}

// Lines of random letters over "ACGT": text that deflates about 4:1.
QByteArray sequenceText(qsizetype size, quint32 seed)
{
    const QByteArray random = randomBytes(size / 4 + 4, seed);
    QByteArray text(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        const int bits = (uchar(random.at(i / 4)) >> (2 * (i % 4))) & 3;
        text[i] = i % 61 == 60 ? '\n' : "ACGT"[bits];
    }
    return text;
}

bool buildFlateContainer(const QString &path, qint64 mib)
{
    traxo::ContainerWriter writer;
    traxo::ContainerWriter::Section step;
    step.title = QStringLiteral("sequencing");
    traxo::ContainerWriter::File text;
    text.filename = QStringLiteral("reads.txt");
    text.filetype = QStringLiteral("text/plain");
    text.content = sequenceText(mib * 1024 * 1024, 99);
    text.compression = traxo::ContainerWriter::Flate;
    step.files.append(text);
    step.summary = QByteArray("<workflowstep/>\n");
    return writer.create(path) && writer.appendSection(path, step);
}

double plainValidationSeconds(const QString &path)
{
    traxo::TraxoParser parser;
    parser.open(path);
    traxo::ValidationQueue queue(nullptr, 100000);
    QElapsedTimer timer;
    timer.start();
    queue.repopulate(&parser);
    while (queue.process()) { }
    return timer.nsecsElapsed() / 1e9;
}

// Calls done once, after the first expose event of the watched window has
// been handled (that is where the window paints for the first time).
class FirstExpose : public QObject
{
public:
    std::function<void()> done;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && done) {
            QTimer::singleShot(0, this, std::exchange(done, nullptr));
            watched->removeEventFilter(this);
        }
        return false;
    }
};

double plainExtractionSeconds(const QString &path, const QString &target)
{
    traxo::TraxoParser parser;
    parser.open(path);
    traxo::ExtractionQueue queue(&parser);
    QHash<int, QString> targets;
    const QList<traxo::FileTag> files = parser.getFiles();
    for (const traxo::FileTag &file : files)
        targets.insert(file.id, QDir(target).filePath(file.filename));
    QElapsedTimer timer;
    timer.start();
    queue.addExtractees(targets);
    while (queue.process()) { }
    return timer.nsecsElapsed() / 1e9;
}

qint64 bytesBelow(const QString &directory)
{
    qint64 total = 0;
    QDirIterator it(directory, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        total += QFileInfo(it.next()).size();
    return total;
}

struct Watch
{
    double seconds = 0; // from show() until the work is done
    double firstPaint = -1; // seconds after show(); negative: never painted
    qint64 longestGap = 0; // milliseconds
};

// Shows window, calls start and runs the event loop until busy() turns
// false. Showing a window costs its first paint (fonts, style, the
// rendering) whatever runs behind it; the event loop is sampled from then on.
Watch watchWindow(UnTRAXOWindow *window, const std::function<void()> &start, const std::function<bool()> &busy)
{
    Watch watch;
    QElapsedTimer sinceShow;
    sinceShow.start();
    window->show();
    start();
    QElapsedTimer sinceTick;
    QTimer sampler;
    sampler.setInterval(10);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        watch.longestGap = qMax(watch.longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    FirstExpose firstExpose;
    firstExpose.done = [&] {
        watch.firstPaint = sinceShow.nsecsElapsed() / 1e9;
        sinceTick.start();
        sampler.start();
    };
    // A platform that exposes within show() has painted already.
    if (window->windowHandle()->isExposed())
        std::exchange(firstExpose.done, nullptr)();
    else
        window->windowHandle()->installEventFilter(&firstExpose);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!busy())
            QCoreApplication::quit();
    });
    poll.start(1);
    QCoreApplication::exec();
    watch.seconds = sinceShow.nsecsElapsed() / 1e9;
    return watch;
}

// Prints the figures of one run; true when its goals are met or it has none.
bool report(const char *what, const char *peer, double sizeMiB, const Watch &watch, double plain, bool goals)
{
    const double ratio = plain / watch.seconds;
    const bool met = watch.firstPaint >= 0 && (!goals || (watch.longestGap < 50 && ratio >= 0.9));
    const char *gapGoal = goals ? "goal below 50 ms" : "no goal";
    const char *ratioGoal = goals ? "goal at least 0.9" : "no goal";
    std::printf("%s (%.0f MiB):\n", what, sizeMiB);
    std::printf(
        "  first paint: %.3f s after show%s\n", watch.firstPaint, watch.firstPaint < 0 ? " [NEVER PAINTED]" : "");
    std::printf("  longest event-loop gap: %lld ms (%s)\n", static_cast<long long>(watch.longestGap), gapGoal);
    std::printf("  in the viewer: %.2f s, %.0f MiB/s\n", watch.seconds, sizeMiB / watch.seconds);
    std::printf("  %s in a plain loop: %.2f s, %.0f MiB/s\n", peer, plain, sizeMiB / plain);
    std::printf("  ratio viewer/plain loop: %.2f (%s)%s\n", ratio, ratioGoal, met ? "" : "  BELOW GOAL");
    std::fflush(stdout);
    return met;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    const qint64 mib = benchtrees::envInt("BENCH_VIEWER_MIB", 1024);
    const qint64 flateMib = benchtrees::envInt("BENCH_VIEWER_FLATE_MIB", 256);
    QTemporaryDir dir;
    const QString path = dir.filePath("large.traxo");
    const QString flatePath = dir.filePath("text.traxo");
    std::printf("building a container with %lld MiB of embedded data and one with a %lld MiB text...\n",
        static_cast<long long>(mib), static_cast<long long>(flateMib));
    std::fflush(stdout);
    if (!buildContainer(path, mib) || !buildFlateContainer(flatePath, flateMib)) {
        std::fprintf(stderr, "could not build the containers\n");
        return 1;
    }

    bool met = true;
    for (const QString &container : { path, flatePath }) {
        // The peer first, so that both runs read a warm page cache.
        plainValidationSeconds(container);
        const double plain = plainValidationSeconds(container);
        QElapsedTimer sinceOpen;
        sinceOpen.start();
        auto *window = new UnTRAXOWindow(container, QString());
        const double firstRendering = sinceOpen.nsecsElapsed() / 1e9;
        const bool rendered = !window->html().isEmpty();
        const Watch watch = watchWindow(
            window, [] {}, [window] { return window->validationState() != UnTRAXOWindow::Idle; });
        delete window;
        std::printf(
            "first rendering: %.3f s (goal below 0.5 s)%s\n", firstRendering, rendered ? "" : " [NO RENDERING]");
        const bool flate = container == flatePath;
        met = report(flate ? "validating a \"flate\" text" : "validating \"none\" files", "ValidationQueue",
                  QFileInfo(container).size() / 1048576.0, watch, plain, true)
            && rendered && met;
    }

    // Extraction inflates and writes on the window's thread in slices (only
    // the final flush to disk runs elsewhere): on a busy machine the window
    // is then one more busy thread and answers later; shown, without a goal.
    Preferences::setValAutomaticSectionValidation(ActionNever);
    Preferences::setValAutomaticFileValidation(ActionNever);
    QTemporaryDir plainTarget;
    QTemporaryDir windowTarget;
    const double plain = plainExtractionSeconds(flatePath, plainTarget.path());
    auto *window = new UnTRAXOWindow(flatePath, QString());
    const Watch watch = watchWindow(
        window,
        [window, &windowTarget] {
            window->m_outlineTree->selectAll();
            window->extractSelectedTo(windowTarget.path(), false, false);
        },
        [window] { return window->extractionState() != UnTRAXOWindow::Idle; });
    delete window;
    // Both wrote the text and the step's summary.
    const qint64 written = bytesBelow(windowTarget.path());
    const qint64 expected = bytesBelow(plainTarget.path());
    if (written != expected || expected < flateMib * 1024 * 1024) {
        std::printf("the window extracted %lld bytes, the plain loop %lld: NOT THE WHOLE TEXT\n",
            static_cast<long long>(written), static_cast<long long>(expected));
        met = false;
    }
    met = report("extracting a \"flate\" text", "ExtractionQueue", flateMib, watch, plain, false) && met;
    return met ? 0 : 1;
}
