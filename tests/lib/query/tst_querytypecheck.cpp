#include "query/queryparser.h"
#include "query/querytypecheck.h"

#include <QtTest>

using namespace traxo;

namespace {

// "E@pos:message" or "W@pos:message" per entry, in the order reported.
QStringList describe(const QList<QueryError> &errors)
{
    QStringList lines;
    for (const QueryError &e : errors)
        lines << QStringLiteral("%1@%2:%3").arg(e.isWarning() ? "W" : "E").arg(e.position()).arg(e.errorMessage());
    return lines;
}

} // namespace

class tst_QueryTypeCheck : public QObject
{
    Q_OBJECT

private slots:
    void fits_data();
    void fits();
    void literalTypes_data();
    void literalTypes();
    void attributeTable();
    void messages_data();
    void messages();
    void messageSpansPointAtTheOperator();
};

void tst_QueryTypeCheck::fits_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("types");
    QTest::addColumn<int>("fit");

    QTest::addRow("negation is found before the word") << "number"
                                                       << "string,nonumber" << int(TypeFit::DoesNotFit);
    QTest::addRow("positive word") << "number"
                                   << "string,number,nodate" << int(TypeFit::Fits);
    QTest::addRow("absent word") << "date"
                                 << "string" << int(TypeFit::MayFit);
    QTest::addRow("boolean against noboolean") << "boolean"
                                               << "string,noboolean" << int(TypeFit::DoesNotFit);
}

void tst_QueryTypeCheck::fits()
{
    QFETCH(QString, word);
    QFETCH(QString, types);
    QFETCH(int, fit);
    QCOMPARE(int(checkIfTypeFits(word, types)), fit);
}

void tst_QueryTypeCheck::literalTypes_data()
{
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("types");

    QTest::addRow("number") << "12"
                            << "string,boolean,number,nodate";
    QTest::addRow("date reads as a number too") << "2010-01-01"
                                                << "string,boolean,number,date";
    QTest::addRow("word") << "abc"
                          << "string,boolean,nonumber,nodate";
    QTest::addRow("size with unit") << "3 MB"
                                    << "string,boolean,number,nodate";
}

void tst_QueryTypeCheck::literalTypes()
{
    QFETCH(QString, literal);
    QFETCH(QString, types);
    QCOMPARE(getTypesOfString(ReturnValue::fromString(literal)), types);
}

void tst_QueryTypeCheck::attributeTable()
{
    const QHash<QString, QString> types = getAttributeTypes();
    QCOMPARE(types.size(), 31);
    QCOMPARE(types.value("timestamp"), QStringLiteral("string,date,nonumber,noboolean"));
    QCOMPARE(types.value("isinfile"), QStringLiteral("nostring,nodate,nonumber,boolean"));
    QCOMPARE(types.value("any"), QStringLiteral("string"));
    QVERIFY(!types.contains("FileName"));
}

