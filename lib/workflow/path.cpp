#include "workflow/path.h"

#include "workflow/costmatrix.h"
#include "workflow/pathexpander.h"

#include <QVarLengthArray>

#include <algorithm>
#include <limits>

namespace traxo {

Path::Path(const PathExpander *expander, VisitedStates *visited)
    : m_expander(expander)
    , m_visited(visited)
{
    if (!expander)
        return;
    m_partner1.assign(size_t(expander->count1()), PathExpander::Undecided);
    m_partner2.assign(size_t(expander->count2()), PathExpander::Undecided);
    m_undecided2 = expander->count2();
    for (int i = 0; i < expander->count1(); ++i)
        m_shares1 += expander->share1(i, m_partner1, m_partner2);
    for (int j = 0; j < expander->count2(); ++j)
        m_shares2 += expander->share2(j, m_partner1);
    for (int w = 0; w < PathExpander::Weightings; ++w)
        m_frontier[w] = expander->frontierStart(PathExpander::Weighting(w));
    m_prices = expander->priceStart();
    // With nothing to decide in the first tree no association ever runs, so
    // the second tree's nodes are left unmatched here.
    if (expander->count1() == 0)
        finish();
}

Path::Path(const Path &other)
    : m_expander(other.m_expander)
    , m_visited(other.m_visited)
    , m_decisions(other.m_decisions)
    , m_partner1(other.m_partner1)
    , m_partner2(other.m_partner2)
    , m_decidedLater(other.m_decidedLater)
    , m_paidInAdvance(other.m_paidInAdvance)
    , m_decided(other.m_decided)
    , m_duplicate(other.m_duplicate)
    , m_undecided2(other.m_undecided2)
    , m_costs(other.m_costs)
    , m_shares1(other.m_shares1)
    , m_shares2(other.m_shares2)
    , m_prices(other.m_prices)
{
    std::copy(std::begin(other.m_frontier), std::end(other.m_frontier), std::begin(m_frontier));
}

Path::~Path() = default;

int Path::toPriority(float estimate) const
{
    return m_expander ? m_expander->priority(estimate) : 0;
}

bool Path::isFinished() const
{
    return !m_expander || m_decided == m_expander->count1();
}

bool Path::isGoal() const
{
    return isFinished() && !m_duplicate;
}

float Path::estimate() const
{
    if (isFinished())
        return m_costs;
    return m_costs
        + m_expander->heuristicCosts(
            m_shares1, m_shares2, m_expander->count1() - m_decided, m_undecided2, m_frontier, m_prices);
}

void Path::shareChanges(int i, int j, float *change1, float *change2, PathExpander::Stops *stops, ShareCache *cache)
{
    // Only these shares can change: nodes that could pair cheaply with i or
    // j lose a candidate, and i's children learn their ancestor's partner.
    // Others may only grow, so keeping them stays a lower bound.
    QVarLengthArray<int, 16> affected1;
    QVarLengthArray<int, 16> affected2;
    const auto undecided1
        = [this, i](int node) { return node != i && m_partner1[size_t(node)] == PathExpander::Undecided; };
    if (j >= 0) {
        for (const PathExpander::Candidate &other : m_expander->cheap2(j)) {
            if (undecided1(other.index))
                affected1.append(other.index);
        }
    }
    for (int child : m_expander->children1(i)) {
        if (undecided1(child) && !affected1.contains(child))
            affected1.append(child);
    }
    for (const PathExpander::Candidate &other : m_expander->cheap1(i)) {
        if (other.index != j && m_partner2[size_t(other.index)] == PathExpander::Undecided)
            affected2.append(other.index);
    }

    // The shares before, from the cache when there is one; with it, a share
    // whose pair stays possible at its cost is known not to change.
    const auto before1 = [&](int node) {
        if (!cache)
            return m_expander->share1(node, m_partner1, m_partner2, stops);
        if (!cache->known1[size_t(node)]) {
            cache->share1[size_t(node)]
                = m_expander->share1(node, m_partner1, m_partner2, stops, &cache->witness1[size_t(node)]);
            cache->known1[size_t(node)] = 1;
        }
        return cache->share1[size_t(node)];
    };
    const auto before2 = [&](int node) {
        if (!cache)
            return m_expander->share2(node, m_partner1);
        if (!cache->known2[size_t(node)]) {
            cache->share2[size_t(node)] = m_expander->share2(node, m_partner1, &cache->witness2[size_t(node)]);
            cache->known2[size_t(node)] = 1;
        }
        return cache->share2[size_t(node)];
    };
    const auto kept1 = [&](int node) {
        if (!cache || m_expander->parent1(node) == i)
            return false;
        const int witness = cache->witness1[size_t(node)];
        if (witness < 0 || j < 0)
            return true;
        if (witness == j || !stops || !stops->isValid())
            return false;
        // Matching j may put it between the witness and its stop.
        stops->taken = j;
        const bool same = m_expander->stopOf(witness, *stops) == stops->stop[size_t(witness)];
        stops->taken = -1;
        return same;
    };

    float d1 = -before1(i);
    float d2 = j >= 0 ? -before2(j) : 0;
    QVarLengthArray<int, 16> again1;
    QVarLengthArray<int, 16> again2;
    for (int node : affected1) {
        const float share = before1(node);
        if (!kept1(node)) {
            d1 -= share;
            again1.append(node);
        }
    }
    for (int node : affected2) {
        const float share = before2(node);
        if (!cache || cache->witness2[size_t(node)] == i) {
            d2 -= share;
            again2.append(node);
        }
    }
    m_partner1[size_t(i)] = j;
    if (j >= 0)
        m_partner2[size_t(j)] = i;
    if (stops)
        stops->taken = j;
    for (int node : again1)
        d1 += m_expander->share1(node, m_partner1, m_partner2, stops);
    if (stops)
        stops->taken = -1;
    for (int node : again2)
        d2 += m_expander->share2(node, m_partner1);
    m_partner1[size_t(i)] = PathExpander::Undecided;
    if (j >= 0)
        m_partner2[size_t(j)] = PathExpander::Undecided;
    *change1 = d1;
    *change2 = d2;
}

float Path::childEstimate(int j, bool *decidedLater, PathExpander::Stops *stops, ShareCache *cache)
{
    const int i = m_expander->decisionOrder()[size_t(m_decided)];
    if (m_decided + 1 == m_expander->count1()) {
        // The last decision settles the whole matching: its cost is exact.
        Path child(*this);
        child.associate(i, j);
        *decidedLater = !child.m_decidedLater.empty() && child.m_decidedLater.back() == i;
        return child.m_costs;
    }
    const float costs = m_costs + m_expander->associationCosts(i, j, m_partner1, m_partner2, decidedLater, stops);
    float change1 = 0;
    float change2 = 0;
    shareChanges(i, j, &change1, &change2, stops, cache);
    return costs + heuristicAfter(i, j, m_shares1 + change1, m_shares2 + change2);
}

float Path::heuristicAfter(int i, int j, float shares1, float shares2) const
{
    float frontier[PathExpander::Weightings];
    frontierAfter(i, j, frontier);
    return m_expander->heuristicCosts(shares1, shares2, m_expander->count1() - m_decided - 1,
        m_undecided2 - (j >= 0 ? 1 : 0), frontier, m_prices - (j >= 0 ? m_expander->price(j) : 0));
}

void Path::frontierAfter(int i, int j, float *frontier) const
{
    for (int w = 0; w < PathExpander::Weightings; ++w)
        frontier[w] = m_frontier[w] + m_expander->frontierChange(PathExpander::Weighting(w), i, j, m_partner1);
}

float Path::estimateBelow(int i, int j, float shares1Without, const PathExpander::Stops &stops) const
{
    // The shares of nodes other than i and j only grow when i is decided,
    // so leaving them as they are gives at most the estimate childEstimate
    // works out, for every way of deciding the pair.
    bool later = false;
    const float costs = m_costs + m_expander->associationCosts(i, j, m_partner1, m_partner2, &later, &stops);
    const float shares2 = m_shares2 - (j >= 0 ? m_expander->share2(j, m_partner1) : 0);
    return costs + heuristicAfter(i, j, shares1Without, shares2);
}

void Path::makeChildren()
{
    // A pair that would leave more nodes unmatched is rarely worth it: it
    // waits for the goal like any open penalty. Splitting matters where
    // steps look alike (an unsplit open penalty hides a moved step's cost);
    // the stop tables keep counting the nodes on the way cheap.
    constexpr size_t MaxKeptUnmatched = 32;
    // A path that needed many children is likely to need many more: keep as
    // many as were pushed already, so that making them again stays rare.
    const int kept = std::min(std::max(8, m_pushedChildren), 256);
    const int i = m_expander->decisionOrder()[size_t(m_decided)];
    const bool last = m_decided + 1 == m_expander->count1();

    // Every child first gets a cheap bound of its estimate, in the order
    // the children are listed; the shares are worked out again only for
    // those that can be among the next few, the others cannot come before
    // them.
    std::vector<Child> children;
    children.reserve(size_t(m_undecided2) + 1);
    PathExpander::Stops stops;
    m_expander->fillStops(m_partner2, &stops);
    ShareCache cache;
    cache.share1.resize(size_t(m_expander->count1()));
    cache.witness1.resize(size_t(m_expander->count1()));
    cache.known1.assign(size_t(m_expander->count1()), 0);
    cache.share2.resize(size_t(m_expander->count2()));
    cache.witness2.resize(size_t(m_expander->count2()));
    cache.known2.assign(size_t(m_expander->count2()), 0);
    const float shares1Without = m_shares1 - m_expander->share1(i, m_partner1, m_partner2, &stops);
    std::vector<int> undecided;
    const auto add = [&](int j) {
        undecided.clear();
        // The stop tables count the nodes on the way; only a short way is
        // walked to list them.
        const bool split = !last && j >= 0
            && m_expander->penaltyStatus(i, j, m_partner1, m_partner2, nullptr, &stops) == PathExpander::Penalty::Open
            && (!stops.isValid() || size_t(stops.undecided[size_t(j)]) <= MaxKeptUnmatched)
            && m_expander->penaltyStatus(i, j, m_partner1, m_partner2, &undecided) == PathExpander::Penalty::Open
            && !undecided.empty() && undecided.size() <= MaxKeptUnmatched;
        const float bound = last ? 0 : estimateBelow(i, j, shares1Without, stops);
        if (split) {
            children.push_back({ bound, toPriority(bound), false, Choice::KeepUnmatched, j });
            children.push_back({ bound, toPriority(bound), false, Choice::PayPenalty, j });
        } else {
            children.push_back({ bound, toPriority(bound), false, Choice::Plain, j });
        }
    };
    // Searching for the cheapest matching only, of twin leaves only the
    // first still free is tried: the others give matchings of equal cost.
    const bool twinsOnce = m_visited && m_visited->capacity() == 1;
    for (int j = 0; j < m_expander->count2(); ++j) {
        if (m_partner2[size_t(j)] != PathExpander::Undecided)
            continue;
        const int twin = m_expander->twinBefore2(j);
        if (twinsOnce && twin >= 0 && m_partner2[size_t(twin)] == PathExpander::Undecided)
            continue;
        add(j);
    }
    add(PathExpander::Unmatched);
    for (size_t position = 0; position < children.size(); ++position)
        children[position].position = int(position);

    // A split pair's twins cover some of the matchings of the unsplit pair,
    // whose estimate is therefore a bound of theirs (plus the penalty for
    // the twin that pays it); the exact estimate comes when one is pushed.
    const auto evaluate = [this, &stops, &cache](Child &child) {
        child.estimate = childEstimate(child.partner, &child.decidedLater, &stops, &cache);
        if (child.choice == Choice::PayPenalty)
            child.estimate += m_expander->matrix().costsWrongParent();
        child.priority = toPriority(child.estimate);
    };
    m_childCount = int(children.size());
    const size_t needed = size_t(m_pushedChildren + kept);
    std::stable_sort(
        children.begin(), children.end(), [](const Child &a, const Child &b) { return a.priority < b.priority; });
    // The needed-th best priority among the children worked out so far.
    std::vector<int> best;
    size_t evaluated = 0;
    for (; evaluated < children.size(); ++evaluated) {
        Child &child = children[evaluated];
        if (best.size() == needed && child.priority > best.front())
            break;
        evaluate(child);
        best.push_back(child.priority);
        std::push_heap(best.begin(), best.end());
        if (best.size() > needed) {
            std::pop_heap(best.begin(), best.end());
            best.pop_back();
        }
    }
    children.resize(evaluated);
    // Among equal estimates a pair whose parents already agree goes first: a
    // put-off penalty may still come. The order is the same every time the
    // children are made, so the ones pushed already can be skipped.
    std::sort(children.begin(), children.end(), [](const Child &a, const Child &b) {
        const int pa = a.priority;
        const int pb = b.priority;
        if (pa != pb)
            return pa < pb;
        if (a.decidedLater != b.decidedLater)
            return !a.decidedLater;
        return a.position < b.position;
    });
    const auto first = children.begin() + std::min(m_pushedChildren, int(children.size()));
    m_children.assign(first, first + std::min(kept, int(children.end() - first)));
}

void Path::expand(PriorityQueue<QSharedPointer<Path>> &queue, const QSharedPointer<Path> &self)
{
    if (isFinished())
        return;
    buildTables();
    if (m_children.empty())
        makeChildren();

    const Child next = m_children.front();
    m_children.erase(m_children.begin());
    ++m_pushedChildren;
    auto child = QSharedPointer<Path>::create(*this);
    PathExpander::Stops stops;
    m_expander->fillStops(m_partner2, &stops);
    child->associate(m_expander->decisionOrder()[size_t(m_decided)], next.partner, next.choice, &stops);
    const bool merged = m_visited && !child->isFinished()
        && !m_visited->admit(
            m_expander->stateKey(child->m_decided, child->m_partner1, child->m_partner2, child->m_decidedLater),
            child->m_costs);
    // Settling put-off penalties may have raised the child's estimate.
    if (!merged && !child->m_duplicate)
        queue.push(child, toPriority(std::max(next.estimate, child->estimate())), child->m_decided);
    child->dropTables();

    if (m_pushedChildren < m_childCount) {
        if (m_children.empty())
            makeChildren();
        queue.push(self, toPriority(m_children.front().estimate), m_decided);
    } else {
        std::vector<Child>().swap(m_children);
    }
    dropTables();
}

void Path::buildTables() const
{
    if (!m_expander || m_partner1.size() == size_t(m_expander->count1()))
        return;
    m_partner1.assign(size_t(m_expander->count1()), PathExpander::Undecided);
    m_partner2.assign(size_t(m_expander->count2()), PathExpander::Undecided);
    int decided = m_decided;
    for (const Decision *decision = m_decisions.get(); decision && decided > 0;
         decision = decision->previous.get(), --decided) {
        const int i = m_expander->decisionOrder()[size_t(decided - 1)];
        const int j = decision->partner;
        m_partner1[size_t(i)] = j;
        if (j >= 0)
            m_partner2[size_t(j)] = i;
        for (int node : decision->keptUnmatched)
            m_partner2[size_t(node)] = PathExpander::Unmatched;
    }
}

Path::Decision::~Decision()
{
    std::shared_ptr<Decision> next = std::move(previous);
    while (next && next.use_count() == 1) {
        std::shared_ptr<Decision> after = std::move(next->previous);
        next = std::move(after);
    }
}

void Path::dropTables() const
{
    if (isFinished())
        return;
    std::vector<int>().swap(m_partner1);
    std::vector<int>().swap(m_partner2);
}

void Path::associate(int i, int j, Choice choice, PathExpander::Stops *stops)
{
    auto decision = std::make_shared<Decision>();
    decision->previous = std::move(m_decisions);
    decision->partner = j;
    if (choice == Choice::KeepUnmatched) {
        m_expander->penaltyStatus(i, j, m_partner1, m_partner2, &decision->keptUnmatched);
        for (int node : decision->keptUnmatched)
            keepUnmatched(node, stops);
    }
    m_decisions = std::move(decision);
    bool later = false;
    m_costs += m_expander->associationCosts(i, j, m_partner1, m_partner2, &later);
    if (later && choice == Choice::PayPenalty) {
        m_costs += m_expander->matrix().costsWrongParent();
        m_paidInAdvance.push_back(i);
    } else if (later) {
        m_decidedLater.push_back(i);
    }
    frontierAfter(i, j, m_frontier);
    float change1 = 0;
    float change2 = 0;
    shareChanges(i, j, &change1, &change2, stops);
    m_shares1 += change1;
    m_shares2 += change2;
    m_partner1[size_t(i)] = j;
    if (j >= 0) {
        m_partner2[size_t(j)] = i;
        --m_undecided2;
        m_prices -= m_expander->price(j);
    }
    ++m_decided;
    if (m_decided == m_expander->count1()) {
        finish();
        return;
    }
    settlePenalties();
}

void Path::keepUnmatched(int j, const PathExpander::Stops *stops)
{
    // j leaves the second tree's undecided nodes: its share goes, and the
    // first-tree nodes that could pair cheaply with it may lose theirs.
    QVarLengthArray<int, 16> affected1;
    for (const PathExpander::Candidate &other : m_expander->cheap2(j)) {
        if (m_partner1[size_t(other.index)] == PathExpander::Undecided)
            affected1.append(other.index);
    }
    // Only a share that j gives can change: no penalty does.
    float change1 = 0;
    QVarLengthArray<int, 16> again;
    for (int node : affected1) {
        int witness = -1;
        const float share = m_expander->share1(node, m_partner1, m_partner2, stops, &witness);
        if (witness == j) {
            change1 -= share;
            again.append(node);
        }
    }
    m_shares2 -= m_expander->share2(j, m_partner1);
    m_partner2[size_t(j)] = PathExpander::Unmatched;
    for (int node : again)
        change1 += m_expander->share1(node, m_partner1, m_partner2, stops);
    m_shares1 += change1;
    m_costs += m_expander->matrix().costsUnmatchedNode();
    m_prices -= m_expander->price(j);
    --m_undecided2;
}

void Path::settlePenalties()
{
    // A put-off penalty is charged as soon as it is certain, so that the
    // search sees it long before the goal.
    auto open = m_decidedLater.begin();
    for (int i : m_decidedLater) {
        bool later = false;
        const float costs = m_expander->associationCosts(i, m_partner1[size_t(i)], m_partner1, m_partner2, &later);
        if (later)
            *open++ = i;
        else
            m_costs += costs - m_expander->matrix().costsAt(i, m_partner1[size_t(i)]);
    }
    m_decidedLater.erase(open, m_decidedLater.end());
}

void Path::finish()
{
    m_costs += float(m_undecided2) * m_expander->matrix().costsUnmatchedNode();
    for (int &partner : m_partner2) {
        if (partner == PathExpander::Undecided)
            partner = PathExpander::Unmatched;
    }
    m_undecided2 = 0;
    m_shares1 = m_shares2 = 0;
    for (int i : m_decidedLater) {
        if (m_expander->parentChanged(i, m_partner1, m_partner2))
            m_costs += m_expander->matrix().costsWrongParent();
    }
    // A pair that paid its penalty in advance stands for the matchings
    // where one of the nodes it waited on is matched; the others are the
    // ones its twin that kept them unmatched reaches.
    for (int i : m_paidInAdvance) {
        if (!m_expander->parentChanged(i, m_partner1, m_partner2))
            m_duplicate = true;
    }
}

QHash<int, int> Path::assoc1() const
{
    QHash<int, int> assoc { { NODE_ABOVE_ROOT, NODE_ABOVE_ROOT } };
    if (!m_expander)
        return assoc;
    buildTables();
    const CostMatrix &matrix = m_expander->matrix();
    for (size_t i = 0; i < m_partner1.size(); ++i) {
        const int partner = m_partner1[i];
        if (partner != PathExpander::Undecided)
            assoc.insert(matrix.ids1().at(qsizetype(i)), partner >= 0 ? matrix.ids2().at(partner) : NULL_NODE);
    }
    return assoc;
}

QHash<int, int> Path::assoc2() const
{
    QHash<int, int> assoc { { NODE_ABOVE_ROOT, NODE_ABOVE_ROOT } };
    if (!m_expander)
        return assoc;
    buildTables();
    const CostMatrix &matrix = m_expander->matrix();
    for (size_t j = 0; j < m_partner2.size(); ++j) {
        const int partner = m_partner2[j];
        if (partner != PathExpander::Undecided)
            assoc.insert(matrix.ids2().at(qsizetype(j)), partner >= 0 ? matrix.ids1().at(partner) : NULL_NODE);
    }
    return assoc;
}

bool Path::parentChanged(int node, TreeId tree) const
{
    if (!m_expander || !isFinished())
        return false;
    buildTables();
    int i = m_expander->matrix().index1(node);
    if (tree == SecondTree) {
        const int j = m_expander->matrix().index2(node);
        i = j < 0 ? -1 : m_partner2[size_t(j)];
    }
    return i >= 0 && m_expander->parentChanged(i, m_partner1, m_partner2);
}

QString Path::toString() const
{
    const QHash<int, int> assoc = assoc1();
    QList<int> keys = assoc.keys();
    std::sort(keys.begin(), keys.end());
    QString text = QStringLiteral("costs %1:").arg(double(m_costs));
    for (int x : std::as_const(keys)) {
        if (x != NODE_ABOVE_ROOT)
            text += QStringLiteral(" %1-%2").arg(x).arg(assoc.value(x));
    }
    return text;
}

} // namespace traxo
