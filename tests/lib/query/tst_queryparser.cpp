#include "query/queryparser.h"

#include <QtTest>

using namespace traxo;

namespace {

QString renderToken(const ExpressionValue &token)
{
    if (token.isVariable())
        return QStringLiteral("V(%1,%2)").arg(token.variableName(), token.variableAttribute());
    if (token.isString())
        return QStringLiteral("S(%1)").arg(token.string());
    if (token.isOperator())
        return QStringLiteral("O(%1)").arg(token.operatorName());
    return QStringLiteral("?");
}

QString renderTokens(const QList<ExpressionValue> &tokens)
{
    QStringList parts;
    for (const ExpressionValue &token : tokens)
        parts << QStringLiteral("%1@%2").arg(renderToken(token)).arg(token.position());
    return parts.join(QLatin1Char(' '));
}

// Operators as "(op operand...)", variables as "name:attribute", strings as
// their text: enough to see grouping and naming at a glance.
QString renderTree(const ExpressionTreeNodePtr &node)
{
    if (!node)
        return QStringLiteral("null");
    if (node->isVariable())
        return node->variableName() + QLatin1Char(':') + node->variableAttribute();
    if (node->isString())
        return node->string();
    QStringList parts { node->operatorName() };
    for (const ExpressionTreeNodePtr &child : node->children())
        parts << renderTree(child);
    return QLatin1Char('(') + parts.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// The tree before the type check and the rewriting passes.
ExpressionTreeNodePtr buildTree(const QString &query, QList<QueryError> &errors)
{
    const QList<ExpressionValue> tokens = checkSyntax(lexQuery(query, errors), errors);
    if (containsErrors(errors))
        return {};
    return createTree(tokens, query, errors);
}

QStringList sorted(QSet<QString> set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

} // namespace

class tst_QueryParser : public QObject
{
    Q_OBJECT

private slots:
    void operatorTable();
    void lexing_data();
    void lexing();
    void errors_data();
    void errors();
    void precedence_data();
    void precedence();
    void spans();
    void parsedQueries_data();
    void parsedQueries();
    void cloneTreeIsDeep();
    void pathologicalInput_data();
    void pathologicalInput();
    void nestingWithinTheLimitIsAccepted();
    void longChainsNeedNoDeepStack_data();
    void longChainsNeedNoDeepStack();
};

void tst_QueryParser::operatorTable()
{
    QCOMPARE(getPrecedence("!"), 9);
    QCOMPARE(getPrecedence("%isapprox"), 6);
    QCOMPARE(getPrecedence(">="), 5);
    QCOMPARE(getPrecedence("!="), 4);
    QCOMPARE(getPrecedence("||"), 3);
    QCOMPARE(getPrecedence("implizit &&"), 2);
    QCOMPARE(getPrecedence("EOS"), -100);
    QCOMPARE(getPrecedence("nosuch"), -1);
    QCOMPARE(getNumArguments("!"), 1);
    QCOMPARE(getNumArguments("=="), 2);
    QCOMPARE(getNumArguments("("), 0);
    QCOMPARE(getNumArguments("nosuch"), -1);
    QCOMPARE(getAssociation("!"), 'r');
    QCOMPARE(getAssociation("&&"), 'l');
    QCOMPARE(getAssociation(")"), 'x');

    const ExpressionValue word = ExpressionValue::fromString("a", 3, "a");
    QCOMPARE(word.precedence(), -1);
    QCOMPARE(word.association(), 'x');
    QCOMPARE(word.operatorName(), QString());
    QCOMPARE(makeEndOfStreamOperator().position(), -1);
    QCOMPARE(createImplizitAnd(7).operatorName(), QStringLiteral("implizit &&"));
    QCOMPARE(createImplizitAnd(7).originalText(), QString());
}

void tst_QueryParser::lexing_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("tokens");

    QTest::addRow("less-or-equal is one operator") << "x:filesize <= 3"
                                                   << "V(x,filesize)@0 O(<=)@11 S(3)@14";
    QTest::addRow("less before equals sign") << "a<b"
                                             << "S(a)@0 O(<)@1 S(b)@2";
    QTest::addRow("not-equal before not") << "a!=b !c"
                                          << "S(a)@0 O(!=)@1 S(b)@3 O(!)@5 S(c)@6";
    QTest::addRow("variable without a name") << ":tool"
                                             << "V(,tool)@0";
    QTest::addRow("user attribute with colon form") << "x:user:Temp"
                                                    << "V(x,user:Temp)@0";
    QTest::addRow("user attribute with braces") << "x:user{Temp C}"
                                                << "V(x,user:Temp C)@0";
    QTest::addRow("escaped brace stays as typed") << "x:user{a\\}b}"
                                                  << "V(x,user:a\\}b)@0";
    QTest::addRow("single-quoted string with escaped quote") << "'it\\'s'"
                                                             << "S(it's)@0";
    QTest::addRow("doubled backslash gives one") << "'a\\\\b'"
                                                 << "S(a\\b)@0";
    QTest::addRow("double-quoted string") << "\"say \\\"hi\\\"\""
                                          << "S(say \"hi\")@0";
    QTest::addRow("quoted string keeps operators") << "'a && b'"
                                                   << "S(a && b)@0";
    QTest::addRow("wildcard is a bare word") << "f:filename %matches *.dat"
                                             << "V(f,filename)@0 O(%matches)@11 S(*.dat)@20";
    QTest::addRow("word operator at the end") << "a %contains"
                                              << "S(a)@0 O(%contains)@2";
    QTest::addRow("brackets") << "(a)"
                              << "O(()@0 S(a)@1 O())@2";
    QTest::addRow("tabs and line breaks are blanks") << "a\t\r\nb"
                                                     << "S(a)@0 S(b)@4";
    QTest::addRow("dash ends no word") << "2010-01-05"
                                       << "S(2010-01-05)@0";
    QTest::addRow("time splits at the colon") << "13:07"
                                              << "S(13)@0 V(,07)@2";
    QTest::addRow("nul inside a word") << QString::fromLatin1("a\0b", 3) << QString::fromLatin1("S(a\0b)@0", 8);
}

void tst_QueryParser::lexing()
{
    QFETCH(QString, query);
    QFETCH(QString, tokens);
    QList<QueryError> errors;
    QCOMPARE(renderTokens(lexQuery(query, errors)), tokens);
    QVERIFY(errors.isEmpty());
}

void tst_QueryParser::errors_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("originalText");

