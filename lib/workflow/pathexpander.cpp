#include "workflow/pathexpander.h"

#include "workflow/costmatrix.h"
#include "workflow/workflowtree.h"

#include <QQueue>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace traxo {

namespace {

quint64 mix(quint64 value)
{
    // splitmix64's finaliser: every input bit reaches every output bit.
    value += 0x9e3779b97f4a7c15ULL;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
    return value ^ (value >> 31);
}

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

    m_lastPosition.assign(m_parent1.size(), 0);
    for (size_t position = 0; position < m_order.size(); ++position)
        m_lastPosition[size_t(m_order[position])] = std::max(m_lastPosition[size_t(m_order[position])], int(position));
    for (size_t position = 0; position < m_order.size(); ++position) {
        int ancestor = m_parent1[size_t(m_order[position])];
        for (size_t steps = 0; ancestor >= 0 && steps < m_parent1.size(); ++steps) {
            int &last = m_lastPosition[size_t(ancestor)];
            last = std::max(last, int(position));
            ancestor = m_parent1[size_t(ancestor)];
        }
    }

    // Parents first and subtree intervals, for the stop tables.
    std::vector<std::vector<int>> children2(m_parent2.size());
    std::vector<int> stack;
    for (int j = 0; j < count2(); ++j) {
        const int parent = m_parent2[size_t(j)];
        if (parent >= 0)
            children2[size_t(parent)].push_back(j);
        else
            stack.push_back(j);
    }
    m_enter2.assign(m_parent2.size(), 0);
    m_leave2.assign(m_parent2.size(), 0);
    int clock = 0;
    // Entries of -1 - j close the subtree of j.
    while (!stack.empty()) {
        const int node = stack.back();
        stack.pop_back();
        if (node < 0) {
            m_leave2[size_t(-1 - node)] = clock;
            continue;
        }
        m_enter2[size_t(node)] = clock++;
        m_order2.push_back(node);
        stack.push_back(-1 - node);
        for (int child : children2[size_t(node)])
            stack.push_back(child);
    }
    if (m_order2.size() != m_parent2.size()) {
        m_order2.clear();
        m_enter2.clear();
        m_leave2.clear();
    }

    // The subtree bounds take a table of a float per pair for each weighting.
    if (quint64(count1()) * quint64(count2() + 2) <= MaxBoundEntries) {
        m_bounds[Half] = SubtreeBounds(m_parent1, m_parent2, matrix, 0.5f, matrix.costsUnmatchedNode());
        m_bounds[Full] = SubtreeBounds(m_parent1, m_parent2, matrix, 1.0f, 2 * matrix.costsUnmatchedNode());
        // A round takes a few passes over the table: large trees get fewer.
        const quint64 entries = quint64(count1()) * quint64(count2() + 2);
        const int rounds = int(std::min<quint64>(PriceRounds, MaxPriceWork / std::max<quint64>(entries, 1)));
        m_bounds[Priced] = SubtreeBounds(m_parent1, m_parent2, matrix, 1.0f, 2 * matrix.costsUnmatchedNode(), rounds);
    }

    // Twin leaves: same parent, same column of costs; found by a digest of
    // the column and confirmed entry by entry.
    m_twinBefore2.assign(size_t(count2()), -1);
    {
        std::vector<char> leaf(size_t(count2()), 1);
        for (int j = 0; j < count2(); ++j) {
            if (m_parent2[size_t(j)] >= 0)
                leaf[size_t(m_parent2[size_t(j)])] = 0;
        }
        std::unordered_map<quint64, int> lastWith;
        for (int j = 0; j < count2(); ++j) {
            if (!leaf[size_t(j)] || m_parent2[size_t(j)] == j)
                continue;
            quint64 digest = mix(quint64(qint64(m_parent2[size_t(j)]) + 3));
            for (int i = 0; i < count1(); ++i) {
                const float c = matrix.costsAt(i, j);
                quint32 bits = 0;
                std::memcpy(&bits, &c, sizeof bits);
                digest = mix(digest ^ bits);
            }
            const auto found = lastWith.find(digest);
            if (found != lastWith.end()) {
                const int twin = found->second;
                bool same = m_parent2[size_t(twin)] == m_parent2[size_t(j)];
                for (int i = 0; same && i < count1(); ++i)
                    same = matrix.costsAt(i, j) == matrix.costsAt(i, twin);
                if (same)
                    m_twinBefore2[size_t(j)] = twin;
            }
            lastWith[digest] = j;
        }
    }