void tst_QueryTypeCheck::messages_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("accepted");

    QTest::addRow("a text attribute is no result")
        << "x:filename" << QStringList { "E@0:Result of query x:filename is not a boolean value" } << false;
    QTest::addRow("a user attribute is no result")
        << "x:user:lab" << QStringList { "E@0:Result of query x:user:lab is not a boolean value" } << false;
    QTest::addRow("a boolean attribute is a result") << "x:iswfs" << QStringList {} << true;
    QTest::addRow("a word is a result") << "word" << QStringList {} << true;
    QTest::addRow("juxtaposed words") << "a b" << QStringList {} << true;
    QTest::addRow("size against a number") << "x:filesize > 1000" << QStringList {} << true;
    QTest::addRow("timestamp against a date") << "x:timestamp < 2010-01-01" << QStringList {} << true;
    QTest::addRow("approximate sizes") << "x:filesize %isapprox 1kb" << QStringList {} << true;
    QTest::addRow("text ordered against a number")
        << "x:filename > 3"
        << QStringList { "W@11:warning at pos 11: operator > requires either two numbers or two dates as "
                         "arguments.\n'x:filename' may not be a number." }
        << true;
    QTest::addRow("hash ordered against a number")
        << "x:hash > 3"
        << QStringList { "E@7:error at pos 7: operator > requires either two numbers or two dates as "
                         "arguments.\n'x:hash' is not a number or date." }
        << false;
    QTest::addRow("size ordered against a timestamp")
        << "x:filesize < y:timestamp"
        << QStringList { "E@11:error at pos 11: operator < requires either two numbers or two dates as "
                         "arguments.\n'x:filesize' is not a date.\n'y:timestamp' is not a number." }
        << false;
    QTest::addRow("user attribute ordered against a number")
        << "x:user:Temp > 30"
        << QStringList { "W@12:warning at pos 12: operator > requires either two numbers or two dates as "
                         "arguments.\n'x:user:Temp' may not be a number." }
        << true;
    QTest::addRow("text ordered against text")
        << "x:filename < y:tool"
        << QStringList { "W@11:warning at pos 11: operator < requires either two numbers or two dates as "
                         "arguments.\n'x:filename' may not be a number.\n'y:tool' may not be a number."
                         "\n'x:filename' may not be a date.\n'y:tool' may not be a date." }
        << true;
    QTest::addRow("two text attributes joined by and")
        << "x:filename && y:tool"
        << QStringList { "E@11:error at pos 11: operator && requires two booleans as arguments.\n'x:filename' is "
                         "not a boolean.\n'y:tool' is not a boolean." }
        << false;
    QTest::addRow("a text attribute beside a word")
        << "x:filename a"
        << QStringList { "E@11:error at pos 11: operator implizit && requires two booleans as arguments.\n"
                         "'x:filename' is not a boolean." }
        << false;
    QTest::addRow("a user attribute joined by and")
        << "x:user:a && b"
        << QStringList { "W@9:warning at pos 9: operator && requires two booleans as arguments.\n'x:user:a' may "
                         "not be a boolean." }
        << true;
    QTest::addRow("unknown attribute")
        << "x:nosuch == a"
        << QStringList { "E@0:error at pos 0: attribute nosuch does not exist.",
               "E@9:error at pos 9: operator == requires two strings as arguments.\n'x:nosuch' is not a string." }
        << false;
    QTest::addRow("attribute names are lower case")
        << "x:FileName == a"
        << QStringList { "E@0:error at pos 0: attribute FileName does not exist.",
               "E@11:error at pos 11: operator == requires two strings as arguments.\n'x:FileName' is not a "
               "string." }
        << false;
    QTest::addRow("flag compared as text")
        << "x:iswfs == yes"
        << QStringList { "E@8:error at pos 8: operator == requires two strings as arguments.\n'x:iswfs' is not a "
                         "string." }
        << false;
    QTest::addRow("negated text attribute")
        << "!x:filename"
        << QStringList { "E@0:error at pos 0: operator ! requires a boolean as argument.\n'x:filename' is not a "
                         "boolean." }
        << false;
    QTest::addRow("negated user attribute")
        << "!x:user:flag"
        << QStringList { "W@0:warning at pos 0: operator ! requires a boolean as argument.\n'x:user:flag' may not "
                         "be a boolean." }
        << true;
    QTest::addRow("text approximated")
        << "x:filename %isapprox 3"
        << QStringList { "W@11:warning at pos 11: operator %isapprox requires two numbers as arguments.\n"
                         "'x:filename' may not be a number." }
        << true;
    QTest::addRow("checksum approximated")
        << "x:md5 %isapprox 3"
        << QStringList { "E@6:error at pos 6: operator %isapprox requires two numbers as arguments.\n'x:md5' is "
                         "not a number." }
        << false;
    QTest::addRow("children are reported before their parent")
        << "(x:nosuch == a) && x:filename"
        << QStringList { "E@1:error at pos 1: attribute nosuch does not exist.",
               "E@10:error at pos 10: operator == requires two strings as arguments.\n'x:nosuch' is not a string.",
               "E@16:error at pos 16: operator && requires two booleans as arguments.\n'x:filename' is not a "
               "boolean." }
        << false;
}

void tst_QueryTypeCheck::messages()
{
    QFETCH(QString, query);
    QFETCH(QStringList, messages);
    QFETCH(bool, accepted);

    QList<QueryError> errors;
    const ExpressionTreeNodePtr tree = parseQuery(query, errors);
    QCOMPARE(describe(errors), messages);
    QCOMPARE(!tree.isNull(), accepted);
}

void tst_QueryTypeCheck::messageSpansPointAtTheOperator()
{
    QList<QueryError> errors;
    QVERIFY(!parseQuery("x:hash >= 3", errors));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().originalText(), QStringLiteral(">="));
    QCOMPARE(errors.first().length(), 2);

    QVERIFY(!parseQuery("x:filename", errors));
    QCOMPARE(errors.first().originalText(), QStringLiteral("x:filename"));
}

QTEST_GUILESS_MAIN(tst_QueryTypeCheck)
#include "tst_querytypecheck.moc"
