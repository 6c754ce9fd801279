#ifndef TRAXO_WORKFLOWSTEPCOSTS_H
#define TRAXO_WORKFLOWSTEPCOSTS_H

#include "summary/summary.h"

namespace traxo {

// How unlike two workflow steps are, for the tree diff. Subclasses may weigh
// other fields; the search takes its penalties from CostMatrix.
class WorkflowstepCosts
{
public:
    virtual ~WorkflowstepCosts();
    // 50 for differing Titles, 30 for differing Tools, 20 for differing
    // Descriptions: 0 for equal steps, at most 100.
    virtual float costs(const Workflowstep &a, const Workflowstep &b) const;
    virtual float wrongParentCosts() const { return 18; }
    virtual float unmatchedNodeCosts() const { return 15; }
};

} // namespace traxo

#endif
