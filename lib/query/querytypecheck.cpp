#include "querytypecheck.h"

#include <QStringList>

namespace traxo {

namespace {

void report(const ExpressionTreeNodePtr &node, const QString &message, QList<QueryError> &errors)
{
    const QueryErrorType type
        = message.startsWith(QLatin1String("warning at pos")) ? QueryErrorType::Warning : QueryErrorType::Error;
    errors.append(QueryError(type, message, node->position(), node->originalText()));
}

bool isBinary(const ExpressionTreeNodePtr &node)
{
    return node && node->isOperator() && node->numArgs() == 2 && node->children().size() == 2;
}

// The type of an operator node whose first operand has the type left.
QString getTypesOfOne(const ExpressionTreeNodePtr &node, const QString &left,
    const QHash<QString, QString> &attributeTypes, QList<QueryError> &errors);

QString operandText(const ExpressionTreeNodePtr &node, int index)
{
    const auto &children = node->children();
    return index < children.size() && children.at(index) ? children.at(index)->spanText() : QString();
}

} // namespace

QHash<QString, QString> getAttributeTypes()
{
    const QString text = QStringLiteral("string,noboolean");
    const QString flag = QStringLiteral("nostring,nonumber,nodate,boolean");
    const QString number = QStringLiteral("string,number,nodate,noboolean");
    const QString date = QStringLiteral("string,date,nonumber,noboolean");
    const QString word = QStringLiteral("string,nodate,nonumber,noboolean");
    return {
        { QStringLiteral("hash"), QStringLiteral("string,nonumber,nodate,noboolean") },
        { QStringLiteral("tagid"), number },
        { QStringLiteral("traxorootfile"), text },
        { QStringLiteral("timestamp"), date },
        { QStringLiteral("title"), text },
        { QStringLiteral("description"), text },
        { QStringLiteral("comment"), text },
        { QStringLiteral("command"), text },
        { QStringLiteral("tool"), text },
        { QStringLiteral("toolpath"), text },
        { QStringLiteral("host"), text },
        { QStringLiteral("user"), text },
        { QStringLiteral("creator"), text },
        { QStringLiteral("iswfs"), flag },
        { QStringLiteral("isfile"), flag },
        { QStringLiteral("userattrs"), text },
        { QStringLiteral("filename"), text },
        { QStringLiteral("filepath"), text },
        { QStringLiteral("filetype"), text },
        { QStringLiteral("lastmodified"), date },
        { QStringLiteral("embedded"), flag },
        { QStringLiteral("compressed"), flag },
        { QStringLiteral("filepurpose"), word },
        { QStringLiteral("isinfile"), QStringLiteral("nostring,nodate,nonumber,boolean") },
        { QStringLiteral("isoutfile"), QStringLiteral("nostring,nodate,nonumber,boolean") },
        { QStringLiteral("filesize"), number },
        { QStringLiteral("cfilesize"), number },
        { QStringLiteral("md5"), word },
        { QStringLiteral("cmd5"), word },
        { QStringLiteral("parentid"), number },
        { QStringLiteral("any"), QStringLiteral("string") },
    };
}

TypeFit checkIfTypeFits(const QString &typeWord, const QString &typeString)
{
    if (typeString.contains(QLatin1String("no") + typeWord))
        return TypeFit::DoesNotFit;
    if (typeString.contains(typeWord))
        return TypeFit::Fits;
    return TypeFit::MayFit;
}

QString getTypesOfString(const ReturnValue &literal)
{
    QString types = QStringLiteral("string,boolean");
    types += literal.isNumber() ? QLatin1String(",number") : QLatin1String(",nonumber");
    types += literal.isDate() ? QLatin1String(",date") : QLatin1String(",nodate");
    return types;
}

QString getTypes(
    const ExpressionTreeNodePtr &node, const QHash<QString, QString> &attributeTypes, QList<QueryError> &errors)
{
    if (!node)
        return QStringLiteral("boolean");
    if (node->isString())
        return getTypesOfString(ReturnValue::fromString(node->string()));
    if (node->isVariable()) {
        const QString attribute = node->variableAttribute();
        if (attribute.startsWith(QLatin1String("user:")))
            return QStringLiteral("string");
        const auto it = attributeTypes.constFind(attribute);
        if (it != attributeTypes.constEnd())
            return it.value();
        errors.append(QueryError(QueryErrorType::Error,
            QStringLiteral("error at pos %1: attribute %2 does not exist.").arg(node->position()).arg(attribute),
            node->position(), node->originalText()));
        return QStringLiteral("nostring,noboolean,nonumber,nodate");
    }
    if (!node->isOperator())
        return QStringLiteral("boolean");

    // A left operand that is itself a two-operand operator is walked without
    // recursion: chains of "&&" are as deep as they are long. Its messages
    // still come before those of the right operand and of the node.
    QList<ExpressionTreeNodePtr> chain;
    ExpressionTreeNodePtr bottom = node;
    while (isBinary(bottom) && isBinary(bottom->children().at(0))) {
        chain.append(bottom);
        bottom = bottom->children().at(0);
    }
    const bool negation = bottom->operatorName() == QLatin1String("!") && bottom->children().size() == 1;
    if (!isBinary(bottom) && !negation)
        return QStringLiteral("boolean");
    QString left = getTypes(bottom->children().at(0), attributeTypes, errors);
    left = getTypesOfOne(bottom, left, attributeTypes, errors);
    while (!chain.isEmpty())
        left = getTypesOfOne(chain.takeLast(), left, attributeTypes, errors);
    return left;
}

namespace {

QString getTypesOfOne(const ExpressionTreeNodePtr &node, const QString &left,
    const QHash<QString, QString> &attributeTypes, QList<QueryError> &errors)
{
    const QString op = node->operatorName();
    if (isBinary(node)) {
        const QString right = getTypes(node->children().at(1), attributeTypes, errors);
        if (op == QLatin1String("&&") || op == QLatin1String("implizit &&") || op == QLatin1String("||"))
            checkLogicalOperators(node, left, right, errors);
        else if (op == QLatin1String("<") || op == QLatin1String("<=") || op == QLatin1String(">")
            || op == QLatin1String(">="))
            checkComparissonOperators(node, left, right, errors);
        else if (op == QLatin1String("==") || op == QLatin1String("!=") || op == QLatin1String("%contains")
            || op == QLatin1String("%matches"))
            checkStringOperators(node, left, right, errors);
        else if (op == QLatin1String("%isapprox"))
            checkNumberOperators(node, left, right, errors);
        return QStringLiteral("boolean");
    }
    if (op == QLatin1String("!") && node->children().size() == 1)
        checkUnaryLogicalOperators(node, left, errors);
    return QStringLiteral("boolean");
}

} // namespace

bool checkQueryTypes(const ExpressionTreeNodePtr &tree, QList<QueryError> &errors)
{
    const QString types = getTypes(tree, getAttributeTypes(), errors);
    if (types.contains(QLatin1String("noboolean")) || !types.contains(QLatin1String("boolean"))) {
        const QString span = tree ? tree->spanText() : QString();
        errors.append(
            QueryError(QueryErrorType::Error, QStringLiteral("Result of query %1 is not a boolean value").arg(span),
                tree ? tree->spanPosition() : 0, span));
        return false;
    }
    return !containsErrors(errors);
}

void checkLogicalOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors)
{
    createErrorOneType(node, QStringLiteral("boolean"), leftTypes, rightTypes, errors);
}

void checkComparissonOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors)
{
    createErrorTwoTypes(node, QStringLiteral("number"), QStringLiteral("date"), leftTypes, rightTypes, errors);
}

void checkStringOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors)
{
    createErrorOneType(node, QStringLiteral("string"), leftTypes, rightTypes, errors);
}

void checkNumberOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors)
{
    createErrorOneType(node, QStringLiteral("number"), leftTypes, rightTypes, errors);
}

void checkUnaryLogicalOperators(const ExpressionTreeNodePtr &node, const QString &types, QList<QueryError> &errors)
{
    const QString boolean = QStringLiteral("boolean");
    const TypeFit fit = checkIfTypeFits(boolean, types);
    if (fit == TypeFit::Fits)
        return;
    const QString operand = operandText(node, 0);
    if (fit == TypeFit::MayFit) {
        report(node,
            QStringLiteral("warning at pos %1: operator %2 requires a boolean as argument.")
                    .arg(node->position())
                    .arg(node->operatorName())
                + maybeWrongTypeStr(operand, boolean),
            errors);
    } else {
        report(node,
            QStringLiteral("error at pos %1: operator %2 requires a boolean as argument.")
                    .arg(node->position())
                    .arg(node->operatorName())
                + wrongTypeStr(operand, boolean),
            errors);
    }
}

