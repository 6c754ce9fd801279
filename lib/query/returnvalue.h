#ifndef TRAXO_RETURNVALUE_H
#define TRAXO_RETURNVALUE_H

#include <QDateTime>
#include <QMetaType>
#include <QString>

namespace traxo {

// The kinds of value the query language handles. Only Bool and String are
// valid; the others describe why no value could be produced and travel
// unchanged through the evaluators to the caller.
enum class ReturnValueType {
    Bool,
    String,
    MissingAttribute,
    TypeError,
    InvalidOperand,
    UnassignedVariable,
};

// One value of the query language: an attribute value, a literal or the result
// of an operator. Everything is text underneath; numbers and dates are texts
// that read as such.
class ReturnValue
{
public:
    ReturnValue() = default;
    ReturnValue(ReturnValueType type, const QString &value);

    static ReturnValue fromBool(bool b);
    static ReturnValue fromString(const QString &s);
    // Six significant digits, the shorter of fixed and exponent form: the text
    // that attribute tables hold for sizes and ids.
    static ReturnValue fromNumber(float x);
    // The exact decimal text of a count: sizes beyond 2^32 bytes compare
    // exactly, where six digits would round them.
    static ReturnValue fromInteger(qint64 x);

    ReturnValueType type() const { return m_type; }
    QString value() const { return m_value; }

    bool isBool() const { return m_type == ReturnValueType::Bool; }
    bool isString() const { return m_type == ReturnValueType::String; }
    bool isUnassignedVariable() const { return m_type == ReturnValueType::UnassignedVariable; }
    bool isValid() const { return isBool() || isString(); }
    bool isNumber() const;
    bool isDate() const;

    QString toString(bool *ok = nullptr) const;
    bool toBool(bool *ok = nullptr) const;
    // Reads a leading number with an optional kb/mb/gb unit (binary factors);
    // text after the number is ignored, so "12abc" reads as 12. In double
    // precision, so that byte counts up to 2^53 read exactly.
    double toNumber(bool *ok = nullptr) const;
    // Reads "date time", "date" or "time" at the start of the text, in local
    // time; a time alone is taken on the current day.
    QDateTime toDate(bool *ok = nullptr) const;

    friend bool operator==(const ReturnValue &a, const ReturnValue &b)
    {
        return a.m_type == b.m_type && a.m_value == b.m_value;
    }
    friend bool operator!=(const ReturnValue &a, const ReturnValue &b) { return !(a == b); }

private:
    ReturnValueType m_type = ReturnValueType::TypeError;
    QString m_value;
};

// Translates a query wildcard ('*' any run, '?' one character, "[...]" a set,
// "[^...]" its complement) into an anchored regular expression pattern. '/' and
// every other character stand for themselves.
QString wildcardToRegularExpressionPattern(const QString &wildcard);
// True when the wildcard matches the whole text (case-sensitively; callers
// lower-case both sides for the query's case-insensitive matching).
bool wildcardMatches(const QString &wildcard, const QString &text);
// True when text.toLower() contains lowerNeedle, a text the caller has
// lower-cased already. ASCII text is searched in place, without its copy.
bool lowerCaseContains(QStringView text, QStringView lowerNeedle);

// The comparison evaluators, looked up by operator text during evaluation.
// Unsuitable operands give a TypeError; an invalid operand (left first) is
// handed back unchanged, so unbound variables and missing attributes reach the
// caller as what they are.
ReturnValue evaluateEq(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateNEq(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateLess(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateLessEq(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateGreater(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateGreaterEq(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateContains(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateMatches(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateIsApprox(const ReturnValue &a, const ReturnValue &b);

// The logical evaluators; the CNF search resolves logic itself and does not
// use them.
ReturnValue evaluateAnd(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateOr(const ReturnValue &a, const ReturnValue &b);
ReturnValue evaluateNot(const ReturnValue &a);

} // namespace traxo

Q_DECLARE_METATYPE(traxo::ReturnValue)

#endif