    QTest::addRow("empty query") << ""
                                 << "Error after position 0:\n query is empty." << 0 << "";
    QTest::addRow("blank query") << " \t "
                                 << "Error after position 0:\n query is empty." << 0 << "";
    QTest::addRow("no blank after a word operator")
        << "x %containsfoo"
        << "Error while reading text at position 2 (%containsfoo):\n input seems to be invalid" << 2 << "%containsfoo";
    QTest::addRow("single ampersand") << "a & b"
                                      << "Error while reading text at position 2 (& b):\n input seems to be invalid"
                                      << 2 << "& b";
    QTest::addRow("long rest is cut to twenty characters")
        << "ab %0123456789abcdefghijklm"
        << "Error while reading text at position 3 (%0123456789abcdefghi...):\n input seems to be invalid" << 3
        << "%0123456789abcdefghijklm";
    QTest::addRow("short rest is shown whole")
        << "ab %012345678"
        << "Error while reading text at position 3 (%012345678):\n input seems to be invalid" << 3 << "%012345678";
    QTest::addRow("lone closing bracket")
        << ")"
        << "Error at position 0:\n found a closing  bracket ) but did not except one." << 0 << ")";
    QTest::addRow("closing bracket after an operand")
        << "a )"
        << "Error at position 2:\n found a closing  bracket ) but did not except one." << 2 << ")";
    QTest::addRow("unclosed bracket") << "(a"
                                      << "Error after position 2:\n premature end of query  after a." << 1 << "a";
    QTest::addRow("operator at the end") << "a &&"
                                         << "Error after position 4:\n premature end of query  after &&." << 2 << "&&";
    QTest::addRow("negation at the end") << "a !"
                                         << "Error after position 3:\n premature end of query  after !." << 2 << "!";
    QTest::addRow("operator at the start")
        << "&& a"
        << "Error at position 0:\n expected a string, a variable, an open bracket '(' or an unary operator (e.g. !), "
           "but found '&&'."
        << 0 << "&&";
    QTest::addRow("empty brackets")
        << "a ()"
        << "Error at position 3:\n expected a string, a variable, an open bracket '(' or an unary operator (e.g. !), "
           "but found ')'."
        << 3 << ")";
    QTest::addRow("two binary operators")
        << "a == == b"
        << "Error at position 5:\n expected a string, a variable, an open bracket '(' or an unary operator (e.g. !), "
           "but found '=='."
        << 5 << "==";
}

