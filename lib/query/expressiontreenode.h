#ifndef TRAXO_EXPRESSIONTREENODE_H
#define TRAXO_EXPRESSIONTREENODE_H

#include "query/expressionvalue.h"

#include <QList>
#include <QSet>
#include <QSharedPointer>
#include <QString>

namespace traxo {

class ExpressionTreeNode;
using ExpressionTreeNodePtr = QSharedPointer<ExpressionTreeNode>;

// A node of a query's syntax tree: its token as payload (the base class, whose
// position() is the token's), the operands in text order, the names of all
// variables below, and the span of query text the subtree covers. The span of
// an operator covers its operands only: the span of "!a" is that of a.
class ExpressionTreeNode : public ExpressionValue
{
public:
    explicit ExpressionTreeNode(const ExpressionValue &value = ExpressionValue());

    static ExpressionTreeNodePtr create(const ExpressionValue &value);

    const ExpressionValue &value() const { return *this; }

    QList<ExpressionTreeNodePtr> &children() { return m_children; }
    const QList<ExpressionTreeNodePtr> &children() const { return m_children; }
    QSet<QString> &variables() { return m_variables; }
    const QSet<QString> &variables() const { return m_variables; }

    QString spanText() const { return m_spanText; }
    int spanPosition() const { return m_spanPosition; }
    int spanLength() const { return int(m_spanText.size()); }
    void setSpan(int position, const QString &text);

    // A deep copy: payload, variables, span and copies of the children.
    ExpressionTreeNodePtr cloneTree() const;

private:
    QSet<QString> m_variables;
    QList<ExpressionTreeNodePtr> m_children;
    QString m_spanText;
    int m_spanPosition = 0;
};

} // namespace traxo

#endif
