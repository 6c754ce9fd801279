#include "queryparser.h"

#include "query/querylogging.h"
#include "query/querytypecheck.h"

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

// Lone surrogates are replaced (keeping every position) so that no token
// text carries half a character.
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

// The token scanners below are written by hand rather than as regular
// expressions: compiling those cost more than the rest of a short search.
// Each returns the length of its token at the start of s, 0 when there is none.

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiLetterOrDigit(QChar c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

// White space in the Unicode sense of the word-operator and bare-word rules:
// the separator categories plus the horizontal and vertical blanks, so U+180E
// counts although QChar::isSpace() no longer does. None lies outside the BMP.
bool isUnicodeBlank(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == ' ' || (u >= '\t' && u <= '\r');
    switch (u) {
    case 0x85:
    case 0xa0:
    case 0x1680:
    case 0x180e:
    case 0x2028:
    case 0x2029:
    case 0x202f:
    case 0x205f:
    case 0x3000:
        return true;
    default:
        return u >= 0x2000 && u <= 0x200a;
    }
}

qsizetype blanksLength(QStringView s)
{
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r'))
        ++i;
    return i;
}

// The letters of an optional variable name and its colon: the position after
// the colon, or 0.
qsizetype variableNameLength(QStringView s)
{
    qsizetype i = 0;
    while (i < s.size() && isAsciiLetter(s[i]))
        ++i;
    return i < s.size() && s[i] == u':' ? i + 1 : 0;
}

// From "from" (just after the opening delimiter) to and with the closing one.
// Only the delimiter and the backslash may be escaped: any other escape, like
// the end of the text, leaves the token unclosed.
qsizetype escapedTextLength(QStringView s, qsizetype from, QChar close)
{
    for (qsizetype i = from; i < s.size(); ++i) {
        if (s[i] == close)
            return i + 1;
        if (s[i] == u'\\') {
            if (i + 1 == s.size() || (s[i + 1] != u'\\' && s[i + 1] != close))
                return 0;
            ++i;
        }
    }
    return 0;
}

// "x:user{Temp C}": braces allow any text in a user attribute's name, but not
// an empty one ("x:user{}" is the attribute "user" and a word).
qsizetype userAttributeVariableLength(QStringView s)
{
    const qsizetype name = variableNameLength(s);
    const QStringView open = u"user{";
    if (name == 0 || !s.mid(name).startsWith(open))
        return 0;
    const qsizetype body = name + open.size();
    if (body < s.size() && s[body] == u'}')
        return 0;
    return escapedTextLength(s, body, u'}');
}

// "x:filesize" or "x:user:Temp"; the name before the first colon may be empty.
qsizetype variableLength(QStringView s)
{
    qsizetype i = variableNameLength(s);
    if (i == 0 || i == s.size() || !isAsciiLetterOrDigit(s[i]))
        return 0;
    while (i < s.size() && isAsciiLetterOrDigit(s[i]))
        ++i;
    if (i + 1 < s.size() && s[i] == u':' && isAsciiLetterOrDigit(s[i + 1])) {
        i += 2;
        while (i < s.size() && isAsciiLetterOrDigit(s[i]))
            ++i;
    }
    return i;
}

qsizetype quotedLength(QStringView s, QChar quote)
{
    return !s.isEmpty() && s[0] == quote ? escapedTextLength(s, 1, quote) : 0;
}

// Checked per UTF-16 unit: surrogates are neither blanks nor operator
// characters, so a character outside the BMP always stays in its word whole.
qsizetype bareWordLength(QStringView s)
{
    qsizetype i = 0;
    while (i < s.size() && !isUnicodeBlank(s[i]) && !QStringView(u":&|!%=<>'\"()").contains(s[i]))
        ++i;
    return i;
}

// Where one operator begins another, the longer one comes first. Word
// operators take the blank after them, if any, into their token; they must be
// followed by a blank or the end of the query.
qsizetype binaryOperatorLength(QStringView s)
{
    static constexpr QStringView symbols[] = { u"&&", u"||", u"==", u"!=", u"<=", u"<", u">=", u">" };
    for (QStringView symbol : symbols) {
        if (s.startsWith(symbol))
            return symbol.size();
    }
    static constexpr QStringView words[] = { u"%contains", u"%matches", u"%isapprox" };
    for (QStringView word : words) {
        if (!s.startsWith(word))
            continue;
        if (s.size() == word.size())
            return word.size();
        if (isUnicodeBlank(s[word.size()]))
            return word.size() + 1;
    }
    return 0;
}

// The length of a token of the given kind at the start of s, or 0. The kinds
// are tried in the order of the enumeration: the first that fits wins.
qsizetype tokenLength(int pattern, QStringView s)
{
    switch (pattern) {
    case WhiteSpace:
        return blanksLength(s);
    case UserAttributeVariable:
        return userAttributeVariableLength(s);
    case Variable:
        return variableLength(s);
    case SingleQuoted:
        return quotedLength(s, u'\'');
    case DoubleQuoted:
        return quotedLength(s, u'"');
    case BareWord:
        return bareWordLength(s);
    case BinaryOperator:
        return binaryOperatorLength(s);
    case UnaryOperator:
        return s.startsWith(u'!') ? 1 : 0;
    case Bracket:
        return s.startsWith(u'(') || s.startsWith(u')') ? 1 : 0;
    }
    return 0;
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

    QList<ExpressionValue> tokens;
    int position = 0;
    while (position < text.size()) {
        const QStringView rest = QStringView(text).mid(position);
        int pattern = 0;
        qsizetype length = 0;
        for (; pattern <= Bracket; ++pattern) {
            length = tokenLength(pattern, rest);
            if (length > 0)
                break;
        }
        if (length == 0) {
            QString shown = rest.left(20).toString();
            if (rest.size() > 20)
                shown += QLatin1String("...");
            errors.append(QueryError(QueryErrorType::Error,
                QStringLiteral("Error while reading text at position %1 (%2):\n input seems to be invalid")
                    .arg(position)
                    .arg(shown),
                position, rest.toString()));
            return {};
        }

        const QString whole = rest.left(length).toString();
        switch (pattern) {
        case WhiteSpace:
            break;
        case UserAttributeVariable:
        case Variable:
            tokens.append(ExpressionValue::fromVariable(whole, position, whole));
            break;
        case SingleQuoted:
            tokens.append(unescapeString1(whole.mid(1, length - 2), position, whole));
            break;
        case DoubleQuoted:
            tokens.append(unescapeString2(whole.mid(1, length - 2), position, whole));
            break;
        case BareWord:
            tokens.append(unescapeString3(whole, position, whole));
            break;
        default:
            tokens.append(ExpressionValue::fromOperator(whole.toLower().trimmed(), position, whole));
            break;
        }
        position += int(length);
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
