#ifndef TRAXO_CONJUNCTIVENORMALFORM_H
#define TRAXO_CONJUNCTIVENORMALFORM_H

#include "query/expressiontreenode.h"

#include <QList>
#include <QMultiHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace traxo {

// One side of a comparison: a literal string or an attribute of a variable.
class CNFOperand
{
public:
    enum Kind { Invalid, String, Variable };

    static CNFOperand fromVariable(const QString &name, const QString &attribute);
    static CNFOperand fromString(const QString &s);
    static CNFOperand fromInvalid();

    bool isString() const { return m_kind == String; }
    bool isVariable() const { return m_kind == Variable; }
    bool isInvalid() const { return m_kind == Invalid; }
    QString variableName() const { return m_variableName; }
    QString variableAttribute() const { return m_variableAttribute; }
    QString string() const { return m_string; }

    friend bool operator==(const CNFOperand &a, const CNFOperand &b);

private:
    Kind m_kind = Invalid;
    QString m_variableName;
    QString m_variableAttribute;
    QString m_string;
};

// A comparison ("f:filetype == pdf") or a Boolean attribute ("f:iswfs"),
// possibly negated.
class CNFLiteral
{
public:
    CNFLiteral(bool negated, const CNFOperand &left, const QString &op, const CNFOperand &right);
    CNFLiteral(bool negated, const CNFOperand &boolVariable);
    // A predicate with the operator "invalid": never true.
    static CNFLiteral fromInvalid();

    bool isNegated() const { return m_negated; }
    void setNegated(bool negated) { m_negated = negated; }
    bool isPredicate() const { return m_kind == Predicate; }
    bool isBoolVariable() const { return m_kind == BoolVariable; }
    const CNFOperand &left() const { return m_left; }
    const CNFOperand &right() const { return m_right; }
    QString op() const { return m_op; }
    const CNFOperand &boolVariable() const { return m_left; }
    QSet<QString> variableNames() const;

    friend bool operator==(const CNFLiteral &a, const CNFLiteral &b);

private:
    enum Kind { Predicate, BoolVariable };
    Kind m_kind = Predicate;
    bool m_negated = false;
    QString m_op;
    CNFOperand m_left;
    CNFOperand m_right;
};

struct CNFLiteralIndex
{
    int disjunctionIndex = 0;
    int literalIndex = 0;

    friend bool operator==(const CNFLiteralIndex &a, const CNFLiteralIndex &b)
    {
        return a.disjunctionIndex == b.disjunctionIndex && a.literalIndex == b.literalIndex;
    }
};

class CNFDisjunction : public QList<CNFLiteral>
{
public:
    void addLiteral(const CNFLiteral &literal) { append(literal); }
    int numLiterals() const { return int(size()); }
    const CNFLiteral &literalAt(int i) const { return at(i); }
    // Variable name -> index of every literal of this disjunction naming it.
    QMultiHash<QString, int> variableLocations() const;
};

// A conjunction of disjunctions of literals.
class ConjunctiveNormalForm : public QList<CNFDisjunction>
{
public:
    void addDisjunction(const CNFDisjunction &disjunction = CNFDisjunction()) { append(disjunction); }
    CNFDisjunction &lastDisjunction() { return last(); }
    int numDisjunctions() const { return int(size()); }
    const CNFDisjunction &disjunctionAt(int i) const { return at(i); }
    const CNFLiteral &literalAt(const CNFLiteralIndex &index) const
    {
        return at(index.disjunctionIndex).at(index.literalIndex);
    }
    // Variable name -> index of every literal naming it.
    QMultiHash<QString, CNFLiteralIndex> variableLocations() const;
    // The distinct variable names in the order the search binds them, which
    // decides the first solution it reports: the order set by constructCNF
    // (their first appearance in the query text), else their first
    // appearance in the form.
    QStringList variableNames() const;
    void setVariableOrder(const QStringList &names) { m_variableOrder = names; }
    void clear()
    {
        QList<CNFDisjunction>::clear();
        m_variableOrder.clear();
    }
    // One line per disjunction, literals joined by " || ": for diagnostics and
    // tests.
    QString toString() const;

private:
    QStringList m_variableOrder;
};

// Rewrites the tree (double negation, De Morgan, distribution of || over &&)
// until nothing changes and collects the result. A null tree gives an empty
// form. When the tree or the form would grow beyond MaxCNFTreeNodes nodes
// (distribution can double the size with every disjunction of conjunctions)
// ok is set to false and the result is empty: the search does not need the
// form, which stays the reference for small queries.
ConjunctiveNormalForm constructCNF(const ExpressionTreeNodePtr &tree, bool *ok = nullptr);

// Limit on the size of the rewritten tree that constructCNF accepts.
constexpr int MaxCNFTreeNodes = 20000;

} // namespace traxo

#endif
