#ifndef TRAXO_WORKFLOWCOMPARISON_H
#define TRAXO_WORKFLOWCOMPARISON_H

#include "summary/summary.h"
#include "workflow/traxodiffresult.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

namespace traxo {

class WorkflowTree;

// What the cheapest matching of two workflow trees means to a reader: one
// row per pair of matched steps and per step found on one side only, in the
// order of the histories (newest first, an embedded history right below the
// step that embeds it), each with the fields that differ. The viewer's
// compare window and `traxo diff` show the same rows.
class WorkflowComparison
{
public:
    enum RowKind { Same, Changed, Removed, Added };

    struct FieldChange
    {
        // "Title", "Tool", "ToolPath", "Command", "Description", "Comment",
        // "attribute <key>", "input <name>", "output <name>", or "file
        // <name>" for a file of neither purpose.
        QString field;
        // Empty on the side that lacks the attribute or file.
        QString before;
        QString after;
    };

    struct Row
    {
        RowKind kind = Same;
        // Node ids, NULL_NODE on the side without the step.
        int node1 = NULL_NODE;
        int node2 = NULL_NODE;
        // Embedded containers between the step and the top container.
        int level = 0;
        // The nearest matched ancestors of the pair are not partners.
        bool parentChanged = false;
        QList<FieldChange> changes;
    };

    // An empty comparison: no rows, equal.
    WorkflowComparison() = default;
    // The rows of result, a complete matching of tree1 and tree2.
    WorkflowComparison(const WorkflowTree &tree1, const WorkflowTree &tree2, const TraxoDiffResult &result);

    // Reads both containers and compares them with the default step costs;
    // false with a message in error when a container cannot be read or the
    // histories are too large to compare.
    bool compareFiles(const QString &path1, const QString &path2, QString *error);

    const QList<Row> &rows() const { return m_rows; }
    // The row's steps; an empty step on the side without one.
    const Workflowstep &step1(const Row &row) const { return step(m_steps1, row.node1); }
    const Workflowstep &step2(const Row &row) const { return step(m_steps2, row.node2); }
    float costs() const { return m_costs; }
    // No step added, removed or changed and no parent changed.
    bool isEqual() const;
    // The row showing node of the given tree, -1 when none does.
    int rowOf(int node, TreeId tree) const;

    // Every compared field of a step with its value as text, in the order
    // of FieldChange::field; an attribute with its unit, a file with its
    // MD5 and size. Timestamps, hosts and users are left out: they differ
    // between any two runs.
    static QList<QPair<QString, QString>> fields(const Workflowstep &step);
    // The fields of a and b that differ, in the order of a's fields, then
    // those only b has.
    static QList<FieldChange> changedFields(const Workflowstep &a, const Workflowstep &b);
    static QString kindName(RowKind kind);

    // A listing for people: one line per row marked " " (same), "~"
    // (changed), "-" (only in the first), "+" (only in the second), with
    // the changed fields below it.
    QString toText(const QString &name1, const QString &name2) const;
    // "first", "second", "equal", "costs", "pairs" (each with both steps'
    // ids and titles, "parentChanged" and "changes": field, before, after),
    // "removed" and "added" (steps of one side only).
    QJsonObject toJson(const QString &name1, const QString &name2) const;

private:
    static const Workflowstep &step(const QHash<int, Workflowstep> &steps, int node);

    QList<Row> m_rows;
    QHash<int, Workflowstep> m_steps1;
    QHash<int, Workflowstep> m_steps2;
    float m_costs = 0;
};

} // namespace traxo

#endif
