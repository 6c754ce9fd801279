// Renders synthetic histories of 1000 and 2000 workflow steps (10 files each)
// through the shipped templates and prints both times and their ratio: the
// rendering must grow linearly with the history (ratio at most 2.2). Beside
// it stands a hand-written renderer that only concatenates the same texts, the
// floor any template engine is measured against.
//
//   TRAXO_BENCH_SCALE=0.2 bench_template    (fewer steps for a quick look)

#include "shared/parsetemplate.h"
#include "shared/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <ctime>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using traxo::FileSummary;
using traxo::Summary;

namespace {

QList<Summary> makeHistory(int steps)
{
    QList<Summary> history;
    history.reserve(steps);
    for (int i = 0; i < steps; ++i) {
        Summary step;
        step.TagID = steps - 1 - i;
        step.Title = QStringLiteral("Step %1: reconstruct & filter <frames>").arg(i);
        step.Timestamp = QStringLiteral("2013-06-21 14:05:%1").arg(i % 60, 2, 10, QLatin1Char('0'));
        step.Description = QStringLiteral("Line one of step %1\nline two").arg(i);
        step.Tool = QStringLiteral("recon");
        step.ToolPath = QStringLiteral("/opt/tools/bin/recon");
        step.Command = QStringLiteral("recon -i raw.v -o image.v --iterations 4");
        step.Host = QStringLiteral("node07");
        step.User = QStringLiteral("alice");
        step.userAttributeKeys = QStringList { "dose", "frames" };
        step.userAttributeValues = { { "dose", "370" }, { "frames", "24" } };
        step.userAttributeUnits = { { "dose", "MBq" } };
        for (int j = 0; j < 10; ++j) {
            FileSummary file;
            file.TagID = i * 10 + j;
            file.Filename = QStringLiteral("file%1.v").arg(j);
            file.Filepath = QStringLiteral("data/run%1").arg(i);
            file.Filetype = j % 2 ? QStringLiteral("ECAT7") : QStringLiteral("txt");
            file.FilePurpose = j < 5 ? QStringLiteral("InFile") : QStringLiteral("OutFile");
            file.Embedded = j % 3 == 0;
            file.UncompressedSize = 1000 + j;
            file.UncompressedMD5 = QStringLiteral("0123456789abcdef0123456789abcdef");
            file.userAttributeKeys = QStringList { "voxel" };
            file.userAttributeValues = { { "voxel", "2" } };
            file.userAttributeUnits = { { "voxel", "mm" } };
            step.files << file;
        }
        history << step;
    }
    return history;
}

// Processor time of one call.
template<typename Render>
double cpuSeconds(Render render)
{
    const std::clock_t start = std::clock();
    render();
    return double(std::clock() - start) / CLOCKS_PER_SEC;
}

QString handWritten(const QList<Summary> &history)
{
    QString html;
    for (const Summary &step : history) {
        html += QStringLiteral("<h2>%1</h2><p>%2</p><p>%3</p>").arg(step.Title, step.Timestamp, step.Description);
        for (const FileSummary &file : step.files)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>")
                        .arg(file.Filename, file.Filepath, file.UncompressedMD5);
    }
    return html;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef __GLIBC__
    // glibc raises its mmap threshold to the size of a freed block, up to
    // 32 MiB: a rendering below that reuses warm heap pages from the second
    // run on, while a larger one faults in fresh pages every run. A fixed
    // threshold gives both sizes fresh pages, as a single rendering gets, so
    // the ratio measures the engine and not where the allocator stops.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const double scale
        = qEnvironmentVariableIsSet("TRAXO_BENCH_SCALE") ? qEnvironmentVariable("TRAXO_BENCH_SCALE").toDouble() : 1.0;
    const int small = std::max(10, int(1000 * scale));
    const int large = 2 * small;
    const QList<Summary> smallHistory = makeHistory(small);
    const QList<Summary> largeHistory = makeHistory(large);

    bool linear = true;
    const QDir dir(getTemplatesDir());
    for (const QString &name : { QStringLiteral("orange.htm"), QStringLiteral("variables.htm") }) {
        ParseTemplate engine;
        if (!engine.loadTemplateFile(dir.filePath(name))) {
            out << "cannot load " << dir.filePath(name) << "\n";
            return 1;
        }
        // Best of nine, small and large taking turns: the machines are shared,
        // and the least disturbed run of each size is the fairest pair. With
        // five, a busy spell moved the ratio by a tenth.
        int length = 0;
        double tSmall = 1e9;
        double tLarge = 1e9;
        for (int run = 0; run < 9; ++run) {
            tSmall = std::min(tSmall,
                cpuSeconds([&] { length = engine.generateHtml("bench.traxo", name, smallHistory, false).size(); }));
            tLarge
                = std::min(tLarge, cpuSeconds([&] { engine.generateHtml("bench.traxo", name, largeHistory, false); }));
        }
        const double ratio = tLarge / tSmall;
        linear = linear && ratio <= 2.2;
        out << QStringLiteral("%1: %2 steps %3 s (%4 MB of HTML), %5 steps %6 s, ratio %7 (goal <= 2.2)\n")
                   .arg(name)
                   .arg(small)
                   .arg(tSmall, 0, 'f', 3)
                   .arg(length * 2.0 / 1e6, 0, 'f', 1)
                   .arg(large)
                   .arg(tLarge, 0, 'f', 3)
                   .arg(ratio, 0, 'f', 2);
        if (name == QLatin1String("orange.htm")) {
            double peer = 1e9;
            for (int run = 0; run < 5; ++run)
                peer = std::min(peer, cpuSeconds([&] { handWritten(largeHistory); }));
            out << QStringLiteral("  peer: hand-written concatenation of %1 steps %2 s; template engine / peer %3\n")
                       .arg(large)
                       .arg(peer, 0, 'f', 3)
                       .arg(tLarge / peer, 0, 'f', 1);
        }
    }
    out.flush();
    return linear ? 0 : 1;
}
