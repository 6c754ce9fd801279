#include "expressiontreenode.h"

namespace traxo {

ExpressionTreeNode::ExpressionTreeNode(const ExpressionValue &value)
    : ExpressionValue(value)
{
}

ExpressionTreeNodePtr ExpressionTreeNode::create(const ExpressionValue &value)
{
    return ExpressionTreeNodePtr::create(value);
}

void ExpressionTreeNode::setSpan(int position, const QString &text)
{
    m_spanPosition = position;
    m_spanText = text;
}

ExpressionTreeNodePtr ExpressionTreeNode::cloneTree() const
{
    ExpressionTreeNodePtr copy = create(value());
    copy->m_variables = m_variables;
    copy->m_spanText = m_spanText;
    copy->m_spanPosition = m_spanPosition;
    copy->m_children.reserve(m_children.size());
    for (const ExpressionTreeNodePtr &child : m_children)
        copy->m_children.append(child ? child->cloneTree() : ExpressionTreeNodePtr());
    return copy;
}

} // namespace traxo
