#ifndef TRAXO_PATHEXPANDER_H
#define TRAXO_PATHEXPANDER_H

#include <QHash>
#include <QList>

namespace traxo {

class CostMatrix;
class WorkflowTree;

// The cost rules of the tree diff over the two trees and their cost matrix.
// A matching pays the matrix cost of every pair, 15 for every unmatched node
// of either tree and 10 for every pair whose nearest matched ancestors are
// not partners (the roots' common parent NODE_ABOVE_ROOT always is).
// Unmatched nodes pay no parent penalty: they have no parent to agree on.
//
// Holds references only: the trees and the matrix must outlive it.
class PathExpander
{
public:
    PathExpander(const WorkflowTree &tree1, const WorkflowTree &tree2, const CostMatrix &matrix);

    const WorkflowTree &tree1() const { return m_tree1; }
    const WorkflowTree &tree2() const { return m_tree2; }
    const CostMatrix &matrix() const { return m_matrix; }

    // The cost of pairing x with y (either may be NULL_NODE) given the
    // decisions so far; the parent penalty is charged here only when both
    // parents are already matched.
    float costForAssociation(int x, int y, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const;
    // True when the parent penalty of the pair x, y can only be decided at
    // the end, because a parent is unmatched or not decided yet.
    bool calcParentCostsLater(int x, int y, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const;
    float costForUnmatchedNodes(qsizetype count) const;
    // At the goal: the penalties of the pairs whose decision was put off.
    float calcMissingParentCosts(
        const QHash<int, bool> &parentCostsLater, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const;
    // Whether the nearest matched ancestors of a first-tree node and of its
    // partner are not partners; false for unmatched or unknown nodes.
    bool parentChanged(int node, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const;
    // A lower bound of what deciding the remaining nodes costs.
    float heuristicCosts(const QList<int> &remaining1, const QList<int> &remaining2) const;

private:
    // The nearest ancestor of node that is not unmatched, NODE_ABOVE_ROOT at
    // the top; bounded by the tree's size so hand-made cycles end.
    static int matchedAncestor(const WorkflowTree &tree, int node, const QHash<int, int> &assoc);

    const WorkflowTree &m_tree1;
    const WorkflowTree &m_tree2;
    const CostMatrix &m_matrix;
};

} // namespace traxo

#endif
