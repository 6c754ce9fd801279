#ifndef TRAXO_EXPRESSIONVALUE_H
#define TRAXO_EXPRESSIONVALUE_H

#include <QString>

namespace traxo {

// The operator table, keyed by the exact operator text. An unknown text has
// precedence -1, -1 operands and no association ('x').
int getPrecedence(const QString &op);
int getNumArguments(const QString &op);
char getAssociation(const QString &op);

// One token of a query, kept again as the payload of each syntax-tree node:
// a variable ("f:filename"), a string, or an operator. position is the index
// of the token's first character in the query, -1 for tokens the parser made
// up (the implicit AND, the end marker).
class ExpressionValue
{
public:
    enum Kind { None, Variable, String, Operator };

    ExpressionValue() = default;

    static ExpressionValue fromVariable(
        const QString &name, const QString &attribute, int position, const QString &originalText);
    // Splits "name:attribute" or "name:user{text}" into name and attribute.
    static ExpressionValue fromVariable(const QString &text, int position, const QString &originalText);
    static ExpressionValue fromString(const QString &string, int position, const QString &originalText);
    // Precedence, association and operand count come from the operator table.
    static ExpressionValue fromOperator(const QString &name, int position, const QString &originalText);

    Kind kind() const { return m_kind; }
    bool isVariable() const { return m_kind == Variable; }
    bool isString() const { return m_kind == String; }
    bool isOperator() const { return m_kind == Operator; }

    QString variableName() const { return isVariable() ? m_variableName : QString(); }
    QString variableAttribute() const { return isVariable() ? m_variableAttribute : QString(); }
    QString string() const { return isString() ? m_string : QString(); }
    QString operatorName() const { return isOperator() ? m_operatorName : QString(); }
    int precedence() const { return isOperator() ? m_precedence : -1; }
    char association() const { return isOperator() ? m_association : 'x'; }
    int numArgs() const { return isOperator() ? m_numArgs : -1; }

    void setPrecedence(int precedence);
    void setVariableName(const QString &name);

    QString originalText() const { return m_originalText; }
    int position() const { return m_position; }
    int length() const { return int(m_originalText.size()); }

private:
    Kind m_kind = None;
    QString m_variableName;
    QString m_variableAttribute;
    QString m_string;
    QString m_operatorName;
    int m_precedence = -1;
    char m_association = 'x';
    int m_numArgs = -1;
    QString m_originalText;
    int m_position = -1;
};

} // namespace traxo

#endif
