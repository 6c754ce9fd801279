#include "query/returnvalue.h"

#include <QtTest>

using namespace traxo;

namespace {

ReturnValue str(const char *text)
{
    return ReturnValue::fromString(QString::fromUtf8(text));
}

ReturnValue boolean(bool b)
{
    return ReturnValue::fromBool(b);
}

ReturnValue of(ReturnValueType type)
{
    return ReturnValue(type, QString());
}

ReturnValue evaluate(const QString &op, const ReturnValue &a, const ReturnValue &b)
{
    using Binary = ReturnValue (*)(const ReturnValue &, const ReturnValue &);
    static const QHash<QString, Binary> table {
        { "==", evaluateEq },
        { "!=", evaluateNEq },
        { "<", evaluateLess },
        { "<=", evaluateLessEq },
        { ">", evaluateGreater },
        { ">=", evaluateGreaterEq },
        { "%contains", evaluateContains },
        { "%matches", evaluateMatches },
        { "%isapprox", evaluateIsApprox },
        { "&&", evaluateAnd },
        { "||", evaluateOr },
    };
    if (op == QLatin1String("!"))
        return evaluateNot(a);
    return table.value(op)(a, b);
}

const char *kindName(ReturnValueType type)
{
    switch (type) {
    case ReturnValueType::Bool:
        return "Bool";
    case ReturnValueType::String:
        return "String";
    case ReturnValueType::MissingAttribute:
        return "MissingAttribute";
    case ReturnValueType::TypeError:
        return "TypeError";
    case ReturnValueType::InvalidOperand:
        return "InvalidOperand";
    case ReturnValueType::UnassignedVariable:
        return "UnassignedVariable";
    }
    return "?";
}

} // namespace

class tst_ReturnValue : public QObject
{
    Q_OBJECT

private slots:
    void kinds();
    void fromNumber_data();
    void fromNumber();
    void toNumber_data();
    void toNumber();
    void toDate_data();
    void toDate();
    void timeAloneIsToday();
    void evaluators_data();
    void evaluators();
    void wildcardTranslation_data();
    void wildcardTranslation();
};

void tst_ReturnValue::kinds()
{
    QVERIFY(boolean(true).isBool());
    QVERIFY(boolean(true).isValid());
    QVERIFY(str("x").isString());
    QVERIFY(!of(ReturnValueType::MissingAttribute).isValid());
    QVERIFY(of(ReturnValueType::UnassignedVariable).isUnassignedVariable());

    bool ok = true;
    QCOMPARE(boolean(true).toString(&ok), QString());
    QVERIFY(!ok);
    QCOMPARE(str("true").toBool(&ok), false);
    QVERIFY(!ok);
    QCOMPARE(boolean(true).toBool(&ok), true);
    QVERIFY(ok);
    QCOMPARE(str("abc").toString(&ok), QStringLiteral("abc"));
    QVERIFY(ok);

    // Equality is exact: kind and text, case included.
    QVERIFY(str("abc") == str("abc"));
    QVERIFY(str("abc") != str("ABC"));
    QVERIFY(boolean(true) != str("true"));
}

void tst_ReturnValue::fromNumber_data()
{
    QTest::addColumn<float>("number");
    QTest::addColumn<QString>("text");

    QTest::addRow("small integer exact") << 1024.0f << "1024";
    QTest::addRow("large value in exponent form") << 1.5e7f << "1.5e+07";
    QTest::addRow("file size rounded to six digits") << 123456789.0f << "1.23457e+08";
    QTest::addRow("negative fraction") << -0.25f << "-0.25";
    QTest::addRow("zero") << 0.0f << "0";
    QTest::addRow("negative zero") << -0.0f << "0";
    QTest::addRow("largest six-digit integer") << 999999.0f << "999999";
    QTest::addRow("smallest seven-digit integer") << 1000000.0f << "1e+06";
    QTest::addRow("negative six-digit integer") << -999999.0f << "-999999";
    QTest::addRow("missing size") << -1.0f << "-1";
}

void tst_ReturnValue::fromNumber()
{
    QFETCH(float, number);
    QFETCH(QString, text);
    const ReturnValue v = ReturnValue::fromNumber(number);
    QVERIFY(v.isString());
    QCOMPARE(v.value(), text);
}