    const auto whole = [](float value) { return std::isfinite(value) && std::floor(value) == value; };
    m_wholeCosts = whole(matrix.costsUnmatchedNode()) && whole(matrix.costsWrongParent());
    for (int i = 0; m_wholeCosts && i < count1(); ++i) {
        for (int j = 0; m_wholeCosts && j < count2(); ++j)
            m_wholeCosts = whole(matrix.costsAt(i, j));
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

void PathExpander::fillStops(const std::vector<int> &partner2, Stops *stops) const
{
    stops->taken = -1;
    stops->stop.resize(m_order2.size());
    stops->undecided.resize(m_order2.size());
    // Depth-first order puts parents first.
    for (int j : m_order2) {
        const int parent = m_parent2[size_t(j)];
        if (parent < 0 || partner2[size_t(parent)] >= 0) {
            stops->stop[size_t(j)] = parent;
            stops->undecided[size_t(j)] = 0;
        } else {
            stops->stop[size_t(j)] = stops->stop[size_t(parent)];
            stops->undecided[size_t(j)]
                = stops->undecided[size_t(parent)] + (partner2[size_t(parent)] == Undecided ? 1 : 0);
        }
    }
}

int PathExpander::stopOf(int j, const Stops &stops) const
{
    const int stop = stops.stop[size_t(j)];
    const int taken = stops.taken;
    // The node taken since is the nearest when it lies between j and its stop.
    const auto above = [this](int a, int b) {
        return m_enter2[size_t(a)] < m_enter2[size_t(b)] && m_leave2[size_t(b)] <= m_leave2[size_t(a)];
    };
    if (taken >= 0 && taken != j && above(taken, j) && (stop < 0 || above(stop, taken)))
        return taken;
    return stop;
}

float PathExpander::associationCosts(int i, int j, const std::vector<int> &partner1, const std::vector<int> &partner2,
    bool *decidedLater, const Stops *stops) const
{
    *decidedLater = false;
    if (j < 0)
        return m_matrix.costsUnmatchedNode();
    const Penalty penalty = penaltyStatus(i, j, partner1, partner2, nullptr, stops);
    *decidedLater = penalty == Penalty::Open;
    return m_matrix.costsAt(i, j) + (penalty == Penalty::Certain ? m_matrix.costsWrongParent() : 0);
}

PathExpander::Penalty PathExpander::penaltyStatus(int i, int j, const std::vector<int> &partner1,
    const std::vector<int> &partner2, std::vector<int> *undecidedOnTheWay, const Stops *stops) const
{
    // q: the partner of i's nearest matched ancestor, known once every
    // ancestor on the way up is decided.
    int q = NoAncestor;
    int ancestor = m_parent1[size_t(i)];
    for (size_t steps = 0; steps <= m_parent1.size() && q == NoAncestor; ++steps) {
        if (ancestor == NoAncestor)
            return Penalty::Certain;
        if (ancestor == AboveRoot) {
            q = AboveRoot;
            break;
        }
        const int partner = partner1[size_t(ancestor)];
        if (partner == Undecided)
            return Penalty::Open;
        if (partner >= 0)
            q = partner;
        ancestor = m_parent1[size_t(ancestor)];
    }
    if (q == NoAncestor)
        return Penalty::Open;
    if (stops && stops->isValid() && !undecidedOnTheWay && stops->taken < 0) {
        if (stopOf(j, *stops) != q)
            return Penalty::Certain;
        return stops->undecided[size_t(j)] > 0 ? Penalty::Open : Penalty::None;
    }

    // Walking up from j, q must come before any other matched node, and the
    // nodes passed must stay unmatched. An undecided node passed can only
    // be matched to a node other than q's partner, so it never helps.
    bool passedUndecided = false;
    ancestor = m_parent2[size_t(j)];
    for (size_t steps = 0; steps <= m_parent2.size(); ++steps) {
        if (ancestor == q)
            return passedUndecided ? Penalty::Open : Penalty::None;
        if (ancestor < 0 || partner2[size_t(ancestor)] >= 0)
            return Penalty::Certain;
        if (partner2[size_t(ancestor)] == Undecided) {
            passedUndecided = true;
            if (undecidedOnTheWay)
                undecidedOnTheWay->push_back(ancestor);
        }
        ancestor = m_parent2[size_t(ancestor)];
    }
    // A circle: leave it to the check at the end.
    return Penalty::Open;
}

VisitedStates::Key PathExpander::stateKey(int decided, const std::vector<int> &partner1,
    const std::vector<int> &partner2, const std::vector<int> &openPenalties) const
{
    // Two independent sums of mixed (position, value) terms; sums do not
    // depend on the order of the open penalties.
    VisitedStates::Key key;
    const auto add = [&key](quint64 domain, quint64 position, qint64 value) {
        const quint64 term = (domain << 56) ^ (position << 24) ^ quint64(value + 8);
        key.first += mix(term);
        key.second += mix(term ^ 0x5bd1e9955bd1e995ULL);
    };
    add(0, 0, decided);
    for (size_t j = 0; j < partner2.size(); ++j) {
        int code = partner2[j];
        // A partner whose subtree is decided can no longer be anyone's
        // nearest matched ancestor: only that j is taken matters.
        if (code >= 0 && m_lastPosition[size_t(code)] < decided)
            code = Unmatched - 1;
        add(1, j, code);
    }
    for (int i : openPenalties)
        add(2, quint64(partner1[size_t(i)]), ancestorPartner(i, partner1));
    return key;
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

bool PathExpander::penaltyCertain(int q, int j, const std::vector<int> &partner2, const Stops *stops) const
{
    if (q == NoPartner)
        return true;
    if (q == AnyPartner)
        return false;
    // q is matched (or the roots' parent), so it must be j's stop.
    if (stops && stops->isValid())
        return stopOf(j, *stops) != q;
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

float PathExpander::share1(
    int i, const std::vector<int> &partner1, const std::vector<int> &partner2, const Stops *stops, int *witness) const
{
    const int q = ancestorPartner(i, partner1);
    const float penalty = m_matrix.costsWrongParent();
    float best = m_matrix.costsUnmatchedNode();
    int bestIndex = -1;
    for (const Candidate &candidate : m_cheap1[size_t(i)]) {
        if (candidate.costs / 2 >= best)
            break;
        if (partner2[size_t(candidate.index)] != Undecided)
            continue;
        const float costs = candidate.costs + (penaltyCertain(q, candidate.index, partner2, stops) ? penalty : 0);
        if (costs / 2 < best) {
            best = costs / 2;
            bestIndex = candidate.index;
        }
    }
    if (witness)
        *witness = bestIndex;
    return best;
}

float PathExpander::share2(int j, const std::vector<int> &partner1, int *witness) const
{
    for (const Candidate &candidate : m_cheap2[size_t(j)]) {
        if (partner1[size_t(candidate.index)] == Undecided) {
            if (witness)
                *witness = candidate.index;
            return candidate.costs / 2;
        }
    }
    if (witness)
        *witness = -1;
    return m_matrix.costsUnmatchedNode();
}

float PathExpander::frontierStart(Weighting weighting) const
{
    float sum = 0;
    for (int i = 0; i < count1(); ++i) {
        const int parent = m_parent1[size_t(i)];
        if (parent == AboveRoot)
            sum += m_bounds[weighting].at(i, SubtreeBounds::AnyAncestor);
        else if (parent < 0)
            sum += m_bounds[weighting].at(i, SubtreeBounds::NoAncestor);
    }
    return sum;
}

float PathExpander::frontierChange(Weighting weighting, int i, int j, const std::vector<int> &partner1) const
{
    const SubtreeBounds &bounds = m_bounds[weighting];
    const int q = ancestorPartner(i, partner1);
    const int column = q >= 0               ? q
        : q == AboveRoot || q == AnyPartner ? SubtreeBounds::AnyAncestor
                                            : SubtreeBounds::NoAncestor;
    float change = -bounds.at(i, column);
    for (int child : m_children1[size_t(i)])
        change += bounds.at(child, j >= 0 ? j : column);
    return change;
}

int PathExpander::priority(float estimate) const
{
    constexpr float top = float(std::numeric_limits<int>::max() / 2);
    if (!(estimate < top))
        return int(top);
    if (!(estimate > -top))
        return -int(top);
    // Bounds are sums of halves and quarters of whole costs, exact in
    // floats; the slack only guards against a sum that is not.
    return m_wholeCosts ? int(std::ceil(estimate - 0.01f)) : int(estimate);
}

float PathExpander::heuristicCosts(
    float sum1, float sum2, int count1, int count2, const float *frontier, float prices) const
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
    const float subtreesHalf = frontier[Half] + sum2;
    const float subtreesFull = std::max(frontier[Full], frontier[Priced] - prices) + unmatched * float(count2 - count1);
    return std::max({ both, fromFirst, fromSecond, subtreesHalf, subtreesFull, 0.0f });
}

} // namespace traxo
