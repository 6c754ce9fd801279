#include "workflow/costmatrix.h"

#include "workflow/workflowstepcosts.h"
#include "workflow/workflowtree.h"

namespace traxo {

CostMatrix::CostMatrix(const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts &costs)
{
    const QList<int> ids1 = tree1.nodeIds();
    const QList<int> ids2 = tree2.nodeIds();
    m_costs.reserve(ids1.size() * ids2.size());
    for (int x : ids1) {
        const Workflowstep a = tree1.workflowStep(x);
        for (int y : ids2)
            m_costs.insert(qMakePair(x, y), costs.costs(a, tree2.workflowStep(y)));
    }
}

} // namespace traxo
