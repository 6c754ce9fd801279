#include "workflow/workflowcomparison.h"

#include "workflow/traxodiff.h"
#include "workflow/workflowstepcosts.h"
#include "workflow/workflowtree.h"

#include <QJsonArray>
#include <QSet>

namespace traxo {

namespace {

// Depth-first from the roots, children in insertion order, so a chain reads
// newest first and an embedded history follows the step that embeds it.
// Each node's level counts the container changes above it.
QList<int> historyOrder(const WorkflowTree &tree, QHash<int, int> *levels)
{
    QList<int> order;
    QSet<int> seen;
    QList<QPair<int, int>> stack;
    const auto walk = [&](int start) {
        stack.append({ start, 0 });
        while (!stack.isEmpty()) {
            const auto [node, level] = stack.takeLast();
            if (seen.contains(node))
                continue;
            seen.insert(node);
            order.append(node);
            levels->insert(node, level);
            const QList<int> children = tree.children(node);
            for (auto child = children.crbegin(); child != children.crend(); ++child) {
                const bool embedded = tree.fileOnDisk(*child) != tree.fileOnDisk(node);
                stack.append({ *child, level + (embedded ? 1 : 0) });
            }
        }
    };
    const QList<int> ids = tree.nodeIds();
    for (int id : ids) {
        if (tree.parent(id) == -1)
            walk(id);
    }
    // Hand-made trees may hold circles that no root reaches.
    for (int id : ids)
        walk(id);
    return order;
}

QString attributeText(const QHash<QString, QString> &values, const QHash<QString, QString> &units, const QString &key)
{
    const QString unit = units.value(key);
    return unit.isEmpty() ? values.value(key) : values.value(key) + QLatin1Char(' ') + unit;
}

// Files keyed by purpose and name; a name that repeats gets a number.
QList<QPair<QString, QString>> fileTexts(const Workflowstep &step)
{
    QList<QPair<QString, QString>> files;
    QHash<QString, int> seen;
    for (const FileSummary &file : step.files) {
        // The summary's own marker: it records the step, so it always differs.
        if (file.FilePurpose == QLatin1String("Undefined") && file.Filename == QLatin1String("ws_summary.xml"))
            continue;
        const QString purpose = file.FilePurpose == QLatin1String("InFile") ? QStringLiteral("input")
            : file.FilePurpose == QLatin1String("OutFile")                  ? QStringLiteral("output")
                                                                            : QStringLiteral("file");
        QString key = purpose + QLatin1Char(' ') + file.Filename;
        const int count = ++seen[key];
        if (count > 1)
            key += QStringLiteral(" #%1").arg(count);
        QString text = file.UncompressedSize >= 0 ? QStringLiteral("%1 bytes").arg(file.UncompressedSize)
                                                  : QStringLiteral("size unknown");
        if (!file.UncompressedMD5.isEmpty())
            text = QStringLiteral("MD5 %1, %2").arg(file.UncompressedMD5, text);
        files.append({ key, text });
    }
    return files;
}

// The changes between two lists of named values, in the order of a, then the
// names only b has.
void compareNamed(const QList<QPair<QString, QString>> &a, const QList<QPair<QString, QString>> &b,
    QList<WorkflowComparison::FieldChange> *changes)
{
    QHash<QString, QString> inB;
    for (const auto &entry : b)
        inB.insert(entry.first, entry.second);
    QSet<QString> inA;
    for (const auto &entry : a) {
        inA.insert(entry.first);
        const auto other = inB.constFind(entry.first);
        if (other == inB.cend() || *other != entry.second)
            changes->append({ entry.first, entry.second, other == inB.cend() ? QString() : *other });
    }
    for (const auto &entry : b) {
        if (!inA.contains(entry.first))
            changes->append({ entry.first, QString(), entry.second });
    }
}

} // namespace

WorkflowComparison::WorkflowComparison(
    const WorkflowTree &tree1, const WorkflowTree &tree2, const TraxoDiffResult &result)
    : m_costs(result.costs)
{
    for (int id : tree1.nodeIds())
        m_steps1.insert(id, tree1.workflowStep(id));
    for (int id : tree2.nodeIds())
        m_steps2.insert(id, tree2.workflowStep(id));
    QHash<int, int> levels1;
    QHash<int, int> levels2;
    const QList<int> order1 = historyOrder(tree1, &levels1);
    const QList<int> order2 = historyOrder(tree2, &levels2);

    // A step only the second history has follows the nearest step before it
    // in that history that has a partner.
    QHash<int, QList<int>> addedAfter;
    int anchor = NULL_NODE;
    for (int y : order2) {
        const int x = result.association(y, SecondTree);
        if (x >= 0)
            anchor = x;
        else
            addedAfter[anchor].append(y);
    }
    // Added steps wait until the removed ones after their anchor are
    // listed, as a unified diff shows "-" lines before "+" lines.
    QList<int> pending = addedAfter.value(NULL_NODE);
    const auto flushAdded = [&]() {
        for (int y : std::as_const(pending)) {
            Row row;
            row.kind = Added;
            row.node2 = y;
            row.level = levels2.value(y);
            m_rows.append(row);
        }
        pending.clear();
    };

    for (int x : order1) {
        Row row;
        row.node1 = x;
        row.level = levels1.value(x);
        const int y = result.association(x, FirstTree);
        if (y >= 0 && m_steps2.contains(y)) {
            flushAdded();
            row.node2 = y;
            row.changes = changedFields(m_steps1.value(x), m_steps2.value(y));
            row.kind = row.changes.isEmpty() ? Same : Changed;
            row.parentChanged = result.parentChanged(x, FirstTree);
            m_rows.append(row);
            pending = addedAfter.value(x);
        } else {
            row.kind = Removed;
            m_rows.append(row);
        }
    }
    flushAdded();
}

bool WorkflowComparison::compareFiles(const QString &path1, const QString &path2, QString *error)
{
    WorkflowTree tree1;
    WorkflowTree tree2;
    for (const auto &[tree, path] : { qMakePair(&tree1, path1), qMakePair(&tree2, path2) }) {
        if (!tree->treeFromTraxoFile(path)) {
            *error = QStringLiteral("cannot read the container \"%1\"").arg(path);
            return false;
        }
    }
    const WorkflowstepCosts costs;
    TraxoDiff diff(tree1, tree2, &costs);
    const TraxoDiffResult result = diff.findBestMatch();
    if (diff.limitReached()) {
        *error = QStringLiteral("the histories of %1 and %2 steps are too different to compare")
                     .arg(tree1.count())
                     .arg(tree2.count());
        return false;
    }
    *this = WorkflowComparison(tree1, tree2, result);
    return true;
}

const Workflowstep &WorkflowComparison::step(const QHash<int, Workflowstep> &steps, int node)
{
    static const Workflowstep none;
    const auto found = steps.constFind(node);
    return found == steps.cend() ? none : *found;
}

bool WorkflowComparison::isEqual() const
{
    for (const Row &row : m_rows) {
        if (row.kind != Same || row.parentChanged)
            return false;
    }
    return true;
}

int WorkflowComparison::rowOf(int node, TreeId tree) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if ((tree == FirstTree ? m_rows.at(i).node1 : m_rows.at(i).node2) == node)
            return i;
    }
    return -1;
}

