#include "queryformula.h"

#include <QSet>

namespace traxo {

namespace {

bool hasOperator(const ExpressionTreeNode &node, const char *name)
{
    return node.isOperator() && node.operatorName() == QLatin1String(name) && node.children().size() == 1;
}

bool isLogical(const ExpressionTreeNode &node, const char *part)
{
    return node.isOperator() && node.operatorName().contains(QLatin1String(part)) && node.children().size() == 2;
}

CNFOperand makeOperand(const ExpressionTreeNodePtr &node)
{
    if (node && node->isVariable())
        return CNFOperand::fromVariable(node->variableName(), node->variableAttribute());
    if (node && node->isString())
        return CNFOperand::fromString(node->string());
    return CNFOperand::fromInvalid();
}

// The literal of a node that is neither a negation nor a logical operator,
// as the normal form makes it.
CNFLiteral makeLiteral(const ExpressionTreeNode &node, bool negated)
{
    CNFLiteral literal = CNFLiteral::fromInvalid();
    if (node.isOperator())
        literal = CNFLiteral(
            false, makeOperand(node.children().value(0)), node.operatorName(), makeOperand(node.children().value(1)));
    else if (node.isVariable())
        literal = CNFLiteral(false, CNFOperand::fromVariable(node.variableName(), node.variableAttribute()));
    literal.setNegated(negated);
    return literal;
}

} // namespace

QueryFormula::QueryFormula()
{
    addNode(Kind::And, -1);
}

int QueryFormula::addNode(Kind kind, int parent)
{
    Node node;
    node.kind = kind;
    node.parent = parent;
    m_nodes.append(node);
    const int index = int(m_nodes.size()) - 1;
    if (parent >= 0)
        m_nodes[parent].children.append(index);
    return index;
}

QueryFormula QueryFormula::fromTree(const ExpressionTreeNodePtr &tree)
{
    QueryFormula formula;
    struct Pending
    {
        const ExpressionTreeNode *node;
        bool negated;
        int parent;
    };
    QList<Pending> pending;
    if (tree)
        pending.append({ tree.data(), false, 0 });
    QSet<QString> seen;
    while (!pending.isEmpty()) {
        const Pending p = pending.takeLast();
        const ExpressionTreeNode &node = *p.node;
        if (hasOperator(node, "!") && node.children().at(0)) {
            pending.append({ node.children().at(0).data(), !p.negated, p.parent });
            continue;
        }
        const bool conjunction = isLogical(node, "&&");
        if (conjunction || isLogical(node, "||")) {
            // A negated conjunction is a disjunction of negations.
            const Kind kind = conjunction != p.negated ? Kind::And : Kind::Or;
            const int target = formula.m_nodes.at(p.parent).kind == kind ? p.parent : formula.addNode(kind, p.parent);
            // Taken from the end: the left operand comes first.
            for (qsizetype i = node.children().size() - 1; i >= 0; --i) {
                if (node.children().at(i))
                    pending.append({ node.children().at(i).data(), p.negated, target });
            }
            continue;
        }
        const CNFLiteral literal = makeLiteral(node, p.negated);
        const int leaf = formula.addNode(Kind::Literal, p.parent);
        formula.m_nodes[leaf].literal = int(formula.m_literals.size());
        formula.m_literals.append(literal);
        formula.m_literalNodes.append(leaf);
        for (const CNFOperand *operand : { &literal.left(), &literal.right() }) {
            if (operand->isVariable() && !seen.contains(operand->variableName())) {
                seen.insert(operand->variableName());
                formula.m_variableNames.append(operand->variableName());
            }
            if (!literal.isPredicate())
                break;
        }
    }
    return formula;
}

QueryFormula QueryFormula::fromCNF(const ConjunctiveNormalForm &cnf)
{
    QueryFormula formula;
    for (const CNFDisjunction &disjunction : cnf) {
        const int parent = disjunction.size() == 1 ? 0 : formula.addNode(Kind::Or, 0);
        for (const CNFLiteral &literal : disjunction) {
            const int leaf = formula.addNode(Kind::Literal, parent);
            formula.m_nodes[leaf].literal = int(formula.m_literals.size());
            formula.m_literals.append(literal);
            formula.m_literalNodes.append(leaf);
        }
    }
    formula.m_variableNames = cnf.variableNames();
    return formula;
}

bool QueryFormula::isRequired(int literal) const
{
    for (int node = m_nodes.at(m_literalNodes.at(literal)).parent; node >= 0; node = m_nodes.at(node).parent) {
        if (m_nodes.at(node).kind != Kind::And)
            return false;
    }
    return true;
}

ConjunctiveNormalForm QueryFormula::impliedClauses() const
{
    ConjunctiveNormalForm clauses;
    QList<int> conjuncts { 0 };
    while (!conjuncts.isEmpty()) {
        const Node &node = m_nodes.at(conjuncts.takeLast());
        for (const int child : node.children) {
            const Node &c = m_nodes.at(child);
            if (c.kind == Kind::And) {
                conjuncts.append(child);
            } else if (c.kind == Kind::Literal) {
                clauses.addDisjunction();
                clauses.lastDisjunction().addLiteral(m_literals.at(c.literal));
            } else {
                CNFDisjunction disjunction;
                for (const int grandchild : c.children) {
                    if (m_nodes.at(grandchild).kind != Kind::Literal) {
                        disjunction.clear();
                        break;
                    }
                    disjunction.addLiteral(m_literals.at(m_nodes.at(grandchild).literal));
                }
                if (!disjunction.isEmpty())
                    clauses.addDisjunction(disjunction);
            }
        }
    }
    return clauses;
}

} // namespace traxo