void createErrorOneType(const ExpressionTreeNodePtr &node, const QString &type, const QString &leftTypes,
    const QString &rightTypes, QList<QueryError> &errors)
{
    const TypeFit fits[2] = { checkIfTypeFits(type, leftTypes), checkIfTypeFits(type, rightTypes) };
    if (fits[0] == TypeFit::Fits && fits[1] == TypeFit::Fits)
        return;

    const bool wrong = fits[0] == TypeFit::DoesNotFit || fits[1] == TypeFit::DoesNotFit;
    const TypeFit explained = wrong ? TypeFit::DoesNotFit : TypeFit::MayFit;
    QString message = QStringLiteral("%1 at pos %2: operator %3 requires two %4 as arguments.")
                          .arg(wrong ? QLatin1String("error") : QLatin1String("warning"))
                          .arg(node->position())
                          .arg(node->operatorName(), type + QLatin1Char('s'));
    for (int i = 0; i < 2; ++i) {
        if (fits[i] == explained)
            message += wrong ? wrongTypeStr(operandText(node, i), type) : maybeWrongTypeStr(operandText(node, i), type);
    }
    report(node, message, errors);
}

void createErrorTwoTypes(const ExpressionTreeNodePtr &node, const QString &type1, const QString &type2,
    const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors)
{
    const QString types[2] = { leftTypes, rightTypes };
    TypeFit fit1[2];
    TypeFit fit2[2];
    for (int i = 0; i < 2; ++i) {
        fit1[i] = checkIfTypeFits(type1, types[i]);
        fit2[i] = checkIfTypeFits(type2, types[i]);
    }
    const bool pair1Possible = fit1[0] != TypeFit::DoesNotFit && fit1[1] != TypeFit::DoesNotFit;
    const bool pair2Possible = fit2[0] != TypeFit::DoesNotFit && fit2[1] != TypeFit::DoesNotFit;

    if (pair1Possible || pair2Possible) {
        if ((fit1[0] == TypeFit::Fits && fit1[1] == TypeFit::Fits)
            || (fit2[0] == TypeFit::Fits && fit2[1] == TypeFit::Fits))
            return;
        QString message = QStringLiteral("warning at pos %1: operator %2 requires either two numbers or two dates "
                                         "as arguments.")
                              .arg(node->position())
                              .arg(node->operatorName());
        for (int i = 0; pair1Possible && i < 2; ++i) {
            if (fit1[i] == TypeFit::MayFit)
                message += maybeWrongTypeStr(operandText(node, i), type1);
        }
        for (int i = 0; pair2Possible && i < 2; ++i) {
            if (fit2[i] == TypeFit::MayFit)
                message += maybeWrongTypeStr(operandText(node, i), type2);
        }
        report(node, message, errors);
        return;
    }

    QString message = QStringLiteral("error at pos %1: operator %2 requires either two %3 or two %4 as arguments.")
                          .arg(node->position())
                          .arg(node->operatorName(), type1 + QLatin1Char('s'), type2 + QLatin1Char('s'));
    bool neitherExplained = false;
    for (int i = 0; i < 2; ++i) {
        if (fit1[i] == TypeFit::DoesNotFit && fit2[i] == TypeFit::DoesNotFit) {
            message += wrongTypeStr(operandText(node, i), QStringLiteral("%1 or %2").arg(type1, type2));
            neitherExplained = true;
        }
    }
    if (!neitherExplained) {
        for (int i = 0; i < 2; ++i)
            message += wrongTypeStr(operandText(node, i), fit1[i] == TypeFit::DoesNotFit ? type1 : type2);
    }
    report(node, message, errors);
}

QString wrongTypeStr(const QString &text, const QString &type)
{
    return QStringLiteral("\n'%1' is not a %2.").arg(text, type);
}

QString maybeWrongTypeStr(const QString &text, const QString &type)
{
    return QStringLiteral("\n'%1' may not be a %2.").arg(text, type);
}

} // namespace traxo
