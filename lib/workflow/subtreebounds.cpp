#include "workflow/subtreebounds.h"

#include "workflow/costmatrix.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace traxo {

namespace {

// Children lists and an order that puts every node after its children;
// false when some node is not reached from a root (a circle).
bool childrenFirst(const std::vector<int> &parents, std::vector<std::vector<int>> *children, std::vector<int> *order)
{
    const size_t count = parents.size();
    children->assign(count, {});
    std::vector<int> roots;
    for (size_t node = 0; node < count; ++node) {
        if (parents[node] >= 0)
            (*children)[size_t(parents[node])].push_back(int(node));
        else
            roots.push_back(int(node));
    }
    order->clear();
    order->reserve(count);
    std::vector<int> stack = roots;
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        order->push_back(node);
        for (int child : (*children)[size_t(node)])
            stack.push_back(child);
    }
    if (order->size() != count)
        return false;
    std::reverse(order->begin(), order->end());
    return true;
}

} // namespace

struct SubtreeBounds::Trees
{
    std::vector<std::vector<int>> children1;
    std::vector<std::vector<int>> children2;
    std::vector<int> order1;
    std::vector<int> order2;
};

SubtreeBounds::SubtreeBounds(const std::vector<int> &parent1, const std::vector<int> &parent2, const CostMatrix &matrix,
    float pairWeight, float unmatchedCosts, int priceRounds)
    : m_count1(int(parent1.size()))
    , m_count2(int(parent2.size()))
{
    Trees trees;
    if (!childrenFirst(parent1, &trees.children1, &trees.order1)
        || !childrenFirst(parent2, &trees.children2, &trees.order2))
        return;
    for (int i = 0; i < m_count1; ++i) {
        if (parent1[size_t(i)] < 0)
            m_roots.push_back(parent1[size_t(i)] == -1 ? i : -1 - i);
    }
    fill(trees, matrix, pairWeight, unmatchedCosts);
    if (priceRounds <= 0 || m_count2 == 0)
        return;

    // Subgradient steps: a node that several nodes pair with gets dearer, one
    // that none pairs with cheaper. Prices stay multiples of a quarter so
    // that sums of whole costs stay exact in floats.
    m_prices.assign(size_t(m_count2), 0);
    std::vector<float> bestPrices = m_prices;
    float best = rootBound();
    float step = pairWeight * matrix.costsWrongParent() / 2;
    for (int round = 0; round < priceRounds; ++round) {
        const std::vector<int> used = uses(trees, matrix, pairWeight, unmatchedCosts);
        bool changed = false;
        for (int j = 0; j < m_count2; ++j) {
            const float price = std::max(0.0f, m_prices[size_t(j)] + step * float(used[size_t(j)] - 1));
            const float rounded = std::round(price * 4) / 4;
            changed = changed || rounded != m_prices[size_t(j)];
            m_prices[size_t(j)] = rounded;
        }
        if (!changed)
            break;
        fill(trees, matrix, pairWeight, unmatchedCosts);
        const float bound = rootBound();
        if (bound > best) {
            best = bound;
            bestPrices = m_prices;
        }
        step *= 0.9f;
    }
    if (m_prices != bestPrices) {
        m_prices = std::move(bestPrices);
        fill(trees, matrix, pairWeight, unmatchedCosts);
    }
}

float SubtreeBounds::priceSum() const
{
    return std::accumulate(m_prices.begin(), m_prices.end(), 0.0f);
}

float SubtreeBounds::rootBound() const
{
    float sum = -priceSum();
    for (int root : m_roots)
        sum += root >= 0 ? at(root, AnyAncestor) : at(-1 - root, NoAncestor);
    return sum;
}