QList<QPair<QString, QString>> WorkflowComparison::fields(const Workflowstep &step)
{
    QList<QPair<QString, QString>> fields {
        { QStringLiteral("Title"), step.Title },
        { QStringLiteral("Tool"), step.Tool },
        { QStringLiteral("ToolPath"), step.ToolPath },
        { QStringLiteral("Command"), step.Command },
        { QStringLiteral("Description"), step.Description },
        { QStringLiteral("Comment"), step.Comment },
    };
    QSet<QString> seen;
    for (const QString &key : step.userAttributeKeys) {
        if (!seen.contains(key)) {
            seen.insert(key);
            fields.append({ QStringLiteral("attribute ") + key,
                attributeText(step.userAttributeValues, step.userAttributeUnits, key) });
        }
    }
    fields.append(fileTexts(step));
    return fields;
}

QList<WorkflowComparison::FieldChange> WorkflowComparison::changedFields(const Workflowstep &a, const Workflowstep &b)
{
    QList<FieldChange> changes;
    compareNamed(fields(a), fields(b), &changes);
    return changes;
}

QString WorkflowComparison::kindName(RowKind kind)
{
    switch (kind) {
    case Same:
        return QStringLiteral("same");
    case Changed:
        return QStringLiteral("changed");
    case Removed:
        return QStringLiteral("removed");
    case Added:
        return QStringLiteral("added");
    }
    return QString();
}

