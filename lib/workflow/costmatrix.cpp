#include "workflow/costmatrix.h"

#include "workflow/workflowstepcosts.h"
#include "workflow/workflowtree.h"

#include <algorithm>
#include <cmath>

namespace traxo {

CostMatrix::CostMatrix(const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts &costs)
    : m_ids1(tree1.nodeIds())
    , m_ids2(tree2.nodeIds())
{
    for (int i = 0; i < m_ids1.size(); ++i)
        m_index1.insert(m_ids1.at(i), i);
    for (int j = 0; j < m_ids2.size(); ++j)
        m_index2.insert(m_ids2.at(j), j);
    QList<Workflowstep> steps2;
    steps2.reserve(m_ids2.size());
    for (int y : std::as_const(m_ids2))
        steps2.append(tree2.workflowStep(y));
    m_costs.reserve(size_t(m_ids1.size()) * size_t(m_ids2.size()));
    for (int x : std::as_const(m_ids1)) {
        const Workflowstep a = tree1.workflowStep(x);
        for (const Workflowstep &b : std::as_const(steps2)) {
            // A subclass may return anything; the search needs costs that
            // are finite and never negative to stay correct.
            const float c = costs.costs(a, b);
            m_costs.push_back(std::isnan(c) ? 0.0f : std::clamp(c, 0.0f, 1e9f));
        }
    }
}

float CostMatrix::costs(int x, int y) const
{
    const int i = index1(x);
    const int j = index2(y);
    return i < 0 || j < 0 ? UnmatchedNodeCosts : costsAt(i, j);
}

} // namespace traxo
