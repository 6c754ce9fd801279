#include "workflow/subtreebounds.h"

#include "workflow/costmatrix.h"

#include <algorithm>
#include <limits>

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

SubtreeBounds::SubtreeBounds(const std::vector<int> &parent1, const std::vector<int> &parent2, const CostMatrix &matrix,
    float pairWeight, float unmatchedCosts)
    : m_count1(int(parent1.size()))
    , m_count2(int(parent2.size()))
{
    std::vector<std::vector<int>> children1;
    std::vector<std::vector<int>> children2;
    std::vector<int> order1;
    std::vector<int> order2;
    if (!childrenFirst(parent1, &children1, &order1) || !childrenFirst(parent2, &children2, &order2))
        return;

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
    for (int i : order1) {
        std::fill(childSums.begin(), childSums.end(), 0.0f);
        for (int child : children1[size_t(i)]) {
            const float *row = &m_bounds[size_t(child) * columns];
            for (size_t c = 0; c < columns; ++c)
                childSums[c] += row[c];
        }
        float bestPaired = std::numeric_limits<float>::infinity();
        for (int j = 0; j < m_count2; ++j) {
            paired[size_t(j)] = pairWeight * matrix.costsAt(i, j) + childSums[size_t(j)];
            bestPaired = std::min(bestPaired, paired[size_t(j)]);
        }
        for (int j : order2) {
            float cheapest = std::numeric_limits<float>::infinity();
            for (int child : children2[size_t(j)])
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

} // namespace traxo
