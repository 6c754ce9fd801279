#include "workflow/workflowtreenode.h"

namespace traxo {

WorkflowTreeNode::WorkflowTreeNode(
    int nodeId, int parentId, const Workflowstep &workflowstep, const QString &traxofile, const QString &fileOnDisk)
    : m_nodeId(nodeId)
    , m_parentId(parentId)
    , m_workflowstep(workflowstep)
    , m_traxofile(traxofile)
    , m_fileOnDisk(fileOnDisk)
{
}

} // namespace traxo
