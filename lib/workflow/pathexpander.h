#ifndef TRAXO_PATHEXPANDER_H
#define TRAXO_PATHEXPANDER_H

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

    PathExpander(const WorkflowTree &tree1, const WorkflowTree &tree2, const CostMatrix &matrix);

    const CostMatrix &matrix() const { return m_matrix; }
    int count1() const { return int(m_parent1.size()); }
    int count2() const { return int(m_parent2.size()); }
    // The first tree's nodes in the order the search decides them: parents
    // before children, so that most parent penalties are known at once.
    const std::vector<int> &decisionOrder() const { return m_order; }

    // What pairing i with j (Unmatched for none) adds now, and whether the
    // pair's parent penalty must wait for the end because a parent is
    // unmatched or not decided yet.
    float associationCosts(
        int i, int j, const std::vector<int> &partner1, const std::vector<int> &partner2, bool *decidedLater) const;
    // At the goal: whether the nearest matched ancestors of first-tree node
    // i and of its partner are not partners; false for an unmatched i.
    bool parentChanged(int i, const std::vector<int> &partner1, const std::vector<int> &partner2) const;

    // The lower bound of what the undecided nodes cost is built from one
    // share per node: half the cheapest pair it can still join, at most the
    // cost of staying unmatched. A first-tree node whose ancestors are all
    // decided also counts the parent penalty that a pair must pay, because
    // no matched ancestor of its partner can be the partner of its own.
    float share1(int i, const std::vector<int> &partner1, const std::vector<int> &partner2) const;
    float share2(int j, const std::vector<int> &partner1) const;
    const std::vector<int> &children1(int i) const { return m_children1[size_t(i)]; }
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
    // The bound from the shares of the undecided nodes (sum1 over the first
    // tree's count1 nodes, sum2 over the second's count2).
    float heuristicCosts(float sum1, float sum2, int count1, int count2) const;

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
    bool penaltyCertain(int q, int j, const std::vector<int> &partner2) const;

    const CostMatrix &m_matrix;
    std::vector<int> m_parent1;
    std::vector<int> m_parent2;
    std::vector<int> m_order;
    std::vector<std::vector<int>> m_children1;
    std::vector<std::vector<Candidate>> m_cheap1;
    std::vector<std::vector<Candidate>> m_cheap2;
};

} // namespace traxo

#endif
