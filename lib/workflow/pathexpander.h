#ifndef TRAXO_PATHEXPANDER_H
#define TRAXO_PATHEXPANDER_H

#include "workflow/subtreebounds.h"
#include "workflow/visitedstates.h"

#include <QList>

#include <vector>

namespace traxo {

class CostMatrix;
class WorkflowTree;

// The cost rules of the tree diff over the two trees and their cost matrix.
// A matching pays the matrix cost of every pair, 15 for every unmatched node
// of either tree and 10 for every pair whose nearest matched ancestors are
// not partners (the roots' common parent NODE_ABOVE_ROOT always is).
// Unmatched nodes pay no parent penalty: they have no parent to agree on.
//
// Nodes are handled by index (see CostMatrix). A partner table holds, per
// node, Undecided, Unmatched or the partner's index.
//
// Holds references only: the trees and the matrix must outlive it.
class PathExpander
{
public:
    static constexpr int Undecided = -1;
    static constexpr int Unmatched = -2;
    // Parent indices: the roots' parent, and a parent that is not in the
    // tree or a walk up that runs in a circle.
    static constexpr int AboveRoot = -1;
    static constexpr int NoAncestor = -2;
    // Larger trees go without subtree bounds (three tables of floats).
    static constexpr quint64 MaxBoundEntries = 2 * 1024 * 1024;
    // Subgradient rounds spent on the prices of the full subtree bounds, at
    // most as many as keep rounds times table entries within MaxPriceWork.
    static constexpr int PriceRounds = 60;
    static constexpr quint64 MaxPriceWork = 24 * 1024 * 1024;

    PathExpander(const WorkflowTree &tree1, const WorkflowTree &tree2, const CostMatrix &matrix);

    const CostMatrix &matrix() const { return m_matrix; }
    int count1() const { return int(m_parent1.size()); }
    int count2() const { return int(m_parent2.size()); }
    // The first tree's nodes in the order the search decides them: parents
    // before children, so that most parent penalties are known at once.
    const std::vector<int> &decisionOrder() const { return m_order; }

    // Per second-tree node, its nearest matched ancestor (an index,
    // AboveRoot or NoAncestor) and how many undecided nodes lie between, for
    // one partner table: making a path's children asks for these again and
    // again, and the walks up the second tree would dominate. `taken` is a
    // node matched since the tables were made (-1 for none). Empty when the
    // second tree's parents run in a circle: the walks are taken then.
    struct Stops
    {
        std::vector<int> stop;
        std::vector<int> undecided;
        int taken = -1;
        bool isValid() const { return !stop.empty(); }
    };
    void fillStops(const std::vector<int> &partner2, Stops *stops) const;
    // The nearest matched ancestor of j from the stop tables.
    int stopOf(int j, const Stops &stops) const;

    // What pairing i with j (Unmatched for none) adds now, and whether the
    // pair's parent penalty must wait because nodes it depends on are not
    // decided yet. Stops, when given, must be made from partner2.
    float associationCosts(int i, int j, const std::vector<int> &partner1, const std::vector<int> &partner2,
        bool *decidedLater, const Stops *stops = nullptr) const;
    // Whether the pair i, j pays the parent penalty whatever is decided
    // later (Certain), never pays it (None), or that is still Open. When it
    // is open only because second-tree nodes between j and its possible
    // nearest matched ancestor are undecided, those are appended to
    // undecidedOnTheWay: the penalty is avoided exactly when all of them
    // stay unmatched.
    enum class Penalty { None, Certain, Open };
    Penalty penaltyStatus(int i, int j, const std::vector<int> &partner1, const std::vector<int> &partner2,
        std::vector<int> *undecidedOnTheWay = nullptr, const Stops *stops = nullptr) const;
    // At the goal: whether the nearest matched ancestors of first-tree node
    // i and of its partner are not partners; false for an unmatched i.
    bool parentChanged(int i, const std::vector<int> &partner1, const std::vector<int> &partner2) const;

    // The state of a path that has decided the first `decided` nodes of the
    // decision order, with the first-tree nodes whose parent penalty is
    // still open. It holds what the rest of the matching can depend on: the
    // second tree's nodes that are taken, the partners of the decided nodes
    // that still have undecided descendants, and what each open penalty
    // waits for.
    VisitedStates::Key stateKey(int decided, const std::vector<int> &partner1, const std::vector<int> &partner2,
        const std::vector<int> &openPenalties) const;