void tst_QueryParser::errors()
{
    QFETCH(QString, query);
    QFETCH(QString, message);
    QFETCH(int, position);
    QFETCH(QString, originalText);

    QList<QueryError> errors { QueryError(QueryErrorType::Warning, "left over", 0, QString()) };
    QVERIFY(parseQuery(query, errors).isNull());
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().isError());
    QCOMPARE(errors.first().errorMessage(), message);
    QCOMPARE(errors.first().position(), position);
    QCOMPARE(errors.first().originalText(), originalText);
    QCOMPARE(errors.first().length(), originalText.size());
    QVERIFY(containsErrors(errors));
    QVERIFY(!containsWarnings(errors));
}

void tst_QueryParser::precedence_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("tokensAfterCheck");

    QTest::addRow("or binds more tightly than and") << "a && b || c"
                                                    << "(&& a (|| b c))"
                                                    << "";
    QTest::addRow("brackets group first") << "(a && b) || c"
                                          << "(|| (&& a b) c)"
                                          << "";
    QTest::addRow("negation takes the next operand only") << "!a == b"
                                                          << "(== (! a) b)"
                                                          << "";
    QTest::addRow("negation of a bracket") << "!(a || b)"
                                           << "(! (|| a b))"
                                           << "";
    QTest::addRow("double negation") << "!!a"
                                     << "(! (! a))"
                                     << "";
    QTest::addRow("left association") << "a || b || c"
                                      << "(|| (|| a b) c)"
                                      << "";
    QTest::addRow("comparison over contains") << "a == b %contains c"
                                              << "(== a (%contains b c))"
                                              << "";
    QTest::addRow("comparison over and") << "x:filesize > 3 && y:tool == z"
                                         << "(&& (> x:filesize 3) (== y:tool z))"
                                         << "";
    QTest::addRow("redundant brackets make no node") << "((a))"
                                                     << "a"
                                                     << "";
    QTest::addRow("juxtaposed words") << "a b"
                                      << "(implizit && a b)"
                                      << "S(a)@0 O(implizit &&)@2 S(b)@2";
    QTest::addRow("implicit and before a bracket") << "a (b || c)"
                                                   << "(implizit && a (|| b c))"
                                                   << "S(a)@0 O(implizit &&)@2 O(()@2 S(b)@3 O(||)@5 S(c)@8 O())@9";
    QTest::addRow("implicit and before a negation") << "a !b"
                                                    << "(implizit && a (! b))"
                                                    << "S(a)@0 O(implizit &&)@2 O(!)@2 S(b)@3";
    QTest::addRow("implicit and after a bracket") << "(a) b"
                                                  << "(implizit && a b)"
                                                  << "";
    QTest::addRow("implicit and as strong as and") << "a b || c"
                                                   << "(implizit && a (|| b c))"
                                                   << "";
}

void tst_QueryParser::precedence()
{
    QFETCH(QString, query);
    QFETCH(QString, tree);
    QFETCH(QString, tokensAfterCheck);

    QList<QueryError> errors;
    const QList<ExpressionValue> checked = checkSyntax(lexQuery(query, errors), errors);
    if (!tokensAfterCheck.isEmpty())
        QCOMPARE(renderTokens(checked), tokensAfterCheck);
    QCOMPARE(renderTree(createTree(checked, query, errors)), tree);
    QVERIFY(errors.isEmpty());
}

