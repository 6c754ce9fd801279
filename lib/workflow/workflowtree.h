#ifndef TRAXO_WORKFLOWTREE_H
#define TRAXO_WORKFLOWTREE_H

#include "logging/logsource.h"
#include "summary/summary.h"
#include "workflow/workflowtreenode.h"

#include <QHash>
#include <QList>
#include <QSharedPointer>
#include <QString>

#include <list>

namespace traxo {

class TraxoFileManager;
class TraxoParser;

// The workflow steps of a container and of the containers embedded in it, as
// one tree: a container's steps form a chain from the newest (nearest the
// root) down to the oldest, and the history of an embedded container hangs
// below the step that embeds it, before the next older step.
//
// Embedded containers are read from temporary copies that live as long as
// the tree's file manager. Copies of a tree share that manager, so the files
// stay until the last tree using them is cleared, rebuilt or destroyed.
class WorkflowTree : public LogSource
{
    Q_OBJECT

public:
    // Containers nested deeper are not unfolded: a crafted container must
    // not make the tree recurse without end. Since every level holds the
    // next one whole, the bytes extracted stay below this many times the
    // size of the top container.
    static constexpr int MaxNestingDepth = 32;

    explicit WorkflowTree(QObject *sink = nullptr);
    // A copy holds the same nodes and containers but none of the original's
    // log receivers.
    WorkflowTree(const WorkflowTree &other);
    WorkflowTree &operator=(const WorkflowTree &other);
    ~WorkflowTree() override;

    // Rebuild the tree from a container; false when it cannot be opened,
    // which leaves the tree empty.
    bool treeFromTraxoFile(const QString &path);
    bool treeFromTraxoFile(const QSharedPointer<TraxoParser> &parser, const QString &path);

    // Adds a node with the next free id and returns the id.
    int addTreeNode(int parentId, const Workflowstep &step, const QString &traxofile, const QString &fileOnDisk);
    // Stores the node under its own id, replacing a node of the same id.
    void addTreeNode(const WorkflowTreeNode &node);

    QList<int> children(int id) const { return m_children.value(id); }
    // -1 for a root, -2 for an unknown id.
    int parent(int id) const;
    // The smallest id among the nodes without parent; -2 for an empty tree.
    int root() const;
    // Every id, ascending (so in the order nodes were added by fillTree).
    QList<int> nodeIds() const;
    std::list<int> nodeIdsLinked() const;
    int count() const { return int(m_nodes.size()); }
    bool isEmpty() const { return m_nodes.isEmpty(); }
    bool contains(int id) const { return m_nodes.contains(id); }

    WorkflowTreeNode node(int id) const { return m_nodes.value(id); }
    Workflowstep workflowStep(int id) const { return m_nodes.value(id).workflowstep(); }
    QString traxofile(int id) const { return m_nodes.value(id).traxofile(); }
    QString fileOnDisk(int id) const { return m_nodes.value(id).fileOnDisk(); }
    QSharedPointer<TraxoParser> traxoParser(int id) const;

    // The subtree below id, id first, breadth-first. A node is listed once
    // even when hand-made parent links form a cycle.
    QList<int> serializeFromRoot(const int &id) const;
    QList<int> serializedTree() const { return serializeFromRoot(root()); }

    // Drops every node and releases the containers, removing the temporary
    // ones unless a copy of the tree still uses them.
    void clear();

private:
    void fillTree(TraxoParser &parser, int parentId, const QString &traxofile, const QString &fileOnDisk, int depth);
    QString extractFile(TraxoParser &parser, int fileTagId);
    void newFileManager();

    int m_nextId = 0;
    QHash<int, WorkflowTreeNode> m_nodes;
    QHash<int, QList<int>> m_children;
    QSharedPointer<TraxoFileManager> m_fileManager;
};

} // namespace traxo

#endif
