#ifndef TRAXO_TRAXODIFFRESULT_H
#define TRAXO_TRAXODIFFRESULT_H

#include "workflow/treeid.h"

#include <QHash>

namespace traxo {

// One complete matching of two workflow trees. assoc1 maps every node of the
// first tree to its partner or NULL_NODE, assoc2 the same for the second;
// both also hold NODE_ABOVE_ROOT matched with itself. The parentChanged
// flags mark pairs whose nearest matched ancestors are not partners.
struct TraxoDiffResult
{
    QHash<int, int> assoc1;
    QHash<int, int> assoc2;
    QHash<int, bool> parentChanged1;
    QHash<int, bool> parentChanged2;
    // What the matching costs: pair costs plus every penalty.
    float costs = 0;

    // The partner of node: NULL_NODE when unmatched, UNKNOWN_NODE (-2) when
    // the node is not in the matching.
    int association(int node, TreeId tree) const;
    // Despite its name, true when node has no partner: it is unmatched or
    // not in the matching at all.
    bool associated(int node, TreeId tree) const;
    bool parentChanged(int node, TreeId tree) const;
};

} // namespace traxo

#endif