void tst_QueryParser::spans()
{
    QList<QueryError> errors;
    const QString query = QStringLiteral("(a && b) || !c");
    const ExpressionTreeNodePtr root = buildTree(query, errors);
    QVERIFY(root);
    // An operator's span runs over its operands only, brackets outside them
    // excluded.
    QCOMPARE(root->spanText(), QStringLiteral("a && b) || !c"));
    QCOMPARE(root->spanPosition(), 1);
    QCOMPARE(root->position(), 9); // the "||" token itself
    const ExpressionTreeNodePtr conjunction = root->children().at(0);
    QCOMPARE(conjunction->spanText(), QStringLiteral("a && b"));
    QCOMPARE(conjunction->spanPosition(), 1);
    const ExpressionTreeNodePtr negation = root->children().at(1);
    QCOMPARE(negation->spanText(), QStringLiteral("c"));
    QCOMPARE(negation->spanPosition(), 13);
    QCOMPARE(negation->spanLength(), 1);
}

void tst_QueryParser::parsedQueries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QStringList>("variables");

    QTest::addRow("a word searches any attribute") << "w"
                                                   << "(%contains @unnamed-1:any w)" << QStringList { "@unnamed-1" };
    QTest::addRow("two words are two variables")
        << "v w"
        << "(implizit && (%contains @unnamed-1:any v) (%contains @unnamed-2:any w))"
        << QStringList { "@unnamed-1", "@unnamed-2" };
    QTest::addRow("negated word") << "!w"
                                  << "(! (%contains @unnamed-1:any w))" << QStringList { "@unnamed-1" };
    QTest::addRow("unnamed attributes are numbered in text order")
        << ":filename %contains x && :tool == y"
        << "(&& (%contains @unnamed-1:filename x) (== @unnamed-2:tool y))"
        << QStringList { "@unnamed-1", "@unnamed-2" };
    QTest::addRow("a named variable is one variable")
        << "f:filename %contains x && f:filetype == pdf"
        << "(&& (%contains f:filename x) (== f:filetype pdf))" << QStringList { "f" };
    QTest::addRow("words under comparisons stay words")
        << "x:filesize > 3 size"
        << "(implizit && (> x:filesize 3) (%contains @unnamed-1:any size))" << QStringList { "@unnamed-1", "x" };
    QTest::addRow("numbering continues across the tree")
        << "a (x:iswfs || b) :isfile"
        << "(implizit && (implizit && (%contains @unnamed-1:any a) (|| x:iswfs (%contains @unnamed-2:any b))) "
           "@unnamed-3:isfile)"
        << QStringList { "@unnamed-1", "@unnamed-2", "@unnamed-3", "x" };
}

void tst_QueryParser::parsedQueries()
{
    QFETCH(QString, query);
    QFETCH(QString, tree);
    QFETCH(QStringList, variables);

    QList<QueryError> errors;
    const ExpressionTreeNodePtr root = parseQuery(query, errors);
    QVERIFY2(root, qPrintable(errors.value(0).errorMessage()));
    QCOMPARE(renderTree(root), tree);
    QCOMPARE(sorted(root->variables()), variables);
    QVERIFY(!containsErrors(errors));
}

void tst_QueryParser::cloneTreeIsDeep()
{
    QList<QueryError> errors;
    const ExpressionTreeNodePtr root = parseQuery("a || b", errors);
    QVERIFY(root);
    const ExpressionTreeNodePtr copy = root->cloneTree();
    QCOMPARE(renderTree(copy), renderTree(root));
    QCOMPARE(copy->spanText(), root->spanText());
    QCOMPARE(copy->variables(), root->variables());
    QVERIFY(copy->children().at(0) != root->children().at(0));
    copy->children().at(0)->children().at(0)->setVariableName("changed");
    QCOMPARE(root->children().at(0)->children().at(0)->variableName(), QStringLiteral("@unnamed-1"));
}

