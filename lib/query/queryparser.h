#ifndef TRAXO_QUERYPARSER_H
#define TRAXO_QUERYPARSER_H

#include "query/expressiontreenode.h"
#include "query/expressionvalue.h"
#include "query/queryerror.h"

#include <QList>
#include <QSet>
#include <QString>

namespace traxo {

// Deepest nesting of brackets, "!" and comparisons of comparisons around any
// operand that a query may have. Chains of "&&" and "||" do not nest and may be of any length; passes
// over the tree recurse only on nesting, so the limit keeps a pathological
// query (100 000 brackets, a megabyte of "!") from exhausting the stack.
constexpr int MaxQueryNestingDepth = 500;

// The whole pipeline: lexing, syntax check with implicit ANDs, tree building,
// type check, bare words turned into ":any %contains word", unnamed variables
// numbered. Clears errors first; returns null when any step reported an error
// (warnings alone do not stop it).
ExpressionTreeNodePtr parseQuery(const QString &query, QList<QueryError> &errors);

// Cuts the query into tokens; on text no token pattern accepts it reports one
// positioned error and returns an empty list.
QList<ExpressionValue> lexQuery(const QString &query, QList<QueryError> &errors);
// Checks the order of tokens and inserts "implizit &&" between juxtaposed
// operands. Stops at the first error.
QList<ExpressionValue> checkSyntax(const QList<ExpressionValue> &tokens, QList<QueryError> &errors);
// Operator-precedence parsing; brackets raise the precedence of what they hold
// by 10 per level and make no node. Returns null for an empty token list.
ExpressionTreeNodePtr createTree(const QList<ExpressionValue> &tokens, const QString &query, QList<QueryError> &errors);
// Replaces strings that stand as truth values (the root, operands of logical
// operators) by ":any %contains string". Returns the possibly new root.
ExpressionTreeNodePtr expandImplicitTreeNodes(const ExpressionTreeNodePtr &node, bool isRoot);
// Names every variable without a name "@unnamed-N", N counting from counter+1
// in text order; returns the names given.
QSet<QString> expandUnnamedVariables(const ExpressionTreeNodePtr &node, int counter);

ExpressionValue makeEndOfStreamOperator();
ExpressionValue createImplizitAnd(int position);
ExpressionTreeNodePtr makeAnyContainsNode(const ExpressionTreeNodePtr &node);

// Build string tokens from the content of a single-quoted, a double-quoted
// string and a bare word.
ExpressionValue unescapeString1(const QString &content, int position, const QString &originalText);
ExpressionValue unescapeString2(const QString &content, int position, const QString &originalText);
ExpressionValue unescapeString3(const QString &content, int position, const QString &originalText);

} // namespace traxo

#endif
