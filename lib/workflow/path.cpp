#include "workflow/path.h"

#include "workflow/pathexpander.h"
#include "workflow/workflowtree.h"

#include <algorithm>
#include <limits>

namespace traxo {

namespace {

// Costs come from a subclass that may return anything: out-of-range or NaN
// estimates must not reach the integer conversion.
int toPriority(float estimate)
{
    constexpr float top = float(std::numeric_limits<int>::max() / 2);
    if (!(estimate < top))
        return int(top);
    return estimate > -top ? int(estimate) : -int(top);
}

} // namespace

Path::Path(const PathExpander *expander)
    : m_expander(expander)
{
    m_assoc1.insert(NODE_ABOVE_ROOT, NODE_ABOVE_ROOT);
    m_assoc2.insert(NODE_ABOVE_ROOT, NODE_ABOVE_ROOT);
    if (!expander)
        return;
    m_remaining1 = expander->tree1().nodeIds();
    m_remaining2 = expander->tree2().nodeIds();
    // With nothing to decide in the first tree no association ever runs, so
    // the second tree's nodes are left unmatched here.
    if (m_remaining1.isEmpty())
        finish();
}

void Path::expand(PriorityQueue<QSharedPointer<Path>> &queue) const
{
    if (!m_expander || m_remaining1.isEmpty())
        return;
    const int x = m_remaining1.first();
    auto push = [&](int y) {
        auto child = QSharedPointer<Path>::create(*this);
        child->associate(x, y);
        const float estimate = child->m_costs + m_expander->heuristicCosts(child->m_remaining1, child->m_remaining2);
        queue.push(child, toPriority(estimate));
    };
    for (int y : m_remaining2)
        push(y);
    push(NULL_NODE);
}

void Path::associate(int x, int y)
{
    if (!m_expander)
        return;
    m_assoc1.insert(x, y);
    if (y != NULL_NODE)
        m_assoc2.insert(y, x);
    m_remaining1.removeOne(x);
    m_remaining2.removeOne(y);
    m_costs += m_expander->costForAssociation(x, y, m_assoc1, m_assoc2);
    // Only the nodes whose penalty is put off are kept: most paths then hold
    // an empty hash, which allocates nothing.
    if (m_expander->calcParentCostsLater(x, y, m_assoc1, m_assoc2))
        m_parentCostsLater.insert(x, true);
    if (m_remaining1.isEmpty())
        finish();
}

void Path::finish()
{
    m_costs += m_expander->costForUnmatchedNodes(m_remaining2.size());
    for (int y : std::as_const(m_remaining2))
        m_assoc2.insert(y, NULL_NODE);
    m_remaining2.clear();
    m_costs += m_expander->calcMissingParentCosts(m_parentCostsLater, m_assoc1, m_assoc2);
}

bool Path::parentChanged(int node, TreeId tree) const
{
    if (!m_expander)
        return false;
    if (tree == FirstTree)
        return m_assoc1.contains(node) && m_expander->parentChanged(node, m_assoc1, m_assoc2);
    const auto partner = m_assoc2.constFind(node);
    return partner != m_assoc2.cend() && m_expander->parentChanged(partner.value(), m_assoc1, m_assoc2);
}

QString Path::toString() const
{
    QList<int> keys = m_assoc1.keys();
    std::sort(keys.begin(), keys.end());
    QString text = QStringLiteral("costs %1:").arg(double(m_costs));
    for (int x : std::as_const(keys)) {
        if (x != NODE_ABOVE_ROOT)
            text += QStringLiteral(" %1-%2").arg(x).arg(m_assoc1.value(x));
    }
    return text;
}

} // namespace traxo