void SubtreeBounds::fill(const Trees &trees, const CostMatrix &matrix, float pairWeight, float unmatchedCosts)
{
    const size_t columns = size_t(m_count2) + 2;
    const size_t any = size_t(m_count2);
    const size_t none = any + 1;
    const float penalty = matrix.costsWrongParent();
    m_bounds.assign(size_t(m_count1) * columns, 0);
    // childSums[c]: what i's children cost when the partner of their nearest
    // matched ancestor is column c. paired[j]: i paired with j, penalty aside.
    // below[j]: the cheapest pairing with a node below j.
    std::vector<float> childSums(columns);
    std::vector<float> paired(static_cast<size_t>(m_count2));
    std::vector<float> below(static_cast<size_t>(m_count2));
    for (int i : trees.order1) {
        std::fill(childSums.begin(), childSums.end(), 0.0f);
        for (int child : trees.children1[size_t(i)]) {
            const float *row = &m_bounds[size_t(child) * columns];
            for (size_t c = 0; c < columns; ++c)
                childSums[c] += row[c];
        }
        float bestPaired = std::numeric_limits<float>::infinity();
        for (int j = 0; j < m_count2; ++j) {
            paired[size_t(j)] = pairWeight * matrix.costsAt(i, j) + price(j) + childSums[size_t(j)];
            bestPaired = std::min(bestPaired, paired[size_t(j)]);
        }
        for (int j : trees.order2) {
            float cheapest = std::numeric_limits<float>::infinity();
            for (int child : trees.children2[size_t(j)])
                cheapest = std::min({ cheapest, paired[size_t(child)], below[size_t(child)] });
            below[size_t(j)] = cheapest;
        }
        float *row = &m_bounds[size_t(i) * columns];
        const float withPenalty = bestPaired + penalty;
        for (int b = 0; b < m_count2; ++b)
            row[b] = std::min({ unmatchedCosts + childSums[size_t(b)], below[size_t(b)], withPenalty });
        row[any] = std::min(unmatchedCosts + childSums[any], bestPaired);
        row[none] = std::min(unmatchedCosts + childSums[none], withPenalty);
    }
}

std::vector<int> SubtreeBounds::uses(
    const Trees &trees, const CostMatrix &matrix, float pairWeight, float unmatchedCosts) const
{
    // Walks the cheapest choices down from the roots, working out each
    // node's choice again from its children's bounds.
    const size_t columns = size_t(m_count2) + 2;
    const int any = m_count2;
    const int none = m_count2 + 1;
    std::vector<int> used(size_t(m_count2), 0);
    std::vector<float> childSums(columns);
    std::vector<float> paired(static_cast<size_t>(m_count2));
    std::vector<std::pair<int, int>> stack;
    for (int root : m_roots)
        stack.emplace_back(root >= 0 ? root : -1 - root, root >= 0 ? any : none);
    std::vector<int> below;
    while (!stack.empty()) {
        const auto [i, column] = stack.back();
        stack.pop_back();
        std::fill(childSums.begin(), childSums.end(), 0.0f);
        for (int child : trees.children1[size_t(i)]) {
            const float *row = &m_bounds[size_t(child) * columns];
            for (size_t c = 0; c < columns; ++c)
                childSums[c] += row[c];
        }
        int bestPaired = -1;
        for (int j = 0; j < m_count2; ++j) {
            paired[size_t(j)] = pairWeight * matrix.costsAt(i, j) + price(j) + childSums[size_t(j)];
            if (bestPaired < 0 || paired[size_t(j)] < paired[size_t(bestPaired)])
                bestPaired = j;
        }
        int bestBelow = -1;
        if (column < m_count2) {
            below = trees.children2[size_t(column)];
            while (!below.empty()) {
                const int node = below.back();
                below.pop_back();
                if (bestBelow < 0 || paired[size_t(node)] < paired[size_t(bestBelow)])
                    bestBelow = node;
                below.insert(below.end(), trees.children2[size_t(node)].begin(), trees.children2[size_t(node)].end());
            }
        }
        const float unmatched = unmatchedCosts + childSums[size_t(column)];
        const float penalised = paired[size_t(bestPaired)] + (column == any ? 0 : matrix.costsWrongParent());
        int partner = -1;
        float cheapest = unmatched;
        if (bestBelow >= 0 && paired[size_t(bestBelow)] < cheapest) {
            partner = bestBelow;
            cheapest = paired[size_t(bestBelow)];
        }
        if (penalised < cheapest)
            partner = bestPaired;
        if (partner >= 0)
            ++used[size_t(partner)];
        for (int child : trees.children1[size_t(i)])
            stack.emplace_back(child, partner >= 0 ? partner : column);
    }
    return used;
}

} // namespace traxo
