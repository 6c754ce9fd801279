#include "returnvalue.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace traxo {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isSign(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

// The length of the number at the start of the lower-case text, 0 when there
// is none: sign, digits with '.' or ',' (whether a ',' converts is left to
// toFloat), optional exponent. Read by hand, as the regular expression
// [+-]?[0-9.,]+(e[+-]?[0-9]+)? would match it, because every comparison of
// sizes reads two numbers.
qsizetype numberLength(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = n > 0 && isSign(text[0]) ? 1 : 0;
    const qsizetype digits = i;
    while (i < n && (isDigit(text[i]) || text[i] == QLatin1Char('.') || text[i] == QLatin1Char(',')))
        ++i;
    if (i == digits)
        return 0;
    if (i < n && text[i] == QLatin1Char('e')) {
        qsizetype j = i + 1;
        if (j < n && isSign(text[j]))
            ++j;
        const qsizetype exponent = j;
        while (j < n && isDigit(text[j]))
            ++j;
        if (j > exponent)
            i = j;
    }
    return i;
}

// Every reading of a date or time starts with "dd-", "dddd-", "d:" or "dd:";
// a text that does not is ruled out without the regular expressions.
bool mayBeDate(QStringView text)
{
    const auto at = [text](qsizetype i, char c) { return i < text.size() && text[i] == QLatin1Char(c); };
    return !text.isEmpty() && isDigit(text[0]) && (at(1, ':') || at(2, ':') || at(2, '-') || at(4, '-'));
}

// The four-digit year is tried before the two-digit one so that the longer
// reading wins, as a leftmost-longest matcher would decide.
const QString &datePiece()
{
    static const QString piece = QStringLiteral("(?:([0-9]{4}|[0-9]{2})-([0-9]{1,2})-([0-9]{1,2}))");
    return piece;
}

const QString &timePiece()
{
    static const QString piece = QStringLiteral("(?:([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?)");
    return piece;
}

const QRegularExpression &dateTimeExpression()
{
    static const QRegularExpression rx(QStringLiteral("%1 +%2").arg(datePiece(), timePiece()));
    return rx;
}

const QRegularExpression &dateExpression()
{
    static const QRegularExpression rx(datePiece());
    return rx;
}

const QRegularExpression &timeExpression()
{
    static const QRegularExpression rx(timePiece());
    return rx;
}