void tst_QueryParser::pathologicalInput_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("message"); // empty: the query is accepted

    const int n = 100000;
    const QString nesting = QStringLiteral("Error at position %1:\n query is nested more than 500 levels deep.");
    QTest::addRow("100000 nested brackets") << QString(n, '(') + "a" + QString(n, ')') << nesting.arg(500);
    QTest::addRow("100000 unclosed brackets") << QString(n, '(') << nesting.arg(500);
    QTest::addRow("100000 closing brackets")
        << "a" + QString(n, ')') << "Error at position 1:\n found a closing  bracket ) but did not except one.";
    QTest::addRow("100000 negations") << QString(n, '!') + "a" << nesting.arg(n - 501);
    QTest::addRow("a chain of comparisons")
        << QStringLiteral("a == ").repeated(n) + "a" << nesting.arg(2 + 5 * (MaxQueryNestingDepth + 1));
    QTest::addRow("negations and brackets add up")
        << "!" + QString(500, '(') + "a" + QString(500, ')') << nesting.arg(0);
    QTest::addRow("a megabyte in quotes") << "'" + QString(1 << 20, 'x') + "'"
                                          << "";
    QTest::addRow("a megabyte of escapes") << "'" + QStringLiteral("\\'").repeated(1 << 19) + "'"
                                           << "";
    QTest::addRow("a megabyte that cannot be read")
        << QString(1 << 20, '%')
        << "Error while reading text at position 0 (%%%%%%%%%%%%%%%%%%%%...):\n input seems "
           "to be invalid";
    QTest::addRow("a megabyte of nul characters") << QString(1 << 20, QChar(0)) << "";
    QTest::addRow("nul characters between words") << QString::fromLatin1("a\0 b \0", 6) << "";
    QTest::addRow("lone surrogate") << QString(QChar(0xd800)) + "abc"
                                    << "";
}

void tst_QueryParser::pathologicalInput()
{
    QFETCH(QString, query);
    QFETCH(QString, message);

    QList<QueryError> errors;
    const ExpressionTreeNodePtr root = parseQuery(query, errors);
    if (message.isEmpty()) {
        QVERIFY2(root, qPrintable(errors.value(0).errorMessage()));
        QVERIFY(!containsErrors(errors));
    } else {
        QVERIFY(!root);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().errorMessage(), message);
    }
}

void tst_QueryParser::nestingWithinTheLimitIsAccepted()
{
    const int depth = MaxQueryNestingDepth;
    QList<QueryError> errors;
    QVERIFY(parseQuery(QString(depth, '(') + "a" + QString(depth, ')'), errors));
    QVERIFY(parseQuery(QString(depth, '!') + "a", errors));
    QVERIFY(parseQuery("!" + QString(depth - 1, '(') + "a" + QString(depth - 1, ')'), errors));
    QVERIFY(errors.isEmpty());
    QVERIFY(!parseQuery(QString(depth + 1, '(') + "a" + QString(depth + 1, ')'), errors));
    QVERIFY(!parseQuery(QString(depth + 1, '!') + "a", errors));
}

// Chains of operators are as deep as they are long; every pass over them,
// deleting the tree included, must do without a stack of that depth.
void tst_QueryParser::longChainsNeedNoDeepStack_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("variables");

    const int n = 10000;
    QTest::addRow("juxtaposed words") << QStringLiteral("a ").repeated(n) << n;
    QTest::addRow("alternatives") << QStringLiteral("x:filename == a || ").repeated(n) + "a" << 2;
    QTest::addRow("explicit and implicit ands mixed") << QStringLiteral("a && b ").repeated(n / 2) << n;
    QTest::addRow("negated terms") << QStringLiteral("!x:iswfs && ").repeated(n) + "x:isfile" << 1;
}

void tst_QueryParser::longChainsNeedNoDeepStack()
{
    QFETCH(QString, query);
    QFETCH(int, variables);

    bool parsed = false;
    bool copied = false;
    int named = -1;
    QScopedPointer<QThread> thread(QThread::create([&]() {
        QList<QueryError> errors;
        ExpressionTreeNodePtr root = parseQuery(query, errors);
        parsed = root && !containsErrors(errors);
        if (parsed) {
            named = int(root->variables().size());
            copied = root->cloneTree()->spanText() == root->spanText();
        }
    }));
    thread->setStackSize(256 * 1024);
    thread->start();
    QVERIFY(thread->wait(60000));
    QVERIFY(parsed);
    QVERIFY(copied);
    QCOMPARE(named, variables);
}

QTEST_GUILESS_MAIN(tst_QueryParser)
#include "tst_queryparser.moc"
