#ifndef TRAXO_WORKFLOWTREENODE_H
#define TRAXO_WORKFLOWTREENODE_H

#include "summary/summary.h"

#include <QString>

namespace traxo {

// One workflow step in a tree of steps across nested containers. traxofile
// names the container as it was recorded (or given, for the top one);
// fileOnDisk is the file actually read, a temporary copy for embedded ones.
class WorkflowTreeNode
{
public:
    WorkflowTreeNode() = default;
    WorkflowTreeNode(int nodeId, int parentId, const Workflowstep &workflowstep, const QString &traxofile,
        const QString &fileOnDisk);

    int nodeId() const { return m_nodeId; }
    // -1 for the root of a tree.
    int parentId() const { return m_parentId; }
    Workflowstep workflowstep() const { return m_workflowstep; }
    QString traxofile() const { return m_traxofile; }
    QString fileOnDisk() const { return m_fileOnDisk; }

private:
    int m_nodeId = -2;
    int m_parentId = -1;
    Workflowstep m_workflowstep;
    QString m_traxofile;
    QString m_fileOnDisk;
};

} // namespace traxo

#endif
