#include "queryparser.h"

#include "query/querylogging.h"
#include "query/querytypecheck.h"

#include <QRegularExpression>

#include <algorithm>
#include <climits>

namespace traxo {

namespace {

enum TokenPattern {
    WhiteSpace,
    UserAttributeVariable,
    Variable,
    SingleQuoted,
    DoubleQuoted,
    BareWord,
    BinaryOperator,
    UnaryOperator,
    Bracket,
};

// The token patterns in the order they are tried. Where a pattern could match
// in more than one way the longest reading must win: "<=" is listed before "<",
// and the escape loops of quoted strings are written so that each character is
// taken in exactly one way, possessively, which also keeps a megabyte-long
// string from exhausting the matcher's backtracking stack.
const QList<QRegularExpression> &tokenPatterns()
{
    static const QList<QRegularExpression> patterns = [] {
        const auto unicode = QRegularExpression::UseUnicodePropertiesOption;
        QList<QRegularExpression> list;
        list << QRegularExpression(QStringLiteral("[ \\t\\n\\r]+"))
             << QRegularExpression(QStringLiteral("[a-zA-Z]*:user\\{(?!\\})[^}\\\\]*+(?:\\\\[\\\\}][^}\\\\]*+)*+\\}"))
             << QRegularExpression(QStringLiteral("[a-zA-Z]*:[a-zA-Z0-9]+(?::[a-zA-Z0-9]+)?"))
             << QRegularExpression(QStringLiteral("'([^'\\\\]*+(?:\\\\[\\\\'][^'\\\\]*+)*+)'"))
             << QRegularExpression(QStringLiteral("\"([^\"\\\\]*+(?:\\\\[\\\\\"][^\"\\\\]*+)*+)\""))
             << QRegularExpression(QStringLiteral("[^:&|!%=<>\\s'\"()]+"), unicode)
             << QRegularExpression(QStringLiteral("&&|\\|\\||==|!=|<=|<|>=|>|%contains(?:\\s|\\z)"
                                                  "|%matches(?:\\s|\\z)|%isapprox(?:\\s|\\z)"),
                    unicode)
             << QRegularExpression(QStringLiteral("!")) << QRegularExpression(QStringLiteral("\\(|\\)"));
        return list;
    }();
    return patterns;
}

// Lone surrogates are replaced (keeping every position) so that the matcher
// may skip its own validity check of the whole subject, which it would
// otherwise repeat for every token of a long query.
QString validUtf16(const QString &query)
{
    if (QStringView(query).isValidUtf16())
        return query;
    QString copy = query;
    for (qsizetype i = 0; i < copy.size(); ++i) {
        const QChar c = copy.at(i);
        if (c.isHighSurrogate() && i + 1 < copy.size() && copy.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            copy[i] = QChar::ReplacementCharacter;
    }
    return copy;
}

// Whether a token of the pattern can begin with c. Trying only those patterns
// leaves the result as it was (the first pattern in order that matches) and
// spares most of the failing attempts, which dominate the time of lexing.
bool mayStartWith(int pattern, QChar c)
{
    const char16_t u = c.unicode();
    const bool blank = u == ' ' || u == '\t' || u == '\n' || u == '\r';
    const bool variableStart = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == ':';
    switch (pattern) {
    case WhiteSpace:
        return blank;
    case UserAttributeVariable:
    case Variable:
        return variableStart;
    case SingleQuoted:
        return u == '\'';
    case DoubleQuoted:
        return u == '"';
    case BareWord:
        return !blank && !QStringView(u":&|!%=<>'\"()").contains(c) && !c.isSpace();
    case BinaryOperator:
        return QStringView(u"&|=!<>%").contains(c);
    case UnaryOperator:
        return u == '!';
    case Bracket:
        return u == '(' || u == ')';
    }
    return false;
}

QString unescapeQuoted(const QString &content, QChar quote)
{
    QString result;
    result.reserve(content.size());
    for (qsizetype i = 0; i < content.size(); ++i) {
        const QChar c = content.at(i);
        if (c == QLatin1Char('\\') && i + 1 < content.size()
            && (content.at(i + 1) == QLatin1Char('\\') || content.at(i + 1) == quote)) {
            result += content.at(++i);
        } else {
            result += c;
        }
    }
    return result;
}

QString nestingMessage(int position)
{
    return QStringLiteral("Error at position %1:\n query is nested more than %2 levels deep.")
        .arg(position)
        .arg(MaxQueryNestingDepth);
}

bool isOperand(const ExpressionValue &token)
{
    return token.isString() || token.isVariable();
}

bool isOperator(const ExpressionValue &token, const char *name)
{
    return token.isOperator() && token.operatorName() == QLatin1String(name);
}

} // namespace

ExpressionValue makeEndOfStreamOperator()
{
    return ExpressionValue::fromOperator(QStringLiteral("EOS"), -1, QString());
}

ExpressionValue createImplizitAnd(int position)
{
    return ExpressionValue::fromOperator(QStringLiteral("implizit &&"), position, QString());
}

ExpressionValue unescapeString1(const QString &content, int position, const QString &originalText)
{
    return ExpressionValue::fromString(unescapeQuoted(content, QLatin1Char('\'')), position, originalText);
}

ExpressionValue unescapeString2(const QString &content, int position, const QString &originalText)
{
    return ExpressionValue::fromString(unescapeQuoted(content, QLatin1Char('"')), position, originalText);
}

ExpressionValue unescapeString3(const QString &content, int position, const QString &originalText)
{
    return ExpressionValue::fromString(content, position, originalText);
}

QList<ExpressionValue> lexQuery(const QString &query, QList<QueryError> &errors)
{
    const QString text = validUtf16(query);
    const QList<QRegularExpression> &patterns = tokenPatterns();
    const auto options
        = QRegularExpression::AnchorAtOffsetMatchOption | QRegularExpression::DontCheckSubjectStringMatchOption;

    QList<ExpressionValue> tokens;
    int position = 0;
    while (position < text.size()) {
        int pattern = 0;
        QRegularExpressionMatch match;
        const QChar first = text.at(position);
        for (; pattern < patterns.size(); ++pattern) {
            if (!mayStartWith(pattern, first))
                continue;
            match = patterns.at(pattern).match(text, position, QRegularExpression::NormalMatch, options);
            if (match.hasMatch())
                break;
        }
        if (pattern == patterns.size()) {
            const QString rest = text.mid(position);
            QString shown = rest.left(20);
            if (rest.size() > 20)
                shown += QLatin1String("...");
            errors.append(QueryError(QueryErrorType::Error,
                QStringLiteral("Error while reading text at position %1 (%2):\n input seems to be invalid")
                    .arg(position)
                    .arg(shown),
                position, rest));
            return {};
        }

        const QString whole = match.captured(0);
        switch (pattern) {
        case WhiteSpace:
            break;
        case UserAttributeVariable:
        case Variable:
            tokens.append(ExpressionValue::fromVariable(whole, position, whole));
            break;
        case SingleQuoted:
            tokens.append(unescapeString1(match.captured(1), position, whole));
            break;
        case DoubleQuoted:
            tokens.append(unescapeString2(match.captured(1), position, whole));
            break;
        case BareWord:
            tokens.append(unescapeString3(whole, position, whole));
            break;
        default:
            tokens.append(ExpressionValue::fromOperator(whole.toLower().trimmed(), position, whole));
            break;
        }
        position += int(whole.size());
    }
    qCDebug(lcTraxoQuery) << "lexed" << tokens.size() << "tokens";
    return tokens;
}

// One walk with a bracket depth instead of a recursion per bracket, so deep
// nesting costs no stack; the depth is still limited, see MaxQueryNestingDepth.
QList<ExpressionValue> checkSyntax(const QList<ExpressionValue> &tokens, QList<QueryError> &errors)
{
    if (tokens.isEmpty()) {
        errors.append(QueryError(
            QueryErrorType::Error, QStringLiteral("Error after position 0:\n query is empty."), 0, QString()));
        return {};
    }

    QList<ExpressionValue> result;
    result.reserve(tokens.size() * 2);
    bool operandDone = false;
    int depth = 0;
    for (const ExpressionValue &token : tokens) {
        const bool open = isOperator(token, "(");
        const bool close = isOperator(token, ")");
        const bool negation = isOperator(token, "!");

        if (operandDone) {
            if (close) {
                if (depth == 0) {
                    errors.append(QueryError(QueryErrorType::Error,
                        QStringLiteral("Error at position %1:\n found a closing  bracket ) but did not except one.")
                            .arg(token.position()),
                        token.position(), token.originalText()));
                    return {};
                }
                --depth;
                result.append(token);
                continue;
            }
            if (token.isOperator() && token.numArgs() == 2) {
                result.append(token);
                operandDone = false;
                continue;
            }
            // Juxtaposed operands are joined by an AND at the second one.
            result.append(createImplizitAnd(token.position()));
            operandDone = false;
        }

        if (isOperand(token)) {
            result.append(token);
            operandDone = true;
        } else if (open) {
            if (++depth > MaxQueryNestingDepth) {
                errors.append(QueryError(
                    QueryErrorType::Error, nestingMessage(token.position()), token.position(), token.originalText()));
                return {};
            }
            result.append(token);
        } else if (negation) {
            result.append(token);
        } else if (close && depth == 0) {
            errors.append(QueryError(QueryErrorType::Error,
                QStringLiteral("Error at position %1:\n found a closing  bracket ) but did not except one.")
                    .arg(token.position()),
                token.position(), token.originalText()));
            return {};
        } else {
            errors.append(QueryError(QueryErrorType::Error,
                QStringLiteral("Error at position %1:\n expected a string, a variable, an open bracket '(' or an "
                               "unary operator (e.g. !), but found '%2'.")
                    .arg(token.position())
                    .arg(token.originalText()),
                token.position(), token.originalText()));
            return {};
        }
    }

    if (depth > 0 || !operandDone) {
        const ExpressionValue &last = tokens.last();
        errors.append(QueryError(QueryErrorType::Error,
            QStringLiteral("Error after position %1:\n premature end of query  after %2.")
                .arg(last.position() + last.length())
                .arg(last.originalText()),
            last.position(), last.originalText()));
        return {};
    }
    return result;
}

ExpressionTreeNodePtr createTree(const QList<ExpressionValue> &tokens, const QString &query, QList<QueryError> &errors)
{
    if (tokens.isEmpty())
        return {};

    QList<ExpressionValue> operators;
    QList<ExpressionTreeNodePtr> subtrees;
    // Of each entry of subtrees: the brackets and negations the user wrote
    // around its deepest operand. Chains of "&&" or "||" add nothing, so a
    // query of any length fits as long as it is not nested too deeply.
    QList<int> nestings;

    // Makes a node of the operator on top of the stack from its operands.
    const auto reduce = [&]() -> bool {
        const ExpressionValue op = operators.takeLast();
        const int numArgs = op.numArgs();
        if (numArgs < 0 || subtrees.size() < numArgs) {
            qCDebug(lcTraxoQuery) << "operator without operands:" << op.operatorName();
            return false;
        }
        ExpressionTreeNodePtr node = ExpressionTreeNode::create(op);
        int nesting = 0;
        for (int i = 0; i < numArgs; ++i) {
            node->children().prepend(subtrees.takeLast());
            nesting = std::max(nesting, nestings.takeLast());
        }
        // A comparison of comparisons nests as well: the type check names
        // each operand's whole text in its messages.
        const QString name = op.operatorName();
        const bool logical = name.contains(QLatin1String("&&")) || name.contains(QLatin1String("||"));
        const bool nests = name == QLatin1String("!")
            || (!logical && std::any_of(node->children().cbegin(), node->children().cend(), [](const auto &child) {
                   return child->isOperator();
               }));
        if (nests && ++nesting > MaxQueryNestingDepth) {
            errors.append(
                QueryError(QueryErrorType::Error, nestingMessage(op.position()), op.position(), op.originalText()));
            return false;
        }
        int start = INT_MAX;
        int end = INT_MIN;
        for (const ExpressionTreeNodePtr &child : node->children()) {
            start = std::min(start, child->spanPosition());
            end = std::max(end, child->spanPosition() + child->spanLength());
        }
        if (numArgs > 0)
            node->setSpan(start, end - start, query);
        subtrees.append(node);
        nestings.append(nesting);
        return true;
    };

    QList<ExpressionValue> input = tokens;
    input.append(makeEndOfStreamOperator());
    int offset = 0;
    for (ExpressionValue token : std::as_const(input)) {
        if (isOperand(token)) {
            ExpressionTreeNodePtr leaf = ExpressionTreeNode::create(token);
            leaf->setSpan(token.position(), token.originalText());
            subtrees.append(leaf);
            nestings.append(offset / 10);
        } else if (isOperator(token, "(")) {
            offset += 10;
        } else if (isOperator(token, ")")) {
            offset -= 10;
        } else if (token.isOperator()) {
            token.setPrecedence(getPrecedence(token.operatorName()) + offset);
            while (!operators.isEmpty()
                && (operators.last().precedence() > token.precedence()
                    || (operators.last().precedence() == token.precedence() && token.association() == 'l'))) {
                if (!reduce())
                    return {};
            }
            operators.append(token);
        }
    }
    if (subtrees.size() != 1) {
        qCDebug(lcTraxoQuery) << "tree building left" << subtrees.size() << "subtrees";
        return {};
    }
    return subtrees.first();
}

ExpressionTreeNodePtr makeAnyContainsNode(const ExpressionTreeNodePtr &node)
{
    ExpressionTreeNodePtr contains
        = ExpressionTreeNode::create(ExpressionValue::fromOperator(QStringLiteral("%contains"), node->position(), {}));
    contains->setSpan(node->spanPosition(), node->spanText());

    ExpressionTreeNodePtr any
        = ExpressionTreeNode::create(ExpressionValue::fromVariable(QStringLiteral(":any"), node->position(), {}));
    any->setSpan(node->position(), QString());

    contains->children() << any << node;
    return contains;
}

// Both passes below walk the tree with a list of nodes still to visit rather
// than by recursion: a long chain of "&&" is a deep tree.
ExpressionTreeNodePtr expandImplicitTreeNodes(const ExpressionTreeNodePtr &node, bool isRoot)
{
    if (!node)
        return node;
    if (isRoot && node->isString())
        return makeAnyContainsNode(node);

    QList<ExpressionTreeNode *> pending { node.data() };
    while (!pending.isEmpty()) {
        ExpressionTreeNode *current = pending.takeLast();
        const QString name = current->operatorName();
        const bool logical
            = name.contains(QLatin1String("&&")) || name.contains(QLatin1String("||")) || name == QLatin1String("!");
        for (ExpressionTreeNodePtr &child : current->children()) {
            if (logical && child && child->isString())
                child = makeAnyContainsNode(child);
            if (child)
                pending.append(child.data());
        }
    }
    return node;
}

QSet<QString> expandUnnamedVariables(const ExpressionTreeNodePtr &node, int counter)
{
    QSet<QString> given;
    // Left to right: the children are taken from the end of the list.
    QList<ExpressionTreeNode *> pending;
    if (node)
        pending.append(node.data());
    while (!pending.isEmpty()) {
        ExpressionTreeNode *current = pending.takeLast();
        if (current->isVariable() && current->variableName().isEmpty()) {
            const QString name = QStringLiteral("@unnamed-%1").arg(++counter);
            current->setVariableName(name);
            given.insert(name);
        }
        const auto &children = current->children();
        for (qsizetype i = children.size() - 1; i >= 0; --i) {
            if (children.at(i))
                pending.append(children.at(i).data());
        }
    }
    return given;
}

ExpressionTreeNodePtr parseQuery(const QString &query, QList<QueryError> &errors)
{
    errors.clear();
    const QList<ExpressionValue> tokens = lexQuery(query, errors);
    if (containsErrors(errors))
        return {};
    const QList<ExpressionValue> checked = checkSyntax(tokens, errors);
    if (containsErrors(errors))
        return {};
    ExpressionTreeNodePtr tree = createTree(checked, query, errors);
    if (!tree || containsErrors(errors))
        return {};
    if (!checkQueryTypes(tree, errors))
        return {};
    tree = expandImplicitTreeNodes(tree, true);
    expandUnnamedVariables(tree, 0);
    return tree;
}

} // namespace traxo
