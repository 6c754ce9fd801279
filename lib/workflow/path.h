#ifndef TRAXO_PATH_H
#define TRAXO_PATH_H

#include "workflow/pathexpander.h"
#include "workflow/priorityqueue.h"
#include "workflow/treeid.h"
#include "workflow/visitedstates.h"

#include <QHash>
#include <QSharedPointer>
#include <QString>

#include <memory>
#include <vector>

namespace traxo {

// A partial matching of two trees: the first tree's nodes decided so far
// (in the expander's decision order) with their partners, and the cost so
// far. Once every first-tree node is decided, the second tree's undecided
// nodes are unmatched and the path has reached the goal.
//
// A path makes its children one at a time, cheapest estimate first: it
// pushes the next child and itself again with the estimate of the child
// after that, so the queue holds two entries per expansion instead of one
// per candidate partner.
//
// A queued path takes a few hundred bytes whatever the trees' size: it keeps
// its decisions as a chain shared with the paths it was made from, and
// rebuilds the partner tables from that chain only while it is expanded.
class Path
{
public:
    // Every node undecided. The expander must outlive the path; without one
    // the path cannot grow.
    // With visited, children in a state that enough paths reached before
    // at no more cost are dropped (see VisitedStates).
    explicit Path(const PathExpander *expander, VisitedStates *visited = nullptr);
    // Copies the matching (the other path's tables must be built), not the
    // children made so far.
    Path(const Path &other);
    Path &operator=(const Path &) = delete;
    ~Path();

    // Pushes the next child (self is this path, to be pushed again while
    // more children are left).
    void expand(PriorityQueue<QSharedPointer<Path>> &queue, const QSharedPointer<Path> &self);
    // Every node decided, and not a matching that another path stands for.
    bool isGoal() const;
    // The number of first-tree nodes decided.
    int depth() const { return m_decided; }
    float costs() const { return m_costs; }
    // The cost so far plus a bound of the rest that never overestimates.
    float estimate() const;

    // By node id, with NODE_ABOVE_ROOT matched with itself; a decided node
    // without partner maps to NULL_NODE, an undecided one is missing.
    QHash<int, int> assoc1() const;
    QHash<int, int> assoc2() const;
    // tree FirstTree: node is a first-tree node; SecondTree: the node's
    // partner is looked at. False for nodes not decided or unmatched.
    bool parentChanged(int node, TreeId tree) const;

    // The pairs and the cost, for diagnostics.
    QString toString() const;

private:
    // How a pair whose parent penalty is still open because it waits on a
    // few second-tree nodes is decided: it is split in two, those nodes stay
    // unmatched and it pays nothing, or it pays the penalty now and one of
    // them must be matched (a goal where none is, is the other twin's and
    // is dropped). Either way the search sees the cost at once.
    enum class Choice : char { Plain, KeepUnmatched, PayPenalty };
    struct Child
    {
        float estimate;
        int priority;
        bool decidedLater;
        Choice choice;
        int partner;
        // In the order the children are listed: the last tie-break.
        int position = 0;
    };

    // The change of the two share sums when i is paired with j (or left
    // unmatched for j < 0); tries the decision on this path and undoes it.
    // The shares of this path's nodes and the pairs that give them, worked
    // out once for all children made at a time.
    struct ShareCache
    {
        std::vector<float> share1;
        std::vector<float> share2;
        std::vector<int> witness1;
        std::vector<int> witness2;
        std::vector<char> known1;
        std::vector<char> known2;
    };
    // Stops and cache, when given, are those of this path's tables.
    void shareChanges(int i, int j, float *change1, float *change2, PathExpander::Stops *stops = nullptr,
        ShareCache *cache = nullptr);
    int toPriority(float estimate) const;
    float childEstimate(int j, bool *decidedLater, PathExpander::Stops *stops = nullptr, ShareCache *cache = nullptr);
    // At most the estimate of any child that pairs i with j (or leaves it
    // unmatched), given the share sum of the first tree without i.
    float estimateBelow(int i, int j, float shares1Without, const PathExpander::Stops &stops) const;
    // The frontier's subtree bounds once i is decided (with j or Unmatched).
    void frontierAfter(int i, int j, float *frontier) const;
    // The heuristic part of a child's estimate once i is paired with j (or
    // left unmatched for j < 0), given the share sums it will have.
    float heuristicAfter(int i, int j, float shares1, float shares2) const;
    void makeChildren();
    // Stops, when given, are those of the tables before the pair: nodes
    // kept unmatched on the way leave them as they are.
    void associate(int i, int j, Choice choice = Choice::Plain, PathExpander::Stops *stops = nullptr);
    // Builds the partner tables from the chain of paths, and drops them
    // again (not at the goal, whose tables are its result).
    void buildTables() const;
    void dropTables() const;
    // An unmatched node leaves the stop tables as they are.
    void keepUnmatched(int j, const PathExpander::Stops *stops = nullptr);
    void settlePenalties();
    void finish();
    bool isFinished() const;

    const PathExpander *m_expander;
    VisitedStates *m_visited;
    // One decision, newest first: the partner of the node decided, and the
    // second-tree nodes it left unmatched. Paths made from one another share
    // their older decisions.
    struct Decision
    {
        std::shared_ptr<Decision> previous;
        int partner = -1;
        std::vector<int> keptUnmatched;
        // Releases a long chain link by link, not one stack frame per link.
        ~Decision();
    };
    std::shared_ptr<Decision> m_decisions;
    mutable std::vector<int> m_partner1;
    mutable std::vector<int> m_partner2;
    // First-tree nodes whose parent penalty is decided at the goal.
    std::vector<int> m_decidedLater;
    // First-tree nodes that paid an open penalty in advance: one of the
    // nodes it waited on must end up matched.
    std::vector<int> m_paidInAdvance;
    int m_decided = 0;
    bool m_duplicate = false;
    int m_undecided2 = 0;
    float m_costs = 0;
    float m_shares1 = 0;
    float m_shares2 = 0;
    // The frontier's subtree bounds in both weightings.
    float m_frontier[PathExpander::Weightings] = {};
    // The prices of the undecided second-tree nodes.
    float m_prices = 0;
    // The next few children not pushed yet, cheapest first; made again
    // when used up while more are left.
    std::vector<Child> m_children;
    int m_pushedChildren = 0;
    int m_childCount = 0;
};

} // namespace traxo

#endif
