#include "workflow/traxodiffresult.h"

namespace traxo {

int TraxoDiffResult::association(int node, TreeId tree) const
{
    return (tree == FirstTree ? assoc1 : assoc2).value(node, UNKNOWN_NODE);
}

bool TraxoDiffResult::associated(int node, TreeId tree) const
{
    const int partner = association(node, tree);
    return partner == NULL_NODE || partner == UNKNOWN_NODE;
}

bool TraxoDiffResult::parentChanged(int node, TreeId tree) const
{
    return (tree == FirstTree ? parentChanged1 : parentChanged2).value(node, false);
}

} // namespace traxo
