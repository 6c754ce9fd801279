#include "query/queryparser.h"

#include <QtTest>

using namespace traxo;

namespace {

// The token rules as regular expressions, tried in this order at the current
// position, the first that matches winning: the definition the hand-written
// lexer must agree with on every input.
class RegexLexer
{
public:
    RegexLexer()
    {
        const auto unicode = QRegularExpression::UseUnicodePropertiesOption;
        m_patterns << QRegularExpression(QStringLiteral("[ \\t\\n\\r]+"))
                   << QRegularExpression(
                          QStringLiteral("[a-zA-Z]*:user\\{(?!\\})[^}\\\\]*+(?:\\\\[\\\\}][^}\\\\]*+)*+\\}"))
                   << QRegularExpression(QStringLiteral("[a-zA-Z]*:[a-zA-Z0-9]+(?::[a-zA-Z0-9]+)?"))
                   << QRegularExpression(QStringLiteral("'([^'\\\\]*+(?:\\\\[\\\\'][^'\\\\]*+)*+)'"))
                   << QRegularExpression(QStringLiteral("\"([^\"\\\\]*+(?:\\\\[\\\\\"][^\"\\\\]*+)*+)\""))
                   << QRegularExpression(QStringLiteral("[^:&|!%=<>\\s'\"()]+"), unicode)
                   << QRegularExpression(QStringLiteral("&&|\\|\\||==|!=|<=|<|>=|>|%contains(?:\\s|\\z)"
                                                        "|%matches(?:\\s|\\z)|%isapprox(?:\\s|\\z)"),
                          unicode)
                   << QRegularExpression(QStringLiteral("!")) << QRegularExpression(QStringLiteral("\\(|\\)"));
    }

    QList<ExpressionValue> lex(const QString &query, QList<QueryError> &errors) const
    {
        QString text = query;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (text.at(i).isSurrogate())
                text[i] = QChar::ReplacementCharacter;
        }
        QList<ExpressionValue> tokens;
        int position = 0;
        while (position < text.size()) {
            QRegularExpressionMatch match;
            int pattern = 0;
            for (; pattern < m_patterns.size(); ++pattern) {
                match = m_patterns.at(pattern).match(
                    text, position, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
                if (match.hasMatch())
                    break;
            }
            if (pattern == m_patterns.size()) {
                const QString rest = text.mid(position);
                const QString shown = rest.size() > 20 ? rest.left(20) + "..." : rest;
                errors.append(QueryError(QueryErrorType::Error,
                    QStringLiteral("Error while reading text at position %1 (%2):\n input seems to be invalid")
                        .arg(position)
                        .arg(shown),
                    position, rest));
                return {};
            }
            const QString whole = match.captured(0);
            if (pattern == 1 || pattern == 2)
                tokens.append(ExpressionValue::fromVariable(whole, position, whole));
            else if (pattern == 3)
                tokens.append(unescapeString1(match.captured(1), position, whole));
            else if (pattern == 4)
                tokens.append(unescapeString2(match.captured(1), position, whole));
            else if (pattern == 5)
                tokens.append(unescapeString3(whole, position, whole));
            else if (pattern > 5)
                tokens.append(ExpressionValue::fromOperator(whole.toLower().trimmed(), position, whole));
            position += int(whole.size());
        }
        return tokens;
    }

private:
    QList<QRegularExpression> m_patterns;
};

QStringList render(const QList<ExpressionValue> &tokens, const QList<QueryError> &errors)
{
    QStringList lines;
    for (const ExpressionValue &token : tokens) {
        QString value = token.isVariable() ? "variable " + token.variableName() + "|" + token.variableAttribute()
            : token.isString()             ? "string " + token.string()
                                           : "operator " + token.operatorName();
        lines << QStringLiteral("%1 from \"%2\" at %3").arg(value, token.originalText()).arg(token.position());
    }
    for (const QueryError &error : errors) {
        lines << QStringLiteral("error %1 at %2 on \"%3\": %4")
                     .arg(int(error.type()))
                     .arg(error.position())
                     .arg(error.originalText(), error.errorMessage());
    }
    return lines;
}

// Empty when both lexers agree, else both readings with the query spelt out.
QString difference(const RegexLexer &oracle, const QString &query, QStringList *reading = nullptr)
{
    QList<QueryError> expectedErrors;
    QList<QueryError> actualErrors;
    const QStringList expected = render(oracle.lex(query, expectedErrors), expectedErrors);
    const QStringList actual = render(lexQuery(query, actualErrors), actualErrors);
    if (reading)
        *reading = expected;
    if (expected == actual)
        return {};
    QStringList codes;
    for (QChar c : query)
        codes << QString::number(c.unicode(), 16);
    return QStringLiteral("query %1\nexpected:\n%2\nactual:\n%3")
        .arg(codes.join(' '), expected.join('\n'), actual.join('\n'));
}

} // namespace

