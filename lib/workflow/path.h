#ifndef TRAXO_PATH_H
#define TRAXO_PATH_H

#include "workflow/priorityqueue.h"
#include "workflow/treeid.h"

#include <QHash>
#include <QList>
#include <QSharedPointer>
#include <QString>

namespace traxo {

class PathExpander;

// A partial matching of two trees: the nodes decided so far with their
// partners, the nodes still to decide (in id order) and the cost so far.
// Nodes of the first tree are decided one at a time; once none is left the
// rest of the second tree is unmatched and the path has reached the goal.
class Path
{
public:
    // Every node undecided, the roots' parents matched with each other. The
    // expander must outlive the path; without one the path cannot grow.
    explicit Path(const PathExpander *expander);

    // Pushes one child per choice for the next first-tree node: each
    // undecided second-tree node, then no partner.
    void expand(PriorityQueue<QSharedPointer<Path>> &queue) const;
    void associate(int x, int y);
    bool isGoal() const { return m_remaining1.isEmpty(); }
    // tree FirstTree: node is a first-tree node; SecondTree: the node's
    // partner is looked at. False for nodes not decided or unmatched.
    bool parentChanged(int node, TreeId tree) const;

    float costs() const { return m_costs; }
    QHash<int, int> assoc1() const { return m_assoc1; }
    QHash<int, int> assoc2() const { return m_assoc2; }
    // The first-tree nodes whose parent penalty is decided at the goal.
    QHash<int, bool> parentCostsLater() const { return m_parentCostsLater; }
    QList<int> remaining1() const { return m_remaining1; }
    QList<int> remaining2() const { return m_remaining2; }

    // The pairs and the cost, for diagnostics.
    QString toString() const;

private:
    void finish();

    const PathExpander *m_expander;
    QHash<int, int> m_assoc1;
    QHash<int, int> m_assoc2;
    QHash<int, bool> m_parentCostsLater;
    QList<int> m_remaining1;
    QList<int> m_remaining2;
    float m_costs = 0;
};

} // namespace traxo

#endif
