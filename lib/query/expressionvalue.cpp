#include "expressionvalue.h"

#include <QHash>

namespace traxo {

namespace {

struct OperatorInfo
{
    int precedence;
    int numArgs;
    char association;
};

// "||" binds more tightly than "&&", so a && b || c reads a && (b || c).
const QHash<QString, OperatorInfo> &operatorTable()
{
    static const QHash<QString, OperatorInfo> table {
        { QStringLiteral("!"), { 9, 1, 'r' } },
        { QStringLiteral("%contains"), { 6, 2, 'l' } },
        { QStringLiteral("%matches"), { 6, 2, 'l' } },
        { QStringLiteral("%isapprox"), { 6, 2, 'l' } },
        { QStringLiteral("<"), { 5, 2, 'l' } },
        { QStringLiteral("<="), { 5, 2, 'l' } },
        { QStringLiteral(">"), { 5, 2, 'l' } },
        { QStringLiteral(">="), { 5, 2, 'l' } },
        { QStringLiteral("=="), { 4, 2, 'l' } },
        { QStringLiteral("!="), { 4, 2, 'l' } },
        { QStringLiteral("||"), { 3, 2, 'l' } },
        { QStringLiteral("&&"), { 2, 2, 'l' } },
        { QStringLiteral("implizit &&"), { 2, 2, 'l' } },
        { QStringLiteral("("), { 0, 0, 'x' } },
        { QStringLiteral(")"), { 0, 0, 'x' } },
        { QStringLiteral("EOS"), { -100, 0, 'x' } },
    };
    return table;
}

OperatorInfo lookup(const QString &op)
{
    return operatorTable().value(op, OperatorInfo { -1, -1, 'x' });
}

} // namespace

int getPrecedence(const QString &op)
{
    return lookup(op).precedence;
}

int getNumArguments(const QString &op)
{
    return lookup(op).numArgs;
}

char getAssociation(const QString &op)
{
    return lookup(op).association;
}

ExpressionValue ExpressionValue::fromVariable(
    const QString &name, const QString &attribute, int position, const QString &originalText)
{
    ExpressionValue v;
    v.m_kind = Variable;
    v.m_variableName = name;
    v.m_variableAttribute = attribute;
    v.m_position = position;
    v.m_originalText = originalText;
    return v;
}

ExpressionValue ExpressionValue::fromVariable(const QString &text, int position, const QString &originalText)
{
    // The user-attribute form keeps the text between the braces as typed, so
    // "x:user{a:b}" names the attribute "user:a:b".
    static const QLatin1String userMarker(":user{");
    const qsizetype userAt = text.indexOf(userMarker);
    if (userAt >= 0 && text.endsWith(QLatin1Char('}'))) {
        const qsizetype contentStart = userAt + userMarker.size();
        const QString content = text.mid(contentStart, text.size() - 1 - contentStart);
        return fromVariable(text.left(userAt), QLatin1String("user:") + content, position, originalText);
    }
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return fromVariable(text, QString(), position, originalText);
    return fromVariable(text.left(colon), text.mid(colon + 1), position, originalText);
}

ExpressionValue ExpressionValue::fromString(const QString &string, int position, const QString &originalText)
{
    ExpressionValue v;
    v.m_kind = String;
    v.m_string = string;
    v.m_position = position;
    v.m_originalText = originalText;
    return v;
}

ExpressionValue ExpressionValue::fromOperator(const QString &name, int position, const QString &originalText)
{
    ExpressionValue v;
    v.m_kind = Operator;
    v.m_operatorName = name;
    const OperatorInfo info = lookup(name);
    v.m_precedence = info.precedence;
    v.m_numArgs = info.numArgs;
    v.m_association = info.association;
    v.m_position = position;
    v.m_originalText = originalText;
    return v;
}

void ExpressionValue::setPrecedence(int precedence)
{
    if (isOperator())
        m_precedence = precedence;
}

void ExpressionValue::setVariableName(const QString &name)
{
    if (isVariable())
        m_variableName = name;
}

} // namespace traxo