void tst_ReturnValue::toNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("number");

    QTest::addRow("kilobytes with blank and capitals") << "10 KB" << true << 10240.0;
    QTest::addRow("kilobytes") << "10kb" << true << 10240.0;
    QTest::addRow("fractional megabytes") << "1.5mb" << true << 1572864.0;
    QTest::addRow("gigabytes") << "2gb" << true << 2147483648.0;
    QTest::addRow("twelve kilobytes") << "12 kb" << true << 12288.0;
    QTest::addRow("exponent") << "-3e2" << true << -300.0;
    QTest::addRow("capital exponent") << "3E2" << true << 300.0;
    QTest::addRow("plus sign") << "+7" << true << 7.0;
    QTest::addRow("trailing text ignored") << "12abc" << true << 12.0;
    QTest::addRow("date reads as its year") << "2010-01-05" << true << 2010.0;
    QTest::addRow("word") << "abc" << false << 0.0;
    QTest::addRow("number not at the start") << "abc12" << false << 0.0;
    QTest::addRow("empty") << "" << false << 0.0;
    QTest::addRow("two decimal points") << "1.2.3" << false << 0.0;
    QTest::addRow("unit alone") << "kb" << false << 0.0;
    QTest::addRow("beyond double precision") << "1e309" << false << 0.0;
    QTest::addRow("sign alone") << "-" << false << 0.0;
    QTest::addRow("point alone") << "." << false << 0.0;
    QTest::addRow("exponent without digits") << "5e" << true << 5.0;
    QTest::addRow("exponent sign without digits") << "5e+x" << true << 5.0;
    QTest::addRow("sign before the exponent digits") << "25e-1kb" << true << 2560.0;
    QTest::addRow("a decimal comma is not read") << "1,5" << false << 0.0;
    QTest::addRow("negative kilobytes") << "-2KB" << true << -2048.0;
    QTest::addRow("a byte past 4 GiB is exact") << "4294967297" << true << 4294967297.0;
    QTest::addRow("five gigabytes") << "5gb" << true << 5368709120.0;
}

void tst_ReturnValue::toNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, number);

    const ReturnValue v = ReturnValue::fromString(text);
    bool ok = !isNumber;
    const double read = v.toNumber(&ok);
    QCOMPARE(ok, isNumber);
    QCOMPARE(v.isNumber(), isNumber);
    if (isNumber)
        QCOMPARE(read, number);
}

void tst_ReturnValue::toDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: not a date

    QTest::addRow("date and time") << "2010-01-05 13:07" << QDateTime(QDate(2010, 1, 5), QTime(13, 7, 0));
    QTest::addRow("seconds after two blanks")
        << "2010-01-05  13:07:09" << QDateTime(QDate(2010, 1, 5), QTime(13, 7, 9));
    QTest::addRow("no blank before the time") << "2010-01-05T13:07" << QDateTime(QDate(2010, 1, 5), QTime(0, 0));
    QTest::addRow("two-digit year taken as written") << "10-01-05" << QDateTime(QDate(10, 1, 5), QTime(0, 0));
    QTest::addRow("single-digit month and day") << "2010-1-5" << QDateTime(QDate(2010, 1, 5), QTime(0, 0));
    QTest::addRow("trailing text ignored") << "2010-01-05 was a Tuesday" << QDateTime(QDate(2010, 1, 5), QTime(0, 0));
    QTest::addRow("month 13") << "2010-13-01" << QDateTime();
    QTest::addRow("hour 25") << "2010-01-05 25:00" << QDateTime();
    QTest::addRow("three-digit year") << "201-01-05" << QDateTime();
    QTest::addRow("plain number") << "2010" << QDateTime();
    QTest::addRow("a dash too late for a year") << "20100-01-05" << QDateTime();
    QTest::addRow("word") << "yesterday" << QDateTime();
}

