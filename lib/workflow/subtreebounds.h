#ifndef TRAXO_SUBTREEBOUNDS_H
#define TRAXO_SUBTREEBOUNDS_H

#include <cstddef>
#include <vector>

namespace traxo {

class CostMatrix;

// A lower bound of what the subtree of a first-tree node costs, given the
// partner of its nearest matched ancestor. It relaxes the matching in one
// way only: a second-tree node may be the partner of several nodes. What
// stays is the tree structure, so a step that moved to another parent pays
// its penalty here long before the search reaches it: a pair avoids the
// penalty only when the partner of the nearest matched ancestor is an
// ancestor of the pair's second-tree node.
//
// A pair costs pairWeight times its matrix cost plus the penalty, an
// unmatched node unmatchedCosts; the search adds the second tree's part.
//
// Where many steps look alike, the relaxation lets several nodes count on
// one partner. Prices make that dear: every pair with second-tree node j
// also pays price(j), and a search that adds the bounds of its subtrees
// takes off the prices of the second-tree nodes still free. Any prices keep
// that a lower bound, because a real matching uses each of those nodes at
// most once; priceRounds rounds of subgradient steps look for prices that
// raise the bound of the whole first tree.
class SubtreeBounds
{
public:
    // The partner of the nearest matched ancestor when it agrees with any
    // node (the roots' parent, or not known yet) and when it agrees with none.
    static constexpr int AnyAncestor = -1;
    static constexpr int NoAncestor = -2;

    SubtreeBounds() = default;
    // parent1 and parent2 hold parent indices (-1 for the roots' parent,
    // other negative values for none). Trees with a node no root reaches
    // give no bound.
    SubtreeBounds(const std::vector<int> &parent1, const std::vector<int> &parent2, const CostMatrix &matrix,
        float pairWeight, float unmatchedCosts, int priceRounds = 0);

    bool isValid() const { return !m_bounds.empty() || m_count1 == 0; }
    // 0 when not valid.
    float at(int i, int ancestorPartner) const
    {
        if (m_bounds.empty())
            return 0;
        const int column = ancestorPartner >= 0 ? ancestorPartner
            : ancestorPartner == AnyAncestor    ? m_count2
                                                : m_count2 + 1;
        return m_bounds[std::size_t(i) * std::size_t(m_count2 + 2) + std::size_t(column)];
    }
    // 0 without prices.
    float price(int j) const { return m_prices.empty() ? 0 : m_prices[std::size_t(j)]; }
    float priceSum() const;
    // The bound of the whole first tree: its roots' bounds less every price.
    float rootBound() const;

private:
    struct Trees;
    void fill(const Trees &trees, const CostMatrix &matrix, float pairWeight, float unmatchedCosts);
    // How many of the cheapest choices behind rootBound() pair a node with
    // each second-tree node.
    std::vector<int> uses(const Trees &trees, const CostMatrix &matrix, float pairWeight, float unmatchedCosts) const;

    int m_count1 = 0;
    int m_count2 = 0;
    std::vector<int> m_roots;
    // Per first-tree node: one column per second-tree node, then AnyAncestor
    // and NoAncestor.
    std::vector<float> m_bounds;
    std::vector<float> m_prices;
};

} // namespace traxo

#endif
