// Times TraxoDiff::findBestMatch on two chains of workflow steps that differ
// in two steps (their titles), for chains of 6, 8 and 10 steps, and prints
// the paths taken from the queue and the growth from one size to the next.
// The search is exponential by nature; the figures tell where it stops being
// usable. There is no peer tool for tree matching here, so the growth factor
// between sizes is the figure to compare across machines.
//
// A second table shows chains without a single equal step, where the
// estimate helps least. TRAXO_BENCH_DIFF_STEPS and TRAXO_BENCH_DIFF_UNEQUAL
// set the chain lengths of the two tables (defaults "6,8,10" and "6,8,10,12").

#include "workflow/traxodiff.h"
#include "workflow/workflowstepcosts.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace traxo;

namespace {

// A chain, newest step at the root; steps listed in changed get another title.
WorkflowTree makeChain(int steps, const QList<int> &changed)
{
    WorkflowTree tree;
    int parent = -1;
    for (int i = 0; i < steps; ++i) {
        Workflowstep step;
        step.Title = changed.contains(i) ? QStringLiteral("changed step %1").arg(i) : QStringLiteral("step %1").arg(i);
        step.Tool = QStringLiteral("tool%1").arg(i % 3);
        step.Description = QStringLiteral("description %1").arg(i);
        parent = tree.addTreeNode(parent, step, QStringLiteral("chain.traxo"), QStringLiteral("chain.traxo"));
    }
    return tree;
}

QList<int> chainLengths(const char *variable, const char *fallback)
{
    QList<int> lengths;
    const QStringList words
        = qEnvironmentVariable(variable, QString::fromLatin1(fallback)).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        const int length = word.trimmed().toInt();
        if (length > 2)
            lengths.append(length);
    }
    return lengths;
}

// One table: every chain length with the steps changed in the second chain.
void runTable(const char *title, const QList<int> &lengths, const std::function<QList<int>(int)> &changedSteps)
{
    const WorkflowstepCosts costs;
    std::printf("%s\n", title);
    std::printf("%-8s %12s %16s %10s %14s %12s\n", "steps", "time [ms]", "expanded paths", "costs", "growth (time)",
        "growth (paths)");
    double previousMs = 0;
    quint64 previousPaths = 0;
    for (int steps : lengths) {
        const QList<int> changed = changedSteps(steps);
        TraxoDiff diff(makeChain(steps, {}), makeChain(steps, changed), &costs);
        // The best of several runs (at least three, and 200 ms in all), since
        // the small cases take well under a millisecond on a shared machine.
        TraxoDiffResult result;
        double ms = 0;
        QElapsedTimer total;
        total.start();
        for (int run = 0; run < 3 || total.elapsed() < 200; ++run) {
            QElapsedTimer timer;
            timer.start();
            result = diff.findBestMatch();
            const double runMs = double(timer.nsecsElapsed()) / 1e6;
            ms = run == 0 ? runMs : std::min(ms, runMs);
        }
        const quint64 paths = diff.expandedPaths();
        std::printf(
            "%-8d %12.3f %16llu %10.0f", steps, ms, static_cast<unsigned long long>(paths), double(result.costs));
        if (previousPaths > 0)
            std::printf(" %13.1fx %11.1fx", ms / previousMs, double(paths) / double(previousPaths));
        if (diff.limitReached())
            std::printf("  (stopped at the bound of %llu queued paths)",
                static_cast<unsigned long long>(diff.maxQueuedPaths()));
        std::printf("\n");
        std::fflush(stdout);
        previousMs = ms;
        previousPaths = paths;
    }
}

} // namespace

int main()
{
    // Two steps apart from the ends, so they have matched neighbours.
    runTable("two chains that differ in two steps", chainLengths("TRAXO_BENCH_DIFF_STEPS", "6,8,10"), [](int steps) {
        return QList<int> { 1, steps - 2 };
    });
    // Without a single equal step the estimate is weak and the search
    // explores almost every partial matching.
    runTable(
        "\ntwo chains without any equal step", chainLengths("TRAXO_BENCH_DIFF_UNEQUAL", "6,8,10,12"), [](int steps) {
            QList<int> all;
            for (int i = 0; i < steps; ++i)
                all.append(i);
            return all;
        });
    return 0;
}
