#ifndef TRAXO_QUERYTYPECHECK_H
#define TRAXO_QUERYTYPECHECK_H

#include "query/expressiontreenode.h"
#include "query/queryerror.h"
#include "query/returnvalue.h"

#include <QHash>
#include <QList>
#include <QString>

namespace traxo {

// A type is a comma-separated list of "string", "number", "date", "boolean"
// and their negations "nostring", ...: a word says the value is of that type,
// its negation that it cannot be, and its absence that it may be.
enum class TypeFit { Fits, MayFit, DoesNotFit };

// Checks a parsed tree against the types of the attributes it names. Appends
// errors and warnings (children's before their parent's) and returns true when
// the query may be evaluated: no errors, and a result that can be a boolean.
bool checkQueryTypes(const ExpressionTreeNodePtr &tree, QList<QueryError> &errors);

// Attribute name -> type string; the same names key the candidate tables.
QHash<QString, QString> getAttributeTypes();
// The negative word is looked for first, so "nonumber" is not read as "number".
TypeFit checkIfTypeFits(const QString &typeWord, const QString &typeString);

QString getTypes(
    const ExpressionTreeNodePtr &node, const QHash<QString, QString> &attributeTypes, QList<QueryError> &errors);
// A literal is always a string and a boolean; number and date as it reads.
QString getTypesOfString(const ReturnValue &literal);

void checkLogicalOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors);
void checkComparissonOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors);
void checkStringOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors);
void checkNumberOperators(
    const ExpressionTreeNodePtr &node, const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors);
void checkUnaryLogicalOperators(const ExpressionTreeNodePtr &node, const QString &types, QList<QueryError> &errors);

// Both operands must be of type; reports at the operator.
void createErrorOneType(const ExpressionTreeNodePtr &node, const QString &type, const QString &leftTypes,
    const QString &rightTypes, QList<QueryError> &errors);
// Both operands must be of type1 or both of type2; reports at the operator.
void createErrorTwoTypes(const ExpressionTreeNodePtr &node, const QString &type1, const QString &type2,
    const QString &leftTypes, const QString &rightTypes, QList<QueryError> &errors);

// "\n'<text>' is not a <type>." and "\n'<text>' may not be a <type>."
QString wrongTypeStr(const QString &text, const QString &type);
QString maybeWrongTypeStr(const QString &text, const QString &type);

} // namespace traxo

#endif