void tst_ReturnValue::toDate()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);

    const ReturnValue v = ReturnValue::fromString(text);
    bool ok = false;
    const QDateTime read = v.toDate(&ok);
    QCOMPARE(ok, expected.isValid());
    QCOMPARE(v.isDate(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(read, expected);
    else
        QVERIFY(!read.isValid());
}

void tst_ReturnValue::timeAloneIsToday()
{
    bool ok = false;
    const QDateTime read = str("13:07").toDate(&ok);
    QVERIFY(ok);
    QCOMPARE(read.time(), QTime(13, 7, 0));
    QCOMPARE(read.date(), QDate::currentDate());
    QCOMPARE(str("7:05").toDate(&ok).time(), QTime(7, 5, 0));
    QVERIFY(ok);
}

void tst_ReturnValue::evaluators_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<ReturnValue>("left");
    QTest::addColumn<ReturnValue>("right");
    QTest::addColumn<ReturnValue>("expected");

    const ReturnValue yes = boolean(true);
    const ReturnValue no = boolean(false);
    const ReturnValue typeError = of(ReturnValueType::TypeError);
    const ReturnValue unbound = of(ReturnValueType::UnassignedVariable);
    const ReturnValue missing = of(ReturnValueType::MissingAttribute);

    QTest::addRow("equality ignores case") << "==" << str("ABC") << str("abc") << yes;
    QTest::addRow("numbers are compared as text") << "==" << str("1.0") << str("1") << no;
    QTest::addRow("a bool is not a string") << "==" << yes << str("true") << typeError;
    QTest::addRow("inequality") << "!=" << str("abc") << str("ABD") << yes;
    QTest::addRow("inequality passes an unbound left operand on") << "!=" << unbound << str("x") << unbound;
    QTest::addRow("inequality passes an unbound right operand on") << "!=" << str("x") << unbound << unbound;
    QTest::addRow("left invalid operand wins") << "==" << missing << unbound << missing;

    QTest::addRow("contains ignores case") << "%contains" << str("Report.PDF") << str("port.p") << yes;
    QTest::addRow("the empty text is contained") << "%contains" << str("abc") << str("") << yes;
    QTest::addRow("contains is not symmetric") << "%contains" << str("port") << str("Report") << no;

    QTest::addRow("wildcard ignores case") << "%matches" << str("README.TXT") << str("*.txt") << yes;
    QTest::addRow("wildcard must match the whole text") << "%matches" << str("a.txt.bak") << str("*.txt") << no;
    QTest::addRow("star crosses slashes") << "%matches" << str("data/run1/out.txt") << str("*.txt") << yes;
    QTest::addRow("star after a directory") << "%matches" << str("data/run1/out.txt") << str("data/*") << yes;
    QTest::addRow("slash in the middle") << "%matches" << str("data/run1/out.txt") << str("*/run?/out.*") << yes;
    QTest::addRow("question mark matches a slash") << "%matches" << str("a/b") << str("a?b") << yes;
    QTest::addRow("question mark is exactly one") << "%matches" << str("ab") << str("a?b") << no;
    QTest::addRow("set of digits") << "%matches" << str("run7.dat") << str("run[0-9].dat") << yes;
    QTest::addRow("set rejects others") << "%matches" << str("runx.dat") << str("run[0-9].dat") << no;
    QTest::addRow("complemented set") << "%matches" << str("xbc") << str("[^a]bc") << yes;
    QTest::addRow("complemented set rejects") << "%matches" << str("abc") << str("[^a]bc") << no;
    QTest::addRow("set holding a slash") << "%matches" << str("a/b") << str("a[/_]b") << yes;
    QTest::addRow("regex characters are literal") << "%matches" << str("a+b(c).txt") << str("a+b(c).*") << yes;
    QTest::addRow("dot is literal") << "%matches" << str("axb") << str("a.b") << no;
    QTest::addRow("backslash is literal") << "%matches" << str("c:\\data") << str("c:\\*") << yes;
    QTest::addRow("unclosed bracket is literal") << "%matches" << str("[abc") << str("[abc") << yes;
    QTest::addRow("star matches a line break") << "%matches" << str("one\ntwo") << str("one*") << yes;

    QTest::addRow("numeric order, not text order") << "<" << str("2") << str("10") << yes;
    QTest::addRow("units are read") << ">" << str("10 KB") << str("10000") << yes;
    QTest::addRow("less or equal on equal numbers") << "<=" << str("5") << str("5.0") << yes;
    QTest::addRow("greater or equal") << ">=" << str("4") << str("5") << no;
    // Single precision would round both sides to 2^31 or 2^32.
    QTest::addRow("one byte past 2 GiB") << ">" << str("2147483649") << str("2gb") << yes;
    QTest::addRow("one byte short of 4 GiB") << ">=" << str("4294967295") << str("4gb") << no;
    QTest::addRow("one byte past 4 GiB") << ">" << str("4294967297") << str("4gb") << yes;
    QTest::addRow("dates ordered as dates") << "<" << str("2010-01-05") << str("2010-02-01") << yes;
    QTest::addRow("date against date and time") << "<" << str("2010-02-01") << str("2010-02-01 00:01") << yes;
    QTest::addRow("later date is greater") << ">" << str("2010-01-05 13:07") << str("2010-01-05 09:00") << yes;
    QTest::addRow("date against number uses the year") << "<" << str("2010-01-05") << str("2011") << yes;
    QTest::addRow("words cannot be ordered") << "<" << str("abc") << str("def") << typeError;
    QTest::addRow("ordering passes missing attributes on") << "<" << missing << str("3") << missing;
    QTest::addRow("ordering passes unbound variables on") << ">" << str("3") << unbound << unbound;

    QTest::addRow("within one percent") << "%isapprox" << str("100") << str("100.5") << yes;
    QTest::addRow("two percent apart") << "%isapprox" << str("100") << str("102") << no;
    QTest::addRow("zero against zero") << "%isapprox" << str("0") << str("0") << no;
    QTest::addRow("two negatives") << "%isapprox" << str("-10") << str("-50") << yes;
    QTest::addRow("zero against a negative") << "%isapprox" << str("0") << str("-5") << no;
    QTest::addRow("words are not approximate") << "%isapprox" << str("abc") << str("1") << typeError;
    QTest::addRow("approximate passes unbound on") << "%isapprox" << unbound << str("1") << unbound;

    QTest::addRow("true and false") << "&&" << yes << no << no;
    QTest::addRow("false and unbound") << "&&" << no << unbound << no;
    QTest::addRow("unbound and true") << "&&" << unbound << yes << unbound;
    QTest::addRow("text and true") << "&&" << str("x") << yes << typeError;
    QTest::addRow("true or text") << "||" << yes << str("x") << yes;
    QTest::addRow("false or true") << "||" << no << yes << yes;
    QTest::addRow("text or false gives the right operand") << "||" << str("x") << no << no;
    QTest::addRow("text or unbound") << "||" << str("x") << unbound << unbound;
    QTest::addRow("false or text") << "||" << no << str("x") << typeError;
    QTest::addRow("unbound or false") << "||" << unbound << no << no;
    QTest::addRow("not true") << "!" << yes << ReturnValue() << no;
    QTest::addRow("not text") << "!" << str("x") << ReturnValue() << typeError;
    QTest::addRow("not unbound") << "!" << unbound << ReturnValue() << unbound;
}

