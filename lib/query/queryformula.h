#ifndef TRAXO_QUERYFORMULA_H
#define TRAXO_QUERYFORMULA_H

#include "query/conjunctivenormalform.h"
#include "query/expressiontreenode.h"

#include <QList>
#include <QStringList>

namespace traxo {

// A query as the search evaluates it: the syntax tree with its negations
// pushed down to the literals (De Morgan, double negation) and chains of
// "&&" or "||" gathered into one node of many operands. Unlike the normal
// form it grows linearly with the query, however its disjunctions and
// conjunctions nest. Node 0 is the root, always a conjunction.
class QueryFormula
{
public:
    enum class Kind { And, Or, Literal };
    struct Node
    {
        Kind kind = Kind::And;
        int parent = -1;
        int literal = -1; // index into literals() for a Literal node
        QList<int> children;
    };

    // A formula without literals, true for every container.
    QueryFormula();
    // Built without recursion along the tree: a chain of any length is fine.
    static QueryFormula fromTree(const ExpressionTreeNodePtr &tree);
    // The conjunction of the form's disjunctions, with its variable order.
    static QueryFormula fromCNF(const ConjunctiveNormalForm &cnf);

    const QList<Node> &nodes() const { return m_nodes; }
    const QList<CNFLiteral> &literals() const { return m_literals; }
    // The variables in the order the search binds them: their first
    // appearance in the query text.
    const QStringList &variableNames() const { return m_variableNames; }
    // Whether every ancestor of the literal is a conjunction: the query can
    // only hold when the literal does.
    bool isRequired(int literal) const;
    // The disjunctions of literals that the query implies (its required
    // literals and its conjuncts that are disjunctions of literals): what a
    // container must satisfy for the query to match.
    ConjunctiveNormalForm impliedClauses() const;

private:
    int addNode(Kind kind, int parent);

    QList<Node> m_nodes;
    QList<CNFLiteral> m_literals;
    QList<int> m_literalNodes;
    QStringList m_variableNames;
};

} // namespace traxo

#endif