class tst_QueryLexer : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithRegexRules_data();
    void agreesWithRegexRules();
    void agreesOnEveryCharacter();
    void agreesOnRandomQueries();

private:
    RegexLexer m_oracle;
};

void tst_QueryLexer::agreesWithRegexRules_data()
{
    QTest::addColumn<QString>("query");

    const QString pair = QString::fromUtf16(u"\U0001F600");
    QTest::addRow("escaped quote and backslash") << "'a\\'b\\\\c' x";
    QTest::addRow("escaped quote leaves the string open") << "'a\\'";
    QTest::addRow("escape of another character") << "'a\\x' b";
    QTest::addRow("backslash at the end") << "'a\\";
    QTest::addRow("empty quotes") << "'' \"\"";
    QTest::addRow("single quote escaped in double quotes") << "\"a\\'b\"";
    QTest::addRow("other quote inside") << "\"it's\" 'say \"x\"'";
    QTest::addRow("quote right after a word") << "ab'c d'";
    QTest::addRow("user attribute with escapes") << "x:user{a\\\\b\\}c} y";
    QTest::addRow("empty user braces") << "x:user{}";
    QTest::addRow("user braces opening with an escape") << "x:user{\\}}";
    QTest::addRow("user braces with another escape") << "x:user{a\\b}";
    QTest::addRow("user braces left open") << ":user{abc";
    QTest::addRow("user braces across blanks and operators") << ":user{a && b}==1";
    QTest::addRow("upper-case user is no brace form") << "x:USER{a}";
    QTest::addRow("user followed by a colon form") << "x:user:Temp:more";
    QTest::addRow("variable of four parts") << "a:b:c:d";
    QTest::addRow("digit before the colon") << "x1:y";
    QTest::addRow("colon at the end") << "x:";
    QTest::addRow("two colons") << "x::y";
    QTest::addRow("non-ASCII letter in a variable") << QString::fromUtf16(u"x:gr\u00f6\u00dfe");
    QTest::addRow("word operators at the end") << "a %matches";
    QTest::addRow("word operator before a tab") << "a %isapprox\tb";
    QTest::addRow("word operator before a no-break space") << QString::fromUtf16(u"a %contains\u00a0b");
    QTest::addRow("word operator before U+180E") << QString::fromUtf16(u"a %contains\u180eb");
    QTest::addRow("word operator before U+FEFF") << QString::fromUtf16(u"a %contains\ufeffb");
    QTest::addRow("word operator before a line separator") << QString::fromUtf16(u"a %matches\u2028b");
    QTest::addRow("word operator before a surrogate pair") << "a %contains" + pair;
    QTest::addRow("upper-case word operator") << "a %CONTAINS b";
    QTest::addRow("word operator glued to a word") << "%containsx";
    QTest::addRow("symbols glued together") << "a<=b>=c!=d==e&&f||g<h>i";
    QTest::addRow("negations before comparisons") << "!!=a !(b)";
    QTest::addRow("single ampersand") << "a & b";
    QTest::addRow("Unicode blanks end words")
        << QString::fromUtf16(u"a\u2003b\u3000c\u0085d\u180ee\u1680f\u205fg\u2029h");
    QTest::addRow("U+FEFF belongs to a word") << QString::fromUtf16(u"a\ufeffb");
    QTest::addRow("vertical tab and form feed") << "a\vb\fc";
    QTest::addRow("surrogate pair inside a word") << "a" + pair + "b " + pair;
    QTest::addRow("lone high surrogate") << QString(QChar(0xd800)) + "a";
    QTest::addRow("lone low surrogate in a word") << "a" + QString(QChar(0xdc00));
    QTest::addRow("high surrogate at the end") << "'a" + QString(QChar(0xd83d));
    QTest::addRow("pair in reverse order") << QString(QChar(0xde00)) + QString(QChar(0xd83d));
    QTest::addRow("error text cut inside a pair") << "% 12345678901234567" + pair + "x";
    QTest::addRow("nul characters") << QString::fromLatin1("a\0 '\0'", 6);
}

