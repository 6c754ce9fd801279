// Times TraxoDiff::findBestMatch on three kinds of rows, each in a child
// process of its own, so its peak memory is its own:
// - re-runs: two runs of one pipeline, a chain of steps where every
//   description differs between the runs (a new run id) and two titles
//   changed, for chains of 10, 20, 40, 100 and 200 steps
//   (TRAXO_BENCH_DIFF_STEPS sets others);
// - branchy: a random tree (four steps in ten branch off an earlier step,
//   titles from eight tools, so many steps look alike) against a re-run of
//   it where every description changed and six steps hang below another
//   parent, for 100, 150 and 200 steps and three trees each
//   (TRAXO_BENCH_DIFF_BRANCHY and TRAXO_BENCH_DIFF_TREES set others);
// - alike: branchy trees whose steps name the tool of their title, so that
//   steps of one kind differ only in their descriptions and only the
//   structure tells them apart, for 100, 150 and 200 steps and four trees
//   each (TRAXO_BENCH_DIFF_ALIKE and TRAXO_BENCH_DIFF_ALIKE_TREES).
//
// The peer is GNU diff on the same two runs written one step per line,
// started in the same run: a line diff cannot see tree structure or weigh
// fields, but it is what people reach for, so the ratio shows what the
// matching costs beside it.
//
// Goals: no row stops at the search's bound or takes 100 MB; re-runs of up
// to 100 steps take under 100 ms. A re-run's optimal cost is known: a step
// paired with its counterpart costs 20 (description), a renamed step and its
// counterpart stay unmatched (15 each). A branchy or alike row's cost is at
// most that of pairing every step with its counterpart (20 each, 10 more per
// moved step). Exits 1 when a goal is missed.

#include "workflow/traxodiff.h"
#include "workflow/workflowstepcosts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
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

enum class Kind { ReRun, Branchy, LookAlike };

struct Row
{
    Kind kind = Kind::ReRun;
    int steps = 0;
    int tree = 0;
    bool branchy() const { return kind != Kind::ReRun; }
};

QString rowName(const Row &row)
{
    switch (row.kind) {
    case Kind::ReRun:
        return QStringLiteral("re-run %1").arg(row.steps);
    case Kind::Branchy:
        return QStringLiteral("branchy %1/%2").arg(row.steps).arg(row.tree);
    case Kind::LookAlike:
        break;
    }
    return QStringLiteral("alike %1/%2").arg(row.steps).arg(row.tree);
}

// One step per id, its parent id (-1 for the root) and its title; runs
// differ in their descriptions.
struct Shape
{
    QList<int> parents;
    QStringList titles;
    int moved = 0;
    bool toolIsTitle = false;
};

constexpr int MovedSteps = 6;

Shape shape(const Row &row, int run)
{
    Shape shape;
    if (!row.branchy()) {
        for (int i = 0; i < row.steps; ++i) {
            shape.parents.append(i - 1);
            // Away from the ends, so that they have matched neighbours.
            const bool renamed = run == 2 && (i == 1 || i == row.steps - 2);
            shape.titles.append(
                QStringLiteral("step %1%2").arg(i).arg(renamed ? QStringLiteral(" (renamed)") : QString()));
        }
        return shape;
    }
    static const char *const tools[]
        = { "align", "filter", "merge", "plot", "convert", "normalize", "calibrate", "export" };
    // Look-alike trees draw from their own seeds, so that the branchy rows
    // stay what they were.
    shape.toolIsTitle = row.kind == Kind::LookAlike;
    QRandomGenerator random(quint32(row.steps * 1000 + row.tree + (row.kind == Kind::LookAlike ? 500 : 0)));
    for (int i = 0; i < row.steps; ++i) {
        shape.parents.append(i == 0 ? -1 : random.bounded(10) < 4 ? random.bounded(i) : i - 1);
        shape.titles.append(QString::fromLatin1(tools[random.bounded(8)]));
    }
    if (run == 2) {
        // Steps keep their ids, and a parent always has the smaller id.
        while (shape.moved < MovedSteps && row.steps > 2) {
            const int i = 2 + random.bounded(row.steps - 2);
            const int parent = random.bounded(i);
            if (parent != shape.parents.at(i)) {
                shape.parents[i] = parent;
                ++shape.moved;
            }
        }
    }
    return shape;
}

Workflowstep step(const Shape &shape, int i, int run)
{
    Workflowstep step;
    step.Title = shape.titles.at(i);
    // In look-alike trees a step's tool is the one its title names, so
    // steps of one kind differ only in their descriptions.
    step.Tool = shape.toolIsTitle ? shape.titles.at(i) : QStringLiteral("tool%1").arg(i % 3);
    step.Description = QStringLiteral("run %1 of the pipeline, step %2").arg(run).arg(i);
    return step;
}

WorkflowTree tree(const Row &row, int run)
{
    const Shape s = shape(row, run);
    WorkflowTree tree;
    for (int i = 0; i < s.parents.size(); ++i)
        tree.addTreeNode(WorkflowTreeNode(i, s.parents.at(i), step(s, i, run), QString(), QString()));
    return tree;
}

