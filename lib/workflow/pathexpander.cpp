#include "workflow/pathexpander.h"

#include "workflow/costmatrix.h"
#include "workflow/workflowtree.h"

#include <QQueue>

#include <algorithm>

namespace traxo {

namespace {

std::vector<int> parentIndices(const WorkflowTree &tree, const QList<int> &ids, const QHash<int, int> &index)
{
    std::vector<int> parents;
    parents.reserve(size_t(ids.size()));
    for (int id : ids) {
        const int parent = tree.parent(id);
        parents.push_back(parent == -1 ? PathExpander::AboveRoot : index.value(parent, PathExpander::NoAncestor));
    }
    return parents;
}

} // namespace

PathExpander::PathExpander(const WorkflowTree &tree1, const WorkflowTree &tree2, const CostMatrix &matrix)
    : m_matrix(matrix)
{
    const QList<int> &ids1 = matrix.ids1();
    const QList<int> &ids2 = matrix.ids2();
    QHash<int, int> index1;
    QHash<int, int> index2;
    for (int i = 0; i < ids1.size(); ++i)
        index1.insert(ids1.at(i), i);
    for (int j = 0; j < ids2.size(); ++j)
        index2.insert(ids2.at(j), j);
    m_parent1 = parentIndices(tree1, ids1, index1);
    m_parent2 = parentIndices(tree2, ids2, index2);
    m_children1.resize(m_parent1.size());
    for (int i = 0; i < count1(); ++i) {
        if (m_parent1[size_t(i)] >= 0 && m_parent1[size_t(i)] != i)
            m_children1[size_t(m_parent1[size_t(i)])].push_back(i);
    }

    // Breadth-first from the roots; nodes no root reaches (hand-made
    // circles, missing parents) follow in id order.
    std::vector<char> placed(m_parent1.size(), 0);
    QQueue<int> queue;
    for (int i = 0; i < count1(); ++i) {
        if (m_parent1[size_t(i)] == AboveRoot)
            queue.enqueue(i);
    }
    while (!queue.isEmpty()) {
        const int i = queue.dequeue();
        if (placed[size_t(i)])
            continue;
        placed[size_t(i)] = 1;
        m_order.push_back(i);
        for (int child : tree1.children(ids1.at(i)))
            queue.enqueue(index1.value(child));
    }
    for (int i = 0; i < count1(); ++i) {
        if (!placed[size_t(i)])
            m_order.push_back(i);
    }

    const float bothUnmatched = 2 * matrix.costsUnmatchedNode();
    m_cheap1.resize(size_t(count1()));
    m_cheap2.resize(size_t(count2()));
    for (int i = 0; i < count1(); ++i) {
        for (int j = 0; j < count2(); ++j) {
            const float c = matrix.costsAt(i, j);
            if (c < bothUnmatched) {
                m_cheap1[size_t(i)].push_back({ c, j });
                m_cheap2[size_t(j)].push_back({ c, i });
            }
        }
    }
    const auto cheaper = [](const Candidate &a, const Candidate &b) { return a.costs < b.costs; };
    for (auto &list : m_cheap1)
        std::stable_sort(list.begin(), list.end(), cheaper);
    for (auto &list : m_cheap2)
        std::stable_sort(list.begin(), list.end(), cheaper);
}

float PathExpander::associationCosts(
    int i, int j, const std::vector<int> &partner1, const std::vector<int> &partner2, bool *decidedLater) const
{
    *decidedLater = false;
    if (j < 0)
        return m_matrix.costsUnmatchedNode();
    const float c = m_matrix.costsAt(i, j);
    const int p1 = m_parent1[size_t(i)];
    const int p2 = m_parent2[size_t(j)];
    // A parent counts as matched once it has a partner; an unmatched or
    // undecided one moves the check to the end, against the nearest
    // matched ancestors.
    const int partnerOfP1 = p1 == AboveRoot ? AboveRoot : p1 >= 0 ? partner1[size_t(p1)] : Undecided;
    const bool p2Matched = p2 == AboveRoot || (p2 >= 0 && partner2[size_t(p2)] >= 0);
    if ((partnerOfP1 < 0 && partnerOfP1 != AboveRoot) || !p2Matched) {
        *decidedLater = true;
        return c;
    }
    return partnerOfP1 == p2 ? c : c + m_matrix.costsWrongParent();
}

int PathExpander::matchedAncestor(const std::vector<int> &parents, int node, const std::vector<int> &partner)
{
    int ancestor = parents[size_t(node)];
    for (size_t steps = 0; steps <= parents.size(); ++steps) {
        if (ancestor < 0 || partner[size_t(ancestor)] != Unmatched)
            return ancestor;
        ancestor = parents[size_t(ancestor)];
    }
    return NoAncestor;
}

bool PathExpander::parentChanged(int i, const std::vector<int> &partner1, const std::vector<int> &partner2) const
{
    const int j = partner1[size_t(i)];
    if (j < 0)
        return false;
    const int ancestor1 = matchedAncestor(m_parent1, i, partner1);
    const int ancestor2 = matchedAncestor(m_parent2, j, partner2);
    if (ancestor1 == NoAncestor || ancestor2 == NoAncestor)
        return true;
    return (ancestor1 == AboveRoot ? AboveRoot : partner1[size_t(ancestor1)]) != ancestor2;
}

int PathExpander::ancestorPartner(int i, const std::vector<int> &partner1) const
{
    int ancestor = m_parent1[size_t(i)];
    for (size_t steps = 0; steps <= m_parent1.size(); ++steps) {
        if (ancestor == AboveRoot)
            return AboveRoot;
        if (ancestor < 0)
            return NoPartner;
        const int partner = partner1[size_t(ancestor)];
        if (partner == Undecided)
            return AnyPartner;
        if (partner >= 0)
            return partner;
        ancestor = m_parent1[size_t(ancestor)];
    }
    return NoPartner;
}

bool PathExpander::penaltyCertain(int q, int j, const std::vector<int> &partner2) const
{
    if (q == NoPartner)
        return true;
    if (q == AnyPartner)
        return false;
    // j's nearest matched ancestor can only be q when q is an ancestor of j
    // and nothing between them is matched.
    int ancestor = m_parent2[size_t(j)];
    for (size_t steps = 0; steps <= m_parent2.size(); ++steps) {
        if (ancestor == q)
            return false;
        if (ancestor < 0 || partner2[size_t(ancestor)] >= 0)
            return true;
        ancestor = m_parent2[size_t(ancestor)];
    }
    // A circle of undecided nodes: anything may still happen.
    return false;
}

float PathExpander::share1(int i, const std::vector<int> &partner1, const std::vector<int> &partner2) const
{
    const int q = ancestorPartner(i, partner1);
    const float penalty = m_matrix.costsWrongParent();
    float best = m_matrix.costsUnmatchedNode();
    for (const Candidate &candidate : m_cheap1[size_t(i)]) {
        if (candidate.costs / 2 >= best)
            break;
        if (partner2[size_t(candidate.index)] != Undecided)
            continue;
        const float costs = candidate.costs + (penaltyCertain(q, candidate.index, partner2) ? penalty : 0);
        best = std::min(best, costs / 2);
    }
    return best;
}

float PathExpander::share2(int j, const std::vector<int> &partner1) const
{
    for (const Candidate &candidate : m_cheap2[size_t(j)]) {
        if (partner1[size_t(candidate.index)] == Undecided)
            return candidate.costs / 2;
    }
    return m_matrix.costsUnmatchedNode();
}

float PathExpander::heuristicCosts(float sum1, float sum2, int count1, int count2) const
{
    // Every node pays at least its share, whether paired or unmatched. And
    // with m pairs, the nodes of one tree pay their pairs plus 15 for each
    // unmatched node twice over (the other tree has as many more unmatched
    // ones), beyond 15 for every node the other tree has in excess; a share
    // is at most half of either, which gives the two one-sided bounds.
    const float unmatched = m_matrix.costsUnmatchedNode();
    const float both = sum1 + sum2;
    const float fromFirst = 2 * sum1 + unmatched * float(count2 - count1);
    const float fromSecond = 2 * sum2 + unmatched * float(count1 - count2);
    return std::max({ both, fromFirst, fromSecond, 0.0f });
}

} // namespace traxo