void tst_QueryLexer::agreesWithRegexRules()
{
    QFETCH(QString, query);
    const QString diff = difference(m_oracle, query);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

// Every BMP character once beside a word and once after a word operator; the
// characters beyond it all in one word, as none of them is a blank.
void tst_QueryLexer::agreesOnEveryCharacter()
{
    for (char32_t u = 0; u < 0x10000; ++u) {
        const QString c = QChar(char16_t(u));
        for (const QString &query : { "w" + c + "v", "%contains" + c + "v" }) {
            const QString diff = difference(m_oracle, query);
            QVERIFY2(diff.isEmpty(), qPrintable(diff));
        }
    }
    QList<char32_t> beyond;
    for (char32_t u = 0x10000; u <= 0x10ffff; ++u)
        beyond << u;
    const QString query = "w" + QString::fromUcs4(beyond.constData(), beyond.size()) + " v";
    QStringList reading;
    const QString diff = difference(m_oracle, query, &reading);
    QVERIFY2(diff.isEmpty(), qPrintable(diff.left(2000)));
    QCOMPARE(reading.size(), 2);
}

// Queries glued from pieces that matter to some token rule: whole tokens
// mostly, so that most queries are read far, and now and then a piece that
// may leave the rest unreadable.
void tst_QueryLexer::agreesOnRandomQueries()
{
    const QStringList tokens = { "a", "Zq", "7", "x:y", ":a1:b", "x:user{a\\}b}", "'a\\'b'", "\"x\\\\y\"", "(", ")",
        "!", "&&", "||", "==", "!=", "<", "<=", ">", ">=", "%contains ", "%matches\t", "%isapprox\r", " ", " ", "\t",
        "\n", "\r", "x:", "user{", "{", "}", "\\", QString::fromUtf16(u"\u00e9"), QString::fromUtf16(u"\U0001F600"),
        QString::fromUtf16(u"\ufeff") };
    const QStringList risky = { ":", "'", "\"", "&", "|", "=", "%", "%CONTAINS", "\v", QString::fromUtf16(u"\u00a0"),
        QString::fromUtf16(u"\u2003"), QString::fromUtf16(u"\u3000"), QString::fromUtf16(u"\u0085"),
        QString::fromUtf16(u"\u180e"), QString(QChar(0xd83d)), QString(QChar(0xde00)) };

    QRandomGenerator random(20261209);
    qsizetype characters = 0;
    int queries = 0;
    int rejected = 0;
    int read = 0;
    while (characters < 300000) {
        QString query;
        const int length = random.bounded(1, 16);
        for (int i = 0; i < length; ++i) {
            const QStringList &from = random.bounded(16) == 0 ? risky : tokens;
            query += from.at(random.bounded(int(from.size())));
        }
        QStringList reading;
        const QString diff = difference(m_oracle, query, &reading);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        characters += query.size();
        ++queries;
        const bool error = !reading.isEmpty() && reading.last().startsWith("error");
        rejected += int(error);
        read += int(reading.size()) - int(error);
    }
    // Both outcomes must be common, or the comparison proves little.
    QVERIFY2(rejected > queries / 5 && rejected < queries * 4 / 5,
        qPrintable(QStringLiteral("%1 of %2 rejected, %3 tokens").arg(rejected).arg(queries).arg(read)));
    QVERIFY(read > queries * 2);
}

QTEST_GUILESS_MAIN(tst_QueryLexer)
#include "tst_querylexer.moc"
