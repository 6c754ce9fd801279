#ifndef TRAXO_TRAXODIFF_H
#define TRAXO_TRAXODIFF_H

#include "logging/logsource.h"
#include "workflow/traxodiffresult.h"
#include "workflow/workflowtree.h"

#include <QList>

namespace traxo {

class Path;
class WorkflowstepCosts;

// Finds the cheapest matchings between the steps of two workflow trees by a
// best-first search over partial matchings. The estimate makes comparisons
// of similar histories (re-runs, edits) take a few paths per step, but the
// search stays exponential at worst; it gives up after a bounded number of
// queued paths and says so in the log, returning the matchings found until
// then.
class TraxoDiff : public LogSource
{
    Q_OBJECT

public:
    // Trees whose pairs of steps are more than this are not compared: the
    // cost matrix would take more than 64 MB.
    static constexpr quint64 MaxMatrixEntries = 16 * 1024 * 1024;

    // costs is not owned and must outlive the searches; it may be null until
    // setCosts() is called.
    TraxoDiff(
        const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts *costs, QObject *sink = nullptr);

    void setTree1(const WorkflowTree &tree) { m_tree1 = tree; }
    void setTree2(const WorkflowTree &tree) { m_tree2 = tree; }
    void setCosts(const WorkflowstepCosts *costs) { m_costs = costs; }
    const WorkflowTree &tree1() const { return m_tree1; }
    const WorkflowTree &tree2() const { return m_tree2; }
    const WorkflowstepCosts *costs() const { return m_costs; }

    // At most n complete matchings, cheapest first; fewer when there are no
    // more, or when the search stopped at its bound (see limitReached()).
    QList<TraxoDiffResult> findBestMatches(int n);
    // The cheapest matching, or an empty result when there is none.
    TraxoDiffResult findBestMatch();

    void setMaxQueuedPaths(quint64 count) { m_maxQueuedPaths = count; }
    quint64 maxQueuedPaths() const { return m_maxQueuedPaths; }
    // Of the last search: paths taken from the queue, and whether it stopped
    // at the bound before it had all results it was asked for.
    quint64 expandedPaths() const { return m_expandedPaths; }
    bool limitReached() const { return m_limitReached; }

private:
    // False when even the most direct path to a complete matching would
    // queue more paths than allowed, or the cost matrix would be too large:
    // the search is then not started.
    bool canFinish() const;
    TraxoDiffResult convertPath(const Path &path) const;

    WorkflowTree m_tree1;
    WorkflowTree m_tree2;
    const WorkflowstepCosts *m_costs;
    quint64 m_maxQueuedPaths;
    quint64 m_expandedPaths = 0;
    bool m_limitReached = false;
};

} // namespace traxo

#endif
