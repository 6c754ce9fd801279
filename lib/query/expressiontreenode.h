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
//
// A chain of thousands of "&&" is a tree thousands of levels deep, so nothing
// here recurses along the tree: copies and deletions walk it with a list, the
// variables are collected when asked for, and a span refers to the shared
// query text instead of holding a copy of its part.
class ExpressionTreeNode : public ExpressionValue
{
public:
    explicit ExpressionTreeNode(const ExpressionValue &value = ExpressionValue());
    ~ExpressionTreeNode();
    ExpressionTreeNode(const ExpressionTreeNode &) = delete;
    ExpressionTreeNode &operator=(const ExpressionTreeNode &) = delete;

    // Always create nodes here: the pointer deletes a deep tree without
    // recursing.
    static ExpressionTreeNodePtr create(const ExpressionValue &value);

    const ExpressionValue &value() const { return *this; }

    QList<ExpressionTreeNodePtr> &children() { return m_children; }
    const QList<ExpressionTreeNodePtr> &children() const { return m_children; }
    // The names of the variables of this subtree, an unnamed one as the empty
    // name.
    QSet<QString> variables() const;

    QString spanText() const;
    int spanPosition() const { return m_spanPosition; }
    int spanLength() const { return m_spanLength; }
    void setSpan(int position, const QString &text);
    // The span [position, position + length) of source, which starts at
    // position 0; source is shared, not copied.
    void setSpan(int position, int length, const QString &source);

    // A deep copy: payload, span and copies of the children.
    ExpressionTreeNodePtr cloneTree() const;

private:
    QList<ExpressionTreeNodePtr> m_children;
    QString m_spanSource;
    int m_spanSourceStart = 0;
    int m_spanPosition = 0;
    int m_spanLength = 0;
};

} // namespace traxo

#endif
