#ifndef TRAXO_COSTMATRIX_H
#define TRAXO_COSTMATRIX_H

#include <QHash>
#include <QPair>

namespace traxo {

class WorkflowTree;
class WorkflowstepCosts;

// The costs of pairing every node of the first tree with every node of the
// second, computed once so that the search never compares steps itself.
class CostMatrix
{
public:
    static constexpr float UnmatchedNodeCosts = 15;
    static constexpr float WrongParentCosts = 10;

    CostMatrix(const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts &costs);

    // The cost of pairing x (first tree) with y (second tree); the cost of
    // an unmatched node for pairs that are not stored, such as any pair
    // with NULL_NODE.
    float costs(int x, int y) const { return m_costs.value(qMakePair(x, y), UnmatchedNodeCosts); }
    float costsUnmatchedNode() const { return UnmatchedNodeCosts; }
    float costsWrongParent() const { return WrongParentCosts; }

private:
    QHash<QPair<int, int>, float> m_costs;
};

} // namespace traxo

#endif