    // The lower bound of what the undecided nodes cost is built from one
    // share per node: half the cheapest pair it can still join, at most the
    // cost of staying unmatched. A first-tree node whose ancestors are all
    // decided also counts the parent penalty that a pair must pay, because
    // no matched ancestor of its partner can be the partner of its own.
    // witness, when given, receives the node whose pair gives the share
    // (-1 when it is the cost of staying unmatched): deciding other nodes
    // can only raise the share while that pair stays possible at its cost.
    float share1(int i, const std::vector<int> &partner1, const std::vector<int> &partner2,
        const Stops *stops = nullptr, int *witness = nullptr) const;
    float share2(int j, const std::vector<int> &partner1, int *witness = nullptr) const;
    const std::vector<int> &children1(int i) const { return m_children1[size_t(i)]; }
    // A second-tree leaf with a smaller index, the same parent and the same
    // cost against every first-tree node, or -1. Such twins can trade
    // partners without changing any cost, so a search for the cheapest
    // matching only takes the first of them that is still free.
    int twinBefore2(int j) const { return m_twinBefore2[size_t(j)]; }
    int parent1(int i) const { return m_parent1[size_t(i)]; }
    struct Candidate
    {
        float costs;
        int index;
    };
    // Per node, the other tree's nodes whose pair costs less than leaving
    // both unmatched, cheapest first: only these can lower a share, so only
    // their shares change when the node is decided.
    const std::vector<Candidate> &cheap1(int i) const { return m_cheap1[size_t(i)]; }
    const std::vector<Candidate> &cheap2(int j) const { return m_cheap2[size_t(j)]; }
    // The subtree bounds of the undecided first-tree nodes whose parents
    // are decided, in two weightings: Half (half of each pair's cost, so the
    // second tree's shares can be added) and Full (the whole pair cost,
    // unmatched 30 for the node and the one more the other tree then has).
    // Priced is Full with prices (see SubtreeBounds): it is the tighter
    // bound where many steps look alike, but the prices suit the whole
    // trees and may fit a partial matching worse than none, so both count.
    enum Weighting { Half, Full, Priced };
    static constexpr int Weightings = 3;
    float frontierStart(Weighting weighting) const;
    // How deciding i (with partner j, or Unmatched) changes the sum.
    float frontierChange(Weighting weighting, int i, int j, const std::vector<int> &partner1) const;
    // The price the full subtree bounds charge for pairing with j; the
    // prices of the undecided second-tree nodes are taken off their sum.
    float price(int j) const { return m_bounds[Priced].price(j); }
    float priceStart() const { return m_bounds[Priced].priceSum(); }
    // The bound from the shares of the undecided nodes (sum1 over the first
    // tree's count1 nodes, sum2 over the second's count2) and from the
    // subtree bounds of the frontier (half and full, with the prices of the
    // undecided second-tree nodes).
    // The queue priority of an estimate: rounded up when every cost is a
    // whole number, since a matching then costs a whole number too and the
    // halves and quarters of the bounds cannot be reached; rounded down
    // otherwise. Out-of-range and NaN estimates from odd costs are clamped.
    int priority(float estimate) const;
    float heuristicCosts(float sum1, float sum2, int count1, int count2, const float *frontier, float prices) const;

private:
    // The nearest ancestor that is not unmatched: an index, AboveRoot, or
    // NoAncestor when the walk leaves the tree or runs in a circle.
    static int matchedAncestor(const std::vector<int> &parents, int node, const std::vector<int> &partner);
    // The partner of the nearest matched ancestor of first-tree node i (an
    // index or AboveRoot); AnyPartner when its ancestors are not all
    // decided, NoPartner when no partner can agree.
    static constexpr int AnyPartner = -3;
    static constexpr int NoPartner = -4;
    int ancestorPartner(int i, const std::vector<int> &partner1) const;
    // Whether pairing a node whose ancestor's partner is q with j pays the
    // parent penalty whatever is decided later.
    bool penaltyCertain(int q, int j, const std::vector<int> &partner2, const Stops *stops) const;

    const CostMatrix &m_matrix;
    std::vector<int> m_parent1;
    std::vector<int> m_parent2;
    std::vector<int> m_order;
    // The second tree's nodes parents first, and the interval of each
    // node's subtree in a depth-first walk; empty for a circle.
    std::vector<int> m_order2;
    std::vector<int> m_enter2;
    std::vector<int> m_leave2;
    // Per first-tree node, the last position in the decision order of the
    // node itself and of every node whose walk up passes it.
    std::vector<int> m_lastPosition;
    SubtreeBounds m_bounds[Weightings];
    std::vector<std::vector<int>> m_children1;
    std::vector<int> m_twinBefore2;
    bool m_wholeCosts = false;
    std::vector<std::vector<Candidate>> m_cheap1;
    std::vector<std::vector<Candidate>> m_cheap2;
};

} // namespace traxo

#endif
