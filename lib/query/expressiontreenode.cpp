#include "expressiontreenode.h"

#include <utility>

namespace traxo {

namespace {

// Nodes whose last reference went while another node was being deleted:
// deleting them at once would recurse once per level of the tree.
thread_local QList<ExpressionTreeNode *> pendingDeletions;
thread_local bool deleting = false;

void deleteNode(ExpressionTreeNode *node)
{
    pendingDeletions.append(node);
    if (deleting)
        return;
    deleting = true;
    while (!pendingDeletions.isEmpty())
        delete pendingDeletions.takeLast();
    deleting = false;
}

} // namespace

ExpressionTreeNode::ExpressionTreeNode(const ExpressionValue &value)
    : ExpressionValue(value)
{
}

ExpressionTreeNode::~ExpressionTreeNode() = default;

ExpressionTreeNodePtr ExpressionTreeNode::create(const ExpressionValue &value)
{
    return ExpressionTreeNodePtr(new ExpressionTreeNode(value), deleteNode);
}

QSet<QString> ExpressionTreeNode::variables() const
{
    QSet<QString> names;
    QList<const ExpressionTreeNode *> pending { this };
    while (!pending.isEmpty()) {
        const ExpressionTreeNode *node = pending.takeLast();
        if (node->isVariable())
            names.insert(node->variableName());
        for (const ExpressionTreeNodePtr &child : node->m_children) {
            if (child)
                pending.append(child.data());
        }
    }
    return names;
}

QString ExpressionTreeNode::spanText() const
{
    return m_spanSource.mid(m_spanPosition - m_spanSourceStart, m_spanLength);
}

void ExpressionTreeNode::setSpan(int position, const QString &text)
{
    m_spanSource = text;
    m_spanSourceStart = position;
    m_spanPosition = position;
    m_spanLength = int(text.size());
}

void ExpressionTreeNode::setSpan(int position, int length, const QString &source)
{
    m_spanSource = source;
    m_spanSourceStart = 0;
    m_spanPosition = position;
    m_spanLength = length;
}

ExpressionTreeNodePtr ExpressionTreeNode::cloneTree() const
{
    const auto copyOne = [](const ExpressionTreeNode &from) {
        ExpressionTreeNodePtr copy = create(from.value());
        copy->m_spanSource = from.m_spanSource;
        copy->m_spanSourceStart = from.m_spanSourceStart;
        copy->m_spanPosition = from.m_spanPosition;
        copy->m_spanLength = from.m_spanLength;
        return copy;
    };
    const ExpressionTreeNodePtr root = copyOne(*this);
    QList<std::pair<const ExpressionTreeNode *, ExpressionTreeNode *>> pending;
    pending.append(std::make_pair(this, root.data()));
    while (!pending.isEmpty()) {
        const auto [from, to] = pending.takeLast();
        to->m_children.reserve(from->m_children.size());
        for (const ExpressionTreeNodePtr &child : from->m_children) {
            to->m_children.append(child ? copyOne(*child) : ExpressionTreeNodePtr());
            if (child)
                pending.append(std::make_pair(child.data(), to->m_children.last().data()));
        }
    }
    return root;
}

} // namespace traxo