QString WorkflowComparison::toText(const QString &name1, const QString &name2) const
{
    QString text = QStringLiteral("--- %1\n+++ %2\n").arg(name1, name2);
    int counts[4] = { 0, 0, 0, 0 };
    const auto quoted = [](const QString &value) {
        return value.isEmpty() ? QStringLiteral("(none)") : QLatin1Char('"') + value + QLatin1Char('"');
    };
    for (const Row &row : m_rows) {
        ++counts[row.kind];
        static const char marks[] = { ' ', '~', '-', '+' };
        const QString indent(2 * row.level, QLatin1Char(' '));
        const Workflowstep &step = row.kind == Added ? step2(row) : step1(row);
        text += QString(QLatin1Char(marks[row.kind])) + QLatin1Char(' ') + indent + step.Title;
        if (row.kind == Added)
            text += QStringLiteral(" [-/%1]").arg(row.node2);
        else if (row.kind == Removed)
            text += QStringLiteral(" [%1/-]").arg(row.node1);
        else
            text += QStringLiteral(" [%1/%2]").arg(row.node1).arg(row.node2);
        if (row.parentChanged)
            text += QStringLiteral(" (parent changed)");
        text += QLatin1Char('\n');
        for (const FieldChange &change : row.changes)
            text += QStringLiteral("    %1%2: %3 -> %4\n")
                        .arg(indent, change.field, quoted(change.before), quoted(change.after));
    }
    text += QStringLiteral("%1 same, %2 changed, %3 removed, %4 added; costs %5\n")
                .arg(counts[Same])
                .arg(counts[Changed])
                .arg(counts[Removed])
                .arg(counts[Added])
                .arg(double(m_costs));
    return text;
}

QJsonObject WorkflowComparison::toJson(const QString &name1, const QString &name2) const
{
    QJsonArray pairs;
    QJsonArray removed;
    QJsonArray added;
    for (const Row &row : m_rows) {
        if (row.kind == Removed) {
            removed.append(
                QJsonObject { { "first", row.node1 }, { "title", step1(row).Title }, { "level", row.level } });
            continue;
        }
        if (row.kind == Added) {
            added.append(
                QJsonObject { { "second", row.node2 }, { "title", step2(row).Title }, { "level", row.level } });
            continue;
        }
        QJsonArray changes;
        for (const FieldChange &change : row.changes)
            changes.append(
                QJsonObject { { "field", change.field }, { "before", change.before }, { "after", change.after } });
        pairs.append(QJsonObject { { "first", row.node1 }, { "second", row.node2 }, { "title1", step1(row).Title },
            { "title2", step2(row).Title }, { "level", row.level }, { "parentChanged", row.parentChanged },
            { "changes", changes } });
    }
    return QJsonObject { { "first", name1 }, { "second", name2 }, { "equal", isEqual() }, { "costs", double(m_costs) },
        { "pairs", pairs }, { "removed", removed }, { "added", added } };
}

} // namespace traxo
