#include "workflow/pathexpander.h"

#include "workflow/costmatrix.h"
#include "workflow/treeid.h"
#include "workflow/workflowtree.h"

#include <algorithm>

namespace traxo {

PathExpander::PathExpander(const WorkflowTree &tree1, const WorkflowTree &tree2, const CostMatrix &matrix)
    : m_tree1(tree1)
    , m_tree2(tree2)
    , m_matrix(matrix)
{
}

float PathExpander::costForAssociation(int x, int y, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const
{
    const float c = m_matrix.costs(x, y);
    if (x == NULL_NODE || y == NULL_NODE)
        return c;
    const int p1 = m_tree1.parent(x);
    const int p2 = m_tree2.parent(y);
    // An undecided parent counts as unmatched: its pair is checked at the end.
    if (assoc1.value(p1, NULL_NODE) == NULL_NODE || assoc2.value(p2, NULL_NODE) == NULL_NODE)
        return c;
    if (p1 == UNKNOWN_NODE || p2 == UNKNOWN_NODE || assoc1.value(p1) != p2)
        return c + m_matrix.costsWrongParent();
    return c;
}

bool PathExpander::calcParentCostsLater(
    int x, int y, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const
{
    if (x == NULL_NODE || y == NULL_NODE)
        return false;
    return assoc1.value(m_tree1.parent(x), NULL_NODE) == NULL_NODE
        || assoc2.value(m_tree2.parent(y), NULL_NODE) == NULL_NODE;
}

float PathExpander::costForUnmatchedNodes(qsizetype count) const
{
    return float(count) * m_matrix.costsUnmatchedNode();
}

float PathExpander::calcMissingParentCosts(
    const QHash<int, bool> &parentCostsLater, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const
{
    float sum = 0;
    for (auto later = parentCostsLater.cbegin(); later != parentCostsLater.cend(); ++later) {
        if (later.value() && parentChanged(later.key(), assoc1, assoc2))
            sum += m_matrix.costsWrongParent();
    }
    return sum;
}

int PathExpander::matchedAncestor(const WorkflowTree &tree, int node, const QHash<int, int> &assoc)
{
    int ancestor = tree.parent(node);
    for (int steps = 0; steps <= tree.count(); ++steps) {
        const auto partner = assoc.constFind(ancestor);
        if (partner == assoc.cend() || partner.value() != NULL_NODE)
            return ancestor;
        ancestor = tree.parent(ancestor);
    }
    return UNKNOWN_NODE;
}

bool PathExpander::parentChanged(int node, const QHash<int, int> &assoc1, const QHash<int, int> &assoc2) const
{
    const int partner = assoc1.value(node, NULL_NODE);
    if (node < 0 || partner < 0 || !m_tree1.contains(node) || !m_tree2.contains(partner))
        return false;
    const int ancestor1 = matchedAncestor(m_tree1, node, assoc1);
    const int ancestor2 = matchedAncestor(m_tree2, partner, assoc2);
    return ancestor1 == UNKNOWN_NODE || assoc1.value(ancestor1, UNKNOWN_NODE) != ancestor2;
}

float PathExpander::heuristicCosts(const QList<int> &remaining1, const QList<int> &remaining2) const
{
    const bool firstShorter = remaining1.size() < remaining2.size();
    const QList<int> &shorter = firstShorter ? remaining1 : remaining2;
    const QList<int> &longer = firstShorter ? remaining2 : remaining1;
    float h = costForUnmatchedNodes(longer.size() - shorter.size());
    for (int s : shorter) {
        float cheapest = m_matrix.costsUnmatchedNode();
        for (int l : longer)
            cheapest = std::min(cheapest, firstShorter ? m_matrix.costs(s, l) : m_matrix.costs(l, s));
        h += cheapest;
    }
    return h;
}

} // namespace traxo