QRegularExpressionMatch matchAtStart(const QRegularExpression &rx, const QString &text)
{
    return rx.match(text, 0, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
}

// An empty or unreadable capture counts as 0, which is how a missing second
// becomes 0.
int captureAsInt(const QRegularExpressionMatch &match, int index)
{
    bool ok = false;
    const int value = match.captured(index).toInt(&ok);
    return ok ? value : 0;
}

ReturnValue typeError()
{
    return ReturnValue(ReturnValueType::TypeError, QString());
}

// The common answer of the two-operand evaluators to operands they cannot use.
ReturnValue propagate(const ReturnValue &a, const ReturnValue &b)
{
    if (!a.isValid())
        return a;
    if (!b.isValid())
        return b;
    return typeError();
}

enum class Order { Less, LessEq, Greater, GreaterEq };

template<typename T>
bool ordered(const T &x, const T &y, Order order)
{
    switch (order) {
    case Order::Less:
        return x < y;
    case Order::LessEq:
        return x <= y;
    case Order::Greater:
        return x > y;
    case Order::GreaterEq:
        return x >= y;
    }
    return false;
}

// Dates are compared as dates before the numeric test: every date also reads
// as its leading number (the year), and ordering years alone would make
// 2010-01-05 < 2010-02-01 false.
ReturnValue evaluateOrder(const ReturnValue &a, const ReturnValue &b, Order order)
{
    if (!a.isValid() || !b.isValid())
        return propagate(a, b);
    bool aDate = false;
    bool bDate = false;
    const QDateTime da = a.toDate(&aDate);
    if (aDate) {
        const QDateTime db = b.toDate(&bDate);
        if (bDate)
            return ReturnValue::fromBool(ordered(da, db, order));
    }
    bool aNumber = false;
    bool bNumber = false;
    const double x = a.toNumber(&aNumber);
    const double y = b.toNumber(&bNumber);
    if (aNumber && bNumber)
        return ReturnValue::fromBool(ordered(x, y, order));
    return propagate(a, b);
}

void appendSet(QString &pattern, QStringView set, bool negated)
{
    pattern += QLatin1Char('[');
    if (negated)
        pattern += QLatin1Char('^');
    for (const QChar c : set) {
        // Inside a class only these are special to the regular expression; '-'
        // keeps its meaning as a range.
        if (c == QLatin1Char('\\') || c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('^'))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    pattern += QLatin1Char(']');
}

bool isAscii(QStringView text)
{
    char16_t bits = 0;
    for (const QChar c : text)
        bits |= c.unicode();
    return bits < 0x80;
}

// For ASCII, QString::toLower changes 'A'-'Z' and nothing else.
char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

} // namespace

ReturnValue::ReturnValue(ReturnValueType type, const QString &value)
    : m_type(type)
    , m_value(value)
{
}

ReturnValue ReturnValue::fromBool(bool b)
{
    return ReturnValue(ReturnValueType::Bool, b ? QStringLiteral("true") : QStringLiteral("false"));
}

ReturnValue ReturnValue::fromString(const QString &s)
{
    return ReturnValue(ReturnValueType::String, s);
}

ReturnValue ReturnValue::fromNumber(float x)
{
    // Sizes and ids are whole numbers, whose six-digit text is their integer
    // text; formatting them as integers is much cheaper.
    if (std::fabs(x) < 1e6f && x == std::trunc(x))
        return ReturnValue(ReturnValueType::String, QString::number(qint64(x)));
    return ReturnValue(ReturnValueType::String, QString::number(x, 'g', 6));
}

ReturnValue ReturnValue::fromInteger(qint64 x)
{
    return ReturnValue(ReturnValueType::String, QString::number(x));
}

bool ReturnValue::isNumber() const
{
    bool ok = false;
    toNumber(&ok);
    return ok;
}

bool ReturnValue::isDate() const
{
    bool ok = false;
    toDate(&ok);
    return ok;
}

QString ReturnValue::toString(bool *ok) const
{
    if (ok)
        *ok = isString();
    return isString() ? m_value : QString();
}

bool ReturnValue::toBool(bool *ok) const
{
    if (ok)
        *ok = isBool();
    return isBool() && m_value == QLatin1String("true");
}

double ReturnValue::toNumber(bool *ok) const
{
    // Sizes and ids, most of what a search compares, are plain integers: read
    // without the locale-aware conversion, exactly below 2^63.
    const qsizetype size = m_value.size();
    qsizetype i = size > 0 && isSign(m_value.at(0)) ? 1 : 0;
    if (size > i && size - i <= 18) {
        qint64 integer = 0;
        for (; i < size && isDigit(m_value.at(i)); ++i)
            integer = integer * 10 + (m_value.at(i).unicode() - u'0');
        if (i == size) {
            if (ok)
                *ok = true;
            return double(m_value.at(0) == QLatin1Char('-') ? -integer : integer);
        }
    }

    QString text = m_value.toLower();
    double factor = 1.0;
    if (text.endsWith(QLatin1String("kb")))
        factor = 1024.0;
    else if (text.endsWith(QLatin1String("mb")))
        factor = 1048576.0;
    else if (text.endsWith(QLatin1String("gb")))
        factor = 1073741824.0;
    if (factor != 1.0)
        text.chop(2);

    const qsizetype length = numberLength(text);
    if (length == 0) {
        if (ok)
            *ok = false;
        return 0.0;
    }
    bool converted = false;
    const double number = QStringView(text).first(length).toDouble(&converted);
    if (ok)
        *ok = converted;
    return number * factor;
}

QDateTime ReturnValue::toDate(bool *ok) const
{
    QDate date;
    QTime time;
    if (!mayBeDate(m_value)) {
        if (ok)
            *ok = false;
        return QDateTime();
    }
    QRegularExpressionMatch match = matchAtStart(dateTimeExpression(), m_value);
    if (match.hasMatch()) {
        date = QDate(captureAsInt(match, 1), captureAsInt(match, 2), captureAsInt(match, 3));
        time = QTime(captureAsInt(match, 4), captureAsInt(match, 5), captureAsInt(match, 6));
    } else if ((match = matchAtStart(dateExpression(), m_value)).hasMatch()) {
        date = QDate(captureAsInt(match, 1), captureAsInt(match, 2), captureAsInt(match, 3));
        time = QTime(0, 0, 0);
    } else if ((match = matchAtStart(timeExpression(), m_value)).hasMatch()) {
        date = QDate::currentDate();
        time = QTime(captureAsInt(match, 1), captureAsInt(match, 2), captureAsInt(match, 3));
    } else {
        if (ok)
            *ok = false;
        return QDateTime();
    }
    // Checked apart because QDateTime may quietly replace an invalid time by
    // midnight, which would let 25:00 pass as a date.
    QDateTime result;
    if (date.isValid() && time.isValid())
        result = QDateTime(date, time);
    if (ok)
        *ok = result.isValid();
    return result;
}

QString wildcardToRegularExpressionPattern(const QString &wildcard)
{
    QString pattern;
    QString literal;
    const auto flushLiteral = [&]() {
        pattern += QRegularExpression::escape(literal);
        literal.clear();
    };

    const qsizetype n = wildcard.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = wildcard.at(i);
        if (c == QLatin1Char('*')) {
            flushLiteral();
            pattern += QLatin1String(".*");
        } else if (c == QLatin1Char('?')) {
            flushLiteral();
            pattern += QLatin1Char('.');
        } else if (c == QLatin1Char('[')) {
            // A ']' right after "[" or "[^" belongs to the set; a '[' that is
            // never closed is an ordinary character.
            qsizetype start = i + 1;
            const bool negated = start < n && wildcard.at(start) == QLatin1Char('^');
            if (negated)
                ++start;
            const qsizetype close = wildcard.indexOf(QLatin1Char(']'), start + 1);
            if (start >= n || close < 0) {
                literal += c;
                continue;
            }
            flushLiteral();
            appendSet(pattern, QStringView(wildcard).mid(start, close - start), negated);
            i = close;
        } else {
            literal += c;
        }
    }
    flushLiteral();
    return QRegularExpression::anchoredPattern(pattern);
}

