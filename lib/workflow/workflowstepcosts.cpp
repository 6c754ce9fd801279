#include "workflow/workflowstepcosts.h"

namespace traxo {

WorkflowstepCosts::~WorkflowstepCosts() = default;

float WorkflowstepCosts::costs(const Workflowstep &a, const Workflowstep &b) const
{
    float sum = 0;
    if (a.Title != b.Title)
        sum += 50;
    if (a.Tool != b.Tool)
        sum += 30;
    if (a.Description != b.Description)
        sum += 20;
    return sum;
}

} // namespace traxo
