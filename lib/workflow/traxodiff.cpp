#include "workflow/traxodiff.h"

#include "workflow/costmatrix.h"
#include "workflow/dijkstra.h"
#include "workflow/path.h"
#include "workflow/pathexpander.h"
#include "workflow/visitedstates.h"
#include "workflow/workflowlogging.h"

namespace traxo {

TraxoDiff::TraxoDiff(
    const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts *costs, QObject *sink)
    : LogSource(sink)
    , m_tree1(tree1)
    , m_tree2(tree2)
    , m_costs(costs)
    , m_maxQueuedPaths(Dijkstra<Path>::DefaultMaxQueuedPaths)
{
}

QList<TraxoDiffResult> TraxoDiff::findBestMatches(int n)
{
    m_expandedPaths = 0;
    m_limitReached = false;
    QList<TraxoDiffResult> results;
    if (!m_costs) {
        emitLog(QStringLiteral("*** ERROR: the trees cannot be compared without a cost function\n"), LogError);
        return results;
    }

    if (!canFinish()) {
        m_limitReached = true;
        emitLog(QStringLiteral("trees of %1 and %2 steps are too large to compare (at most %3 queued paths "
                               "and %4 pairs of steps)\n")
                    .arg(m_tree1.count())
                    .arg(m_tree2.count())
                    .arg(m_maxQueuedPaths)
                    .arg(MaxMatrixEntries),
            LogWarning);
        return results;
    }

    const CostMatrix matrix(m_tree1, m_tree2, *m_costs);
    const PathExpander expander(m_tree1, m_tree2, matrix);
    // Paths that reach a state already reached at no more cost by n others
    // are dropped.
    VisitedStates visited(n);
    Dijkstra<Path> search(m_maxQueuedPaths);
    const QList<QSharedPointer<Path>> paths = search.findPaths(QSharedPointer<Path>::create(&expander, &visited), n);
    m_expandedPaths = search.expandedPaths();
    qCDebug(lcWorkflow) << visited.size() << "states reached";
    m_limitReached = search.limitReached();
    if (m_limitReached) {
        emitLog(QStringLiteral("the tree comparison stopped after %1 queued paths with %2 of %3 matchings; "
                               "the trees are too large to compare completely\n")
                    .arg(search.maxQueuedPaths())
                    .arg(paths.size())
                    .arg(n),
            LogWarning);
    }
    for (const QSharedPointer<Path> &path : paths)
        results.append(convertPath(*path));
    return results;
}

bool TraxoDiff::canFinish() const
{
    // Every expansion queues one child and the path itself again, so the
    // most direct route to a goal queues two paths per first-tree node. The
    // cost matrix holds a float per pair of nodes.
    const quint64 count1 = quint64(m_tree1.count());
    const quint64 count2 = quint64(m_tree2.count());
    return 1 + 2 * count1 < m_maxQueuedPaths && count1 * count2 <= MaxMatrixEntries;
}

TraxoDiffResult TraxoDiff::findBestMatch()
{
    const QList<TraxoDiffResult> results = findBestMatches(1);
    return results.isEmpty() ? TraxoDiffResult() : results.first();
}

TraxoDiffResult TraxoDiff::convertPath(const Path &path) const
{
    TraxoDiffResult result;
    result.assoc1 = path.assoc1();
    result.assoc2 = path.assoc2();
    result.costs = path.costs();
    for (auto it = result.assoc1.cbegin(); it != result.assoc1.cend(); ++it)
        result.parentChanged1.insert(it.key(), path.parentChanged(it.key(), FirstTree));
    for (auto it = result.assoc2.cbegin(); it != result.assoc2.cend(); ++it)
        result.parentChanged2.insert(it.key(), path.parentChanged(it.key(), SecondTree));
    return result;
}

} // namespace traxo
