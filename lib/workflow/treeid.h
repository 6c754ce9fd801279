#ifndef TRAXO_TREEID_H
#define TRAXO_TREEID_H

namespace traxo {

// Which of the two trees of a diff a node id belongs to.
enum TreeId { FirstTree = 1, SecondTree = 2 };

// The partner of a node that is left unmatched.
constexpr int NULL_NODE = -3;
// The parent id of a root; the two trees' roots hang below it, and it is
// always matched with itself so that roots have corresponding parents.
constexpr int NODE_ABOVE_ROOT = -1;
// What lookups of ids that are not in a tree yield.
constexpr int UNKNOWN_NODE = -2;

} // namespace traxo

#endif
