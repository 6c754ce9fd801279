// How responsive the viewer stays while it checks a large container in the
// background: the longest gap in its event loop (sampled by a 10 ms timer
// from the end of the window's first paint, which is timed on its own), the
// time to the first rendering, and the validation throughput beside the same
// ValidationQueue driven in a plain loop. Size in MiB from
// BENCH_VIEWER_MIB (default 1024). Exits 1 when the gap or the ratio misses
// its goal.

#include "container/containerwriter.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "viewer/untraxowindow.h"

#include <QApplication>
#include <QDir>
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

double plainLoopSeconds(const QString &path)
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

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    const qint64 mib
        = qEnvironmentVariableIsSet("BENCH_VIEWER_MIB") ? qEnvironmentVariableIntValue("BENCH_VIEWER_MIB") : 1024;
    QTemporaryDir dir;
    const QString path = dir.filePath("large.traxo");
    std::printf("building a container with %lld MiB of embedded data...\n", static_cast<long long>(mib));
    std::fflush(stdout);
    if (!buildContainer(path, mib)) {
        std::fprintf(stderr, "could not build the container\n");
        return 1;
    }
    const double sizeMiB = QFileInfo(path).size() / 1048576.0;

    // The peer first, so that both runs read a warm page cache.
    plainLoopSeconds(path);
    const double plain = plainLoopSeconds(path);

    QElapsedTimer sinceOpen;
    sinceOpen.start();
    auto *window = new UnTRAXOWindow(path, QString());
    const double firstRendering = sinceOpen.nsecsElapsed() / 1e9;
    const bool rendered = !window->html().isEmpty();
    QElapsedTimer validation;
    validation.start();
    window->show();

    // Showing a window costs its first paint (fonts, style, the rendering)
    // whatever runs behind it; the event loop is sampled from then on.
    qint64 longestGap = 0;
    double firstPaint = -1;
    QElapsedTimer sinceTick;
    QTimer sampler;
    sampler.setInterval(10);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        longestGap = qMax(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });
    FirstExpose firstExpose;
    firstExpose.done = [&] {
        firstPaint = validation.nsecsElapsed() / 1e9;
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
        if (window->validationState() == UnTRAXOWindow::Idle)
            app.quit();
    });
    poll.start(1);
    app.exec();
    const double background = validation.nsecsElapsed() / 1e9;
    delete window;

    const double ratio = plain / background;
    std::printf("container: %.0f MiB\n", sizeMiB);
    std::printf("first rendering: %.3f s (goal below 0.5 s)%s\n", firstRendering, rendered ? "" : " [NO RENDERING]");
    std::printf("first paint: %.3f s after show%s\n", firstPaint, firstPaint < 0 ? " [NEVER PAINTED]" : "");
    std::printf(
        "longest event-loop gap while validating: %lld ms (goal below 50 ms)\n", static_cast<long long>(longestGap));
    std::printf("validation in the viewer: %.2f s, %.0f MiB/s\n", background, sizeMiB / background);
    std::printf("ValidationQueue in a plain loop: %.2f s, %.0f MiB/s\n", plain, sizeMiB / plain);
    const bool met = rendered && firstPaint >= 0 && longestGap < 50 && ratio >= 0.9;
    std::printf("ratio viewer/plain loop: %.2f (goal at least 0.9)%s\n", ratio, met ? "" : "  BELOW GOAL");
    return met ? 0 : 1;
}
