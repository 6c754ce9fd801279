#ifndef TRAXO_COSTMATRIX_H
#define TRAXO_COSTMATRIX_H

#include <QHash>
#include <QList>

#include <vector>

namespace traxo {

class WorkflowTree;
class WorkflowstepCosts;

// The costs of pairing every node of the first tree with every node of the
// second, computed once so that the search never compares steps itself.
// Nodes are also known by their index, their position among the tree's
// ascending ids, which is how the search looks costs up.
class CostMatrix
{
public:
    static constexpr float UnmatchedNodeCosts = 15;
    static constexpr float WrongParentCosts = 10;

    CostMatrix(const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts &costs);

    // The cost of pairing x (first tree) with y (second tree); the cost of
    // an unmatched node for pairs that are not stored, such as any pair
    // with NULL_NODE.
    float costs(int x, int y) const;
    float costsAt(int index1, int index2) const { return m_costs[size_t(index1) * size_t(m_ids2.size()) + index2]; }
    float costsUnmatchedNode() const { return UnmatchedNodeCosts; }
    float costsWrongParent() const { return WrongParentCosts; }

    const QList<int> &ids1() const { return m_ids1; }
    const QList<int> &ids2() const { return m_ids2; }
    // -1 for an id that is not in the tree.
    int index1(int id) const { return m_index1.value(id, -1); }
    int index2(int id) const { return m_index2.value(id, -1); }

private:
    QList<int> m_ids1;
    QList<int> m_ids2;
    QHash<int, int> m_index1;
    QHash<int, int> m_index2;
    std::vector<float> m_costs;
};

} // namespace traxo

#endif