bool wildcardMatches(const QString &wildcard, const QString &text)
{
    // Evaluation applies one pattern to every candidate of a container, so the
    // compiled expressions are kept; the cache is per thread and bounded.
    thread_local QHash<QString, QRegularExpression> cache;
    auto it = cache.constFind(wildcard);
    if (it == cache.constEnd()) {
        if (cache.size() >= 64)
            cache.clear();
        it = cache.insert(wildcard,
            QRegularExpression(
                wildcardToRegularExpressionPattern(wildcard), QRegularExpression::DotMatchesEverythingOption));
    }
    // An unusable pattern (for instance a reversed range) matches nothing.
    return it->isValid() && it->match(text).hasMatch();
}

bool lowerCaseContains(QStringView text, QStringView lowerNeedle)
{
    if (!isAscii(text))
        return text.toString().toLower().contains(lowerNeedle);
    const qsizetype n = lowerNeedle.size();
    if (n == 0)
        return true;
    const char16_t *hay = text.utf16();
    const char16_t *needle = lowerNeedle.utf16();
    for (qsizetype i = 0, last = text.size() - n; i <= last; ++i) {
        if (asciiLower(hay[i]) != needle[0])
            continue;
        qsizetype j = 1;
        while (j < n && asciiLower(hay[i + j]) == needle[j])
            ++j;
        if (j == n)
            return true;
    }
    return false;
}

ReturnValue evaluateEq(const ReturnValue &a, const ReturnValue &b)
{
    if (!a.isString() || !b.isString())
        return propagate(a, b);
    return ReturnValue::fromBool(a.value().toLower() == b.value().toLower());
}

ReturnValue evaluateNEq(const ReturnValue &a, const ReturnValue &b)
{
    const ReturnValue equal = evaluateEq(a, b);
    if (!equal.isBool())
        return equal;
    return ReturnValue::fromBool(!equal.toBool());
}

ReturnValue evaluateLess(const ReturnValue &a, const ReturnValue &b)
{
    return evaluateOrder(a, b, Order::Less);
}

ReturnValue evaluateLessEq(const ReturnValue &a, const ReturnValue &b)
{
    return evaluateOrder(a, b, Order::LessEq);
}

ReturnValue evaluateGreater(const ReturnValue &a, const ReturnValue &b)
{
    return evaluateOrder(a, b, Order::Greater);
}

ReturnValue evaluateGreaterEq(const ReturnValue &a, const ReturnValue &b)
{
    return evaluateOrder(a, b, Order::GreaterEq);
}

ReturnValue evaluateContains(const ReturnValue &a, const ReturnValue &b)
{
    if (!a.isString() || !b.isString())
        return propagate(a, b);
    return ReturnValue::fromBool(lowerCaseContains(a.value(), b.value().toLower()));
}

ReturnValue evaluateMatches(const ReturnValue &a, const ReturnValue &b)
{
    if (!a.isString() || !b.isString())
        return propagate(a, b);
    return ReturnValue::fromBool(wildcardMatches(b.value().toLower(), a.value().toLower()));
}

ReturnValue evaluateIsApprox(const ReturnValue &a, const ReturnValue &b)
{
    if (!a.isValid() || !b.isValid())
        return propagate(a, b);
    bool aNumber = false;
    bool bNumber = false;
    const double x = a.toNumber(&aNumber);
    const double y = b.toNumber(&bNumber);
    if (!aNumber || !bNumber)
        return propagate(a, b);
    // Relative to the larger signed value: two negatives give a negative
    // quotient, which counts as close.
    const double quotient = std::fabs(x - y) / std::max(x, y);
    return ReturnValue::fromBool(std::isfinite(quotient) && 0.01 > quotient);
}

ReturnValue evaluateAnd(const ReturnValue &a, const ReturnValue &b)
{
    if (a.isString() || b.isString())
        return typeError();
    if (a.isBool())
        return a.toBool() ? b : a;
    return a;
}

ReturnValue evaluateOr(const ReturnValue &a, const ReturnValue &b)
{
    if (a.isBool() && a.toBool())
        return a;
    // Whatever is not true on the left leaves the answer to the right.
    if (b.isString())
        return typeError();
    return b;
}

ReturnValue evaluateNot(const ReturnValue &a)
{
    if (a.isBool())
        return ReturnValue::fromBool(!a.toBool());
    if (a.isString())
        return typeError();
    return a;
}

} // namespace traxo