// The optimal cost of a re-run; for a branchy row what pairing every step
// with its counterpart costs, which the result may only undercut.
double reference(const Row &row)
{
    if (!row.branchy())
        return (row.steps - 2) * 20.0 + 2 * 30.0;
    return row.steps * 20.0 + shape(row, 2).moved * 10.0;
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

// The best of at least three searches and 200 ms, in this process; one
// search when it takes longer than that.
Figures measure(const Row &row)
{
    Figures figures;
    const double before = peakMb();
    const WorkflowstepCosts costs;
    TraxoDiff diff(tree(row, 1), tree(row, 2), &costs);
    QElapsedTimer total;
    total.start();
    for (int run = 0;; ++run) {
        QElapsedTimer timer;
        timer.start();
        const TraxoDiffResult result = diff.findBestMatch();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        figures.ms = run == 0 ? ms : std::min(figures.ms, ms);
        figures.costs = double(result.costs);
        if ((run >= 2 && total.elapsed() >= 200) || (run == 0 && ms > 200))
            break;
    }
    figures.expanded = diff.expandedPaths();
    figures.limitReached = diff.limitReached() ? 1 : 0;
    figures.peakMb = peakMb();
    figures.growthMb = figures.peakMb - before;
    return figures;
}

bool measureInChild(const Row &row, Figures *figures)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const Figures measured = measure(row);
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
double peerMs(const Row &row, const QTemporaryDir &dir)
{
    const QString paths[2] = { dir.filePath(QStringLiteral("run1.txt")), dir.filePath(QStringLiteral("run2.txt")) };
    for (int run = 1; run <= 2; ++run) {
        QFile file(paths[run - 1]);
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        const Shape s = shape(row, run);
        for (int i = 0; i < s.parents.size(); ++i) {
            const Workflowstep st = step(s, i, run);
            file.write((st.Title + QLatin1Char('|') + st.Tool + QLatin1Char('|') + st.Description + QLatin1Char('|')
                + QString::number(s.parents.at(i)) + QLatin1Char('\n'))
                           .toUtf8());
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

QList<int> numbers(const char *variable, const QString &fallback)
{
    QList<int> values;
    const QStringList words = qEnvironmentVariable(variable, fallback).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        const int value = word.trimmed().toInt();
        if (value > 3)
            values.append(value);
    }
    return values;
}

QList<Row> rows()
{
    QList<Row> rows;
    for (int steps : numbers("TRAXO_BENCH_DIFF_STEPS", QStringLiteral("10,20,40,100,200")))
        rows.append({ Kind::ReRun, steps, 0 });
    const int trees = qEnvironmentVariableIsSet("TRAXO_BENCH_DIFF_TREES")
        ? qEnvironmentVariableIntValue("TRAXO_BENCH_DIFF_TREES")
        : 3;
    for (int steps : numbers("TRAXO_BENCH_DIFF_BRANCHY", QStringLiteral("100,150,200"))) {
        for (int tree = 1; tree <= trees; ++tree)
            rows.append({ Kind::Branchy, steps, tree });
    }
    const int alikeTrees = qEnvironmentVariableIsSet("TRAXO_BENCH_DIFF_ALIKE_TREES")
        ? qEnvironmentVariableIntValue("TRAXO_BENCH_DIFF_ALIKE_TREES")
        : 4;
    for (int steps : numbers("TRAXO_BENCH_DIFF_ALIKE", QStringLiteral("100,150,200"))) {
        for (int tree = 1; tree <= alikeTrees; ++tree)
            rows.append({ Kind::LookAlike, steps, tree });
    }
    return rows;
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
    std::printf("re-run N: two runs of an N-step pipeline, every description and two titles changed\n"
                "branchy N/t: random tree t of N steps and a re-run with every description changed and %d steps "
                "moved\n"
                "alike N/t: the same with every tool named after its title, so steps of a kind look alike\n",
        MovedSteps);
    std::printf("%-14s %10s %9s %8s %9s %10s %8s %10s %8s  %s\n", "row", "time [ms]", "expanded", "costs", "reference",
        "peak [MB]", "+[MB]", "diff [ms]", "ratio", "goal");
    bool allMet = true;
    for (const Row &row : rows()) {
        const QByteArray name = rowName(row).toUtf8();
        Figures figures;
        if (!measureInChild(row, &figures)) {
            std::printf("%-14s the measuring process failed\n", name.constData());
            allMet = false;
            continue;
        }
        const double expected = reference(row);
        const double peer = peerMs(row, dir);
        bool met = !figures.limitReached && figures.peakMb < GoalMb
            && (row.branchy() ? figures.costs > 0 && figures.costs <= expected : figures.costs == expected);
        if (!row.branchy() && row.steps <= GoalSteps)
            met = met && figures.ms < GoalMs;
        allMet = allMet && met;
        std::printf("%-14s %10.3f %9llu %8.0f %9.0f %10.1f %8.1f %10.3f %7.2fx  %s%s\n", name.constData(), figures.ms,
            figures.expanded, figures.costs, expected, figures.peakMb, figures.growthMb, peer,
            peer > 0 ? figures.ms / peer : 0.0, met ? "met" : "MISSED",
            figures.limitReached ? " (stopped at the bound)" : "");
        std::fflush(stdout);
    }
    std::printf("goals: no row stops at the bound or reaches %.0f MB peak; re-runs reach their optimal cost, up to "
                "%d steps under %.0f ms; branchy and alike rows cost at most the reference\n",
        GoalMb, GoalSteps, GoalMs);
    return allMet ? 0 : 1;
}