void tst_ReturnValue::evaluators()
{
    QFETCH(QString, op);
    QFETCH(ReturnValue, left);
    QFETCH(ReturnValue, right);
    QFETCH(ReturnValue, expected);

    const ReturnValue result = evaluate(op, left, right);
    QCOMPARE(kindName(result.type()), kindName(expected.type()));
    QCOMPARE(result.value(), expected.value());
}

void tst_ReturnValue::wildcardTranslation_data()
{
    QTest::addColumn<QString>("wildcard");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");

    QTest::addRow("emoji is one character")
        << QString::fromUtf8("?.txt") << QString::fromUtf8("\xF0\x9F\x98\x80.txt") << true;
    QTest::addRow("emoji taken literally")
        << QString::fromUtf8("\xF0\x9F\x98\x80*") << QString::fromUtf8("\xF0\x9F\x98\x80 smile") << true;
    QTest::addRow("closing bracket first in a set") << "[]a]"
                                                    << "]" << true;
    QTest::addRow("reversed range matches nothing") << "[z-a]"
                                                    << "m" << false;
    QTest::addRow("nul character") << QString("a?b") << QString::fromLatin1("a\0b", 3) << true;
}

void tst_ReturnValue::wildcardTranslation()
{
    QFETCH(QString, wildcard);
    QFETCH(QString, text);
    QFETCH(bool, matches);
    QCOMPARE(wildcardMatches(wildcard, text), matches);
}

QTEST_GUILESS_MAIN(tst_ReturnValue)
#include "tst_returnvalue.moc"
