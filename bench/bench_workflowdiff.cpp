// Times TraxoDiff::findBestMatch on two runs of one pipeline: a chain of
// steps where every description differs between the runs (a new run id) and
// two titles changed, for chains of 10, 20, 40, 100 and 200 steps
// (TRAXO_BENCH_DIFF_STEPS sets others). Each row runs in a child process of
// its own, so its peak memory is its own.
//
// The peer is GNU diff on the same two runs written one step per line,
// started in the same run: a line diff cannot see tree structure or weigh
// fields, but it is what people reach for, so the ratio shows what the
// matching costs beside it.
//
// Goals: up to 100 steps under 100 ms and 100 MB; up to 200 steps the search
// never stops at its bound and finds the optimal cost, which is known here:
// a step paired with its counterpart costs 20 (description), a renamed step
// and its counterpart stay unmatched (15 each). Exits 1 when a goal is missed.

#include "workflow/traxodiff.h"
#include "workflow/workflowstepcosts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

using namespace traxo;

namespace {

constexpr double GoalMs = 100;
constexpr double GoalMb = 100;
constexpr int GoalSteps = 100;

Workflowstep pipelineStep(int i, int run, bool renamed)
{
    Workflowstep step;
    step.Title = QStringLiteral("step %1%2").arg(i).arg(renamed ? QStringLiteral(" (renamed)") : QString());
    step.Tool = QStringLiteral("tool%1").arg(i % 3);
    step.Description = QStringLiteral("run %1 of the pipeline, step %2").arg(run).arg(i);
    return step;
}

QList<int> renamedSteps(int steps)
{
    // Away from the ends, so that they have matched neighbours.
    return { 1, steps - 2 };
}

WorkflowTree pipelineRun(int steps, int run)
{
    const QList<int> renamed = run == 2 ? renamedSteps(steps) : QList<int>();
    WorkflowTree tree;
    int parent = -1;
    for (int i = 0; i < steps; ++i)
        parent = tree.addTreeNode(parent, pipelineStep(i, run, renamed.contains(i)), QString(), QString());
    return tree;
}

struct Figures
{
    double ms = 0;
    double peakMb = 0;
    double growthMb = 0;
    unsigned long long expanded = 0;
    double costs = 0;
    int limitReached = 0;
};

double peakMb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The best of at least three searches and 200 ms, in this process.
Figures measure(int steps)
{
    Figures figures;
    const double before = peakMb();
    const WorkflowstepCosts costs;
    TraxoDiff diff(pipelineRun(steps, 1), pipelineRun(steps, 2), &costs);
    QElapsedTimer total;
    total.start();
    for (int run = 0; run < 3 || total.elapsed() < 200; ++run) {
        QElapsedTimer timer;
        timer.start();
        const TraxoDiffResult result = diff.findBestMatch();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        figures.ms = run == 0 ? ms : std::min(figures.ms, ms);
        figures.costs = double(result.costs);
    }
    figures.expanded = diff.expandedPaths();
    figures.limitReached = diff.limitReached() ? 1 : 0;
    figures.peakMb = peakMb();
    figures.growthMb = figures.peakMb - before;
    return figures;
}

bool measureInChild(int steps, Figures *figures)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const Figures measured = measure(steps);
        const bool written = write(fds[1], &measured, sizeof measured) == ssize_t(sizeof measured);
        _exit(written ? 0 : 1);
    }
    close(fds[1]);
    const bool read = child > 0 && ::read(fds[0], figures, sizeof *figures) == ssize_t(sizeof *figures);
    close(fds[0]);
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
    return read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// GNU diff on the runs, one step per line; the best of three.
double peerMs(int steps, const QTemporaryDir &dir)
{
    const QString paths[2] = { dir.filePath(QStringLiteral("run1.txt")), dir.filePath(QStringLiteral("run2.txt")) };
    for (int run = 1; run <= 2; ++run) {
        QFile file(paths[run - 1]);
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        const QList<int> renamed = run == 2 ? renamedSteps(steps) : QList<int>();
        for (int i = 0; i < steps; ++i) {
            const Workflowstep step = pipelineStep(i, run, renamed.contains(i));
            file.write(
                (step.Title + QLatin1Char('|') + step.Tool + QLatin1Char('|') + step.Description + '\n').toUtf8());
        }
    }
    double best = -1;
    for (int run = 0; run < 3; ++run) {
        QProcess diff;
        QElapsedTimer timer;
        timer.start();
        diff.start(QStringLiteral("diff"), { paths[0], paths[1] });
        if (!diff.waitForFinished(10000) || diff.exitStatus() != QProcess::NormalExit)
            return -1;
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        best = best < 0 ? ms : std::min(best, ms);
    }
    return best;
}

QList<int> chainLengths()
{
    QList<int> lengths;
    const QStringList words = qEnvironmentVariable("TRAXO_BENCH_DIFF_STEPS", QStringLiteral("10,20,40,100,200"))
                                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        const int length = word.trimmed().toInt();
        if (length > 3)
            lengths.append(length);
    }
    return lengths;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_workflowdiff: cannot create a temporary folder\n");
        return 1;
    }
    std::printf("two runs of a pipeline: every description changed, two titles changed\n");
    std::printf("%-6s %10s %10s %8s %11s %10s %8s %10s %8s  %s\n", "steps", "time [ms]", "expanded", "costs", "optimal",
        "peak [MB]", "+[MB]", "diff [ms]", "ratio", "goal");
    bool allMet = true;
    for (int steps : chainLengths()) {
        Figures figures;
        if (!measureInChild(steps, &figures)) {
            std::printf("%-6d the measuring process failed\n", steps);
            allMet = false;
            continue;
        }
        const double optimal = (steps - 2) * 20.0 + 2 * 30.0;
        const double peer = peerMs(steps, dir);
        bool met = !figures.limitReached && figures.costs == optimal;
        if (steps <= GoalSteps)
            met = met && figures.ms < GoalMs && figures.peakMb < GoalMb;
        allMet = allMet && met;
        std::printf("%-6d %10.3f %10llu %8.0f %11.0f %10.1f %8.1f %10.3f %7.2fx  %s%s\n", steps, figures.ms,
            figures.expanded, figures.costs, optimal, figures.peakMb, figures.growthMb, peer,
            peer > 0 ? figures.ms / peer : 0.0, met ? "met" : "MISSED",
            figures.limitReached ? " (stopped at the bound)" : "");
        std::fflush(stdout);
    }
    std::printf("goals: optimal cost and no stop at the bound for every row; up to %d steps under %.0f ms and "
                "%.0f MB peak\n",
        GoalSteps, GoalMs, GoalMb);
    return allMet ? 0 : 1;
}
