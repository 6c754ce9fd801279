#include "conjunctivenormalform.h"

#include "query/querylogging.h"

#include <QStringList>

namespace traxo {

namespace {

bool hasOperator(const ExpressionTreeNodePtr &node, const char *name)
{
    return node && node->isOperator() && node->operatorName() == QLatin1String(name);
}

bool operatorContains(const ExpressionTreeNodePtr &node, const char *part)
{
    return node && node->isOperator() && node->operatorName().contains(QLatin1String(part));
}

ExpressionTreeNodePtr makeOperatorNode(const QString &name)
{
    ExpressionTreeNodePtr node = ExpressionTreeNode::create(ExpressionValue::fromOperator(name, -1, QString()));
    node->setSpan(-1, QString());
    return node;
}

ExpressionTreeNodePtr makeBinaryNode(
    const QString &name, const ExpressionTreeNodePtr &left, const ExpressionTreeNodePtr &right)
{
    ExpressionTreeNodePtr node = makeOperatorNode(name);
    node->children() << left << right;
    return node;
}

ExpressionTreeNodePtr makeNegation(const ExpressionTreeNodePtr &operand)
{
    ExpressionTreeNodePtr node = makeOperatorNode(QStringLiteral("!"));
    node->children() << operand;
    return node;
}

int countNodes(const ExpressionTreeNodePtr &node)
{
    int count = 0;
    QList<const ExpressionTreeNode *> pending;
    if (node)
        pending.append(node.data());
    while (!pending.isEmpty()) {
        const ExpressionTreeNode *current = pending.takeLast();
        ++count;
        for (const ExpressionTreeNodePtr &child : current->children()) {
            if (child)
                pending.append(child.data());
        }
    }
    return count;
}

// !(b op c) becomes !b dual !c.
ExpressionTreeNodePtr handleDeMorgan(const ExpressionTreeNodePtr &operand, const QString &dual)
{
    const auto &children = operand->children();
    return makeBinaryNode(dual, makeNegation(children.value(0)), makeNegation(children.value(1)));
}

// a || (b && c) becomes (b || a) && (c || a'), a' a copy of a.
ExpressionTreeNodePtr handleDistributive(
    const ExpressionTreeNodePtr &disjunction, const ExpressionTreeNodePtr &conjunction)
{
    const auto &operands = disjunction->children();
    const ExpressionTreeNodePtr a = operands.value(0) == conjunction ? operands.value(1) : operands.value(0);
    const ExpressionTreeNodePtr b = conjunction->children().value(0);
    const ExpressionTreeNodePtr c = conjunction->children().value(1);
    return makeBinaryNode(QStringLiteral("&&"), makeBinaryNode(QStringLiteral("||"), b, a),
        makeBinaryNode(QStringLiteral("||"), c, a->cloneTree()));
}

struct Rewriter
{
    int nodeCount = 0;
    bool tooLarge = false;

    // The first rule that fits node N with its child C, as the replacement for
    // N; null when none fits.
    ExpressionTreeNodePtr applyRule(const ExpressionTreeNodePtr &n, const ExpressionTreeNodePtr &c)
    {
        if (!c || !n->isOperator() || !c->isOperator())
            return {};
        if (hasOperator(n, "!")) {
            if (hasOperator(c, "!")) {
                nodeCount -= 2;
                return c->children().value(0);
            }
            if (c->children().size() == 2 && operatorContains(c, "&&")) {
                ++nodeCount;
                return handleDeMorgan(c, QStringLiteral("||"));
            }
            if (c->children().size() == 2 && operatorContains(c, "||")) {
                ++nodeCount;
                return handleDeMorgan(c, QStringLiteral("&&"));
            }
            return {};
        }
        if (n->children().size() == 2 && c->children().size() == 2 && operatorContains(n, "||")
            && operatorContains(c, "&&")) {
            const ExpressionTreeNodePtr other = n->children().at(0) == c ? n->children().at(1) : n->children().at(0);
            nodeCount += 1 + countNodes(other);
            if (nodeCount > MaxCNFTreeNodes) {
                tooLarge = true;
                return {};
            }
            return handleDistributive(n, c);
        }
        return {};
    }

    // Applies the rules in the order of a top-down pass that starts again
    // from the root after every change, without the restarts: a change can
    // only make a new rule fit between the replaced node and its parent, so
    // that pair is tried again before the walk goes on. Returns the
    // replacement of node when a rule fits at node itself.
    ExpressionTreeNodePtr rewrite(const ExpressionTreeNodePtr &node)
    {
        auto &children = node->children();
        for (qsizetype i = 0; i < children.size() && !tooLarge; ++i) {
            while (!tooLarge) {
                const ExpressionTreeNodePtr child = children.at(i);
                if (ExpressionTreeNodePtr replacement = applyRule(node, child))
                    return replacement;
                if (tooLarge || !child)
                    break;
                ExpressionTreeNodePtr replacement = rewrite(child);
                if (!replacement)
                    break;
                children[i] = replacement;
            }
        }
        return {};
    }
};

CNFOperand makeOperand(const ExpressionTreeNodePtr &node)
{
    if (node && node->isVariable())
        return CNFOperand::fromVariable(node->variableName(), node->variableAttribute());
    if (node && node->isString())
        return CNFOperand::fromString(node->string());
    return CNFOperand::fromInvalid();
}

CNFLiteral makeLiteral(const ExpressionTreeNodePtr &node)
{
    if (hasOperator(node, "!")) {
        CNFLiteral literal = makeLiteral(node->children().value(0));
        literal.setNegated(!literal.isNegated());
        return literal;
    }
    if (node && node->isOperator()) {
        return CNFLiteral(false, makeOperand(node->children().value(0)), node->operatorName(),
            makeOperand(node->children().value(1)));
    }
    if (node && node->isVariable())
        return CNFLiteral(false, makeOperand(node));
    return CNFLiteral::fromInvalid();
}

enum class Level { Conjunction, Disjunction };

void createCNFStructure(const ExpressionTreeNodePtr &node, Level level, ConjunctiveNormalForm &cnf)
{
    if (level == Level::Conjunction) {
        if (operatorContains(node, "&&")) {
            for (const ExpressionTreeNodePtr &child : node->children())
                createCNFStructure(child, Level::Conjunction, cnf);
            return;
        }
        cnf.addDisjunction();
    }
    if (operatorContains(node, "||")) {
        for (const ExpressionTreeNodePtr &child : node->children())
            createCNFStructure(child, Level::Disjunction, cnf);
        return;
    }
    cnf.lastDisjunction().addLiteral(makeLiteral(node));
}

// The variables in the order of their first appearance in the query text,
// which the distribution of || over && does not keep.
QStringList textOrder(const ExpressionTreeNodePtr &tree)
{
    QStringList names;
    QSet<QString> seen;
    QList<const ExpressionTreeNode *> pending { tree.data() };
    while (!pending.isEmpty()) {
        const ExpressionTreeNode *node = pending.takeLast();
        if (node->isVariable() && !seen.contains(node->variableName())) {
            seen.insert(node->variableName());
            names.append(node->variableName());
        }
        for (qsizetype i = node->children().size() - 1; i >= 0; --i) {
            if (node->children().at(i))
                pending.append(node->children().at(i).data());
        }
    }
    return names;
}

QString operandToString(const CNFOperand &operand)
{
    if (operand.isVariable())
        return operand.variableName() + QLatin1Char(':') + operand.variableAttribute();
    if (operand.isString())
        return QLatin1Char('\'') + operand.string() + QLatin1Char('\'');
    return QStringLiteral("<invalid>");
}

} // namespace

CNFOperand CNFOperand::fromVariable(const QString &name, const QString &attribute)
{
    CNFOperand operand;
    operand.m_kind = Variable;
    operand.m_variableName = name;
    operand.m_variableAttribute = attribute;
    return operand;
}

CNFOperand CNFOperand::fromString(const QString &s)
{
    CNFOperand operand;
    operand.m_kind = String;
    operand.m_string = s;
    return operand;
}

CNFOperand CNFOperand::fromInvalid()
{
    return CNFOperand();
}

bool operator==(const CNFOperand &a, const CNFOperand &b)
{
    return a.m_kind == b.m_kind && a.m_variableName == b.m_variableName
        && a.m_variableAttribute == b.m_variableAttribute && a.m_string == b.m_string;
}

CNFLiteral::CNFLiteral(bool negated, const CNFOperand &left, const QString &op, const CNFOperand &right)
    : m_kind(Predicate)
    , m_negated(negated)
    , m_op(op)
    , m_left(left)
    , m_right(right)
{
}

CNFLiteral::CNFLiteral(bool negated, const CNFOperand &boolVariable)
    : m_kind(BoolVariable)
    , m_negated(negated)
    , m_left(boolVariable)
{
}

CNFLiteral CNFLiteral::fromInvalid()
{
    return CNFLiteral(false, CNFOperand::fromInvalid(), QStringLiteral("invalid"), CNFOperand::fromInvalid());
}

QSet<QString> CNFLiteral::variableNames() const
{
    QSet<QString> names;
    if (m_left.isVariable())
        names.insert(m_left.variableName());
    if (isPredicate() && m_right.isVariable())
        names.insert(m_right.variableName());
    return names;
}

bool operator==(const CNFLiteral &a, const CNFLiteral &b)
{
    return a.m_kind == b.m_kind && a.m_negated == b.m_negated && a.m_op == b.m_op && a.m_left == b.m_left
        && a.m_right == b.m_right;
}

QMultiHash<QString, int> CNFDisjunction::variableLocations() const
{
    QMultiHash<QString, int> locations;
    for (int i = 0; i < numLiterals(); ++i) {
        const QSet<QString> names = literalAt(i).variableNames();
        for (const QString &name : names)
            locations.insert(name, i);
    }
    return locations;
}

QMultiHash<QString, CNFLiteralIndex> ConjunctiveNormalForm::variableLocations() const
{
    QMultiHash<QString, CNFLiteralIndex> locations;
    for (int d = 0; d < numDisjunctions(); ++d) {
        const QMultiHash<QString, int> inDisjunction = disjunctionAt(d).variableLocations();
        for (auto it = inDisjunction.cbegin(); it != inDisjunction.cend(); ++it)
            locations.insert(it.key(), CNFLiteralIndex { d, it.value() });
    }
    return locations;
}

QStringList ConjunctiveNormalForm::variableNames() const
{
    if (!m_variableOrder.isEmpty())
        return m_variableOrder;
    QStringList names;
    QSet<QString> seen;
    const auto note = [&](const CNFOperand &operand) {
        if (operand.isVariable() && !seen.contains(operand.variableName())) {
            seen.insert(operand.variableName());
            names.append(operand.variableName());
        }
    };
    for (const CNFDisjunction &disjunction : *this) {
        for (const CNFLiteral &literal : disjunction) {
            note(literal.left());
            if (literal.isPredicate())
                note(literal.right());
        }
    }
    return names;
}

QString ConjunctiveNormalForm::toString() const
{
    QStringList lines;
    for (const CNFDisjunction &disjunction : *this) {
        QStringList literals;
        for (const CNFLiteral &literal : disjunction) {
            QString text = literal.isNegated() ? QStringLiteral("!") : QString();
            if (literal.isPredicate())
                text += operandToString(literal.left()) + QLatin1Char(' ') + literal.op() + QLatin1Char(' ')
                    + operandToString(literal.right());
            else
                text += operandToString(literal.boolVariable());
            literals << text;
        }
        lines << literals.join(QLatin1String(" || "));
    }
    return lines.join(QLatin1Char('\n'));
}

ConjunctiveNormalForm constructCNF(const ExpressionTreeNodePtr &tree, bool *ok)
{
    if (ok)
        *ok = true;
    ConjunctiveNormalForm cnf;
    if (!tree)
        return cnf;

    // The copy hangs below a root of its own so that its top node, too, can be
    // replaced by a rule.
    // The rewriting recurses along the tree: a tree beyond the limit is
    // refused before it is walked.
    const int size = countNodes(tree);
    if (size > MaxCNFTreeNodes) {
        if (ok)
            *ok = false;
        return cnf;
    }
    ExpressionTreeNodePtr fakeRoot = makeOperatorNode(QStringLiteral("fakeRoot"));
    fakeRoot->children() << tree->cloneTree();
    Rewriter rewriter;
    rewriter.nodeCount = size + 1;
    rewriter.rewrite(fakeRoot);
    if (rewriter.tooLarge) {
        qCDebug(lcTraxoQuery) << "normal form exceeds" << MaxCNFTreeNodes << "nodes";
        if (ok)
            *ok = false;
        return cnf;
    }
    createCNFStructure(fakeRoot->children().at(0), Level::Conjunction, cnf);
    cnf.setVariableOrder(textOrder(tree));
    return cnf;
}

} // namespace traxo
