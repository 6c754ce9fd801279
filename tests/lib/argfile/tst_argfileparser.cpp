#include "argfile/argfileparser.h"

#include <QtTest>

using namespace traxo;

using Variables = QHash<QString, QString>;

class tst_ArgfileParser : public QObject
{
    Q_OBJECT

private slots:
    void words_data();
    void words();
    void variables_data();
    void variables();
    void pieces_data();
    void pieces();
    void variableNames_data();
    void variableNames();
    void tokenPositions();
    void highlighterKeepsSeparators();
    void doubleSeparatorsCollapse();
    void unescaping_data();
    void unescaping();
    void escapeEverythingIsTakenLiterally();
    void longQuotedTextDoesNotExhaustTheMatcher();
};

void tst_ArgfileParser::words_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("empty text") << "" << QStringList();
    QTest::addRow("only comments and whitespace") << "  # one\n\t# two\r\n   " << QStringList();
    QTest::addRow("words across lines") << "-s title\n  Run\r\n-O out.traxo"
                                        << QStringList { "-s", "title", "Run", "-O", "out.traxo" };
    QTest::addRow("comment does not swallow the next line") << "-v # verbose\n-p" << QStringList { "-v", "-p" };
    QTest::addRow("comment at the very end without line break") << "-v #done" << QStringList { "-v" };
    QTest::addRow("hash inside a bare word starts a comment") << "abc#def ghi\nx" << QStringList { "abc", "x" };
    QTest::addRow("bare, double- and single-quoted parts join into one word")
        << "pre\"fix mid\"'post fix'" << QStringList { "prefix midpost fix" };
    QTest::addRow("double quotes span lines") << "\"a\nb\" c" << QStringList { "a\nb", "c" };
    QTest::addRow("empty double quotes give an empty word") << "a \"\" b" << QStringList { "a", "", "b" };
    QTest::addRow("empty single quotes give an empty word") << "''" << QStringList { "" };
    QTest::addRow("unterminated double quote spoils everything") << "-v -s title \"open" << QStringList();
    QTest::addRow("unterminated double quote in a comment is harmless")
        << "-v # \"open\n-p" << QStringList { "-v", "-p" };
    QTest::addRow("unterminated single quote spoils everything") << "a 'b" << QStringList();
    QTest::addRow("backslash as the very last character spoils everything") << "a b\\" << QStringList();
    QTest::addRow("escaped space in a bare word") << "a\\ b c" << QStringList { "a b", "c" };
    QTest::addRow("escaped quotes and hash") << "\\\"x\\'\\#" << QStringList { "\"x'#" };
    QTest::addRow("escaped quote inside double quotes") << "\"say \\\"hi\\\"\"" << QStringList { "say \"hi\"" };
    QTest::addRow("single quotes keep backslashes") << "'a\\b'" << QStringList { "a\\b" };
    QTest::addRow("escaped dollar is a literal dollar") << "\\$HOME" << QStringList { "$$HOME" };
    QTest::addRow("single-quoted dollar arrives doubled") << "'$HOME costs $5'" << QStringList { "$$HOME costs $$5" };
    QTest::addRow("unescaped reference stays without a table") << "$HOME/x" << QStringList { "$HOME/x" };
    QTest::addRow("escaped line break") << "a\\\nb" << QStringList { "a\nb" };
}

void tst_ArgfileParser::words()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(ArgfileParser::parseArgfile(text, nullptr), expected);
}

void tst_ArgfileParser::variables_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withTable");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("reference after text, no table") << "dir/$NAME.dat" << false << QStringList { "dir/$NAME.dat" };
    QTest::addRow("reference after text, with table") << "dir/$NAME.dat" << true << QStringList { "dir/run 7.dat" };
    QTest::addRow("braced reference") << "${NAME}x" << true << QStringList { "run 7x" };
    QTest::addRow("undefined name counts as empty") << "a$UNSET.b" << true << QStringList { "a.b" };
    QTest::addRow("reference inside double quotes") << "\"v=$NAME\"" << true << QStringList { "v=run 7" };
    QTest::addRow("never inside single quotes") << "'$NAME'" << true << QStringList { "$$NAME" };
    QTest::addRow("one backslash escapes the reference") << "\\$NAME" << true << QStringList { "$$NAME" };
    QTest::addRow("two backslashes give one and expand") << "\\\\$NAME" << true << QStringList { "\\run 7" };
    QTest::addRow("three backslashes escape again") << "\\\\\\$NAME" << true << QStringList { "\\$$NAME" };
    QTest::addRow("value syntax has no effect") << "$TRICKY" << true << QStringList { "a \"b\" #c 'd' $$e \\" };
    QTest::addRow("two references in one word") << "$A$A" << true << QStringList { "11" };
    QTest::addRow("doubled dollar before a name keeps one literal") << "$$A" << true << QStringList { "$1" };
}

void tst_ArgfileParser::variables()
{
    QFETCH(QString, text);
    QFETCH(bool, withTable);
    QFETCH(QStringList, expected);
    const Variables table { { "NAME", "run 7" }, { "A", "1" }, { "TRICKY", "a \"b\" #c 'd' $e \\" } };
    QCOMPARE(ArgfileParser::parseArgfile(text, withTable ? &table : nullptr), expected);
}

void tst_ArgfileParser::pieces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("no reference") << "plain" << QStringList { "plain" };
    QTest::addRow("reference after text") << "a/$B" << QStringList { "a/", "$B" };
    QTest::addRow("reference between texts") << "x${B}y" << QStringList { "x", "${B}", "y" };
    QTest::addRow("escaped reference stays literal") << "x\\$B" << QStringList { "x\\$B" };
    QTest::addRow("escaped then real reference") << "\\$B$C" << QStringList { "\\$B", "$C" };
    QTest::addRow("even backslashes belong to the text") << "\\\\$B" << QStringList { "\\\\", "$B" };
    QTest::addRow("dollar without a name") << "$ $-" << QStringList { "$ $-" };
}

void tst_ArgfileParser::pieces()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    const QStringList pieces = ArgfileParser::findVariablesInToken(text);
    QCOMPARE(pieces, expected);
    QCOMPARE(pieces.join(QString()), text);
    QCOMPARE(ArgfileParser::findVariablesBackslashed(text), expected);
    QCOMPARE(ArgfileParser::findVariablesDoubleQuoted('"' + text + '"'), expected);
}

void tst_ArgfileParser::variableNames_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<QString>("name");

    QTest::addRow("bare") << "$abc1"
                          << "abc1";
    QTest::addRow("braced") << "${X}"
                            << "X";
    QTest::addRow("literal text") << "abc"
                                  << "";
    QTest::addRow("empty") << ""
                           << "";
}

void tst_ArgfileParser::variableNames()
{
    QFETCH(QString, piece);
    QFETCH(QString, name);
    QCOMPARE(ArgfileParser::getVariableName(piece), name);
}

void tst_ArgfileParser::tokenPositions()
{
    const QString text = "-s  'a b'#c\n\"d\"";
    const QList<ArgfileToken> tokens = ArgfileParser::splitIntoTokens(text);
    QCOMPARE(tokens.size(), 5);
    const QList<int> positions { 0, 2, 4, 9, 12 };
    const QList<bool> separators { false, true, false, true, false };
    int sum = 0;
    for (int i = 0; i < tokens.size(); ++i) {
        QCOMPARE(tokens[i].position(), positions[i]);
        QCOMPARE(tokens[i].isSeparator(), separators[i]);
        QCOMPARE(tokens[i].position(), sum);
        QCOMPARE(text.mid(tokens[i].position(), tokens[i].originalLength()), tokens[i].originalText());
        sum += tokens[i].originalLength();
        if (tokens[i].isSeparator())
            QCOMPARE(tokens[i].str(), QString());
    }
    QCOMPARE(tokens[3].originalText(), QString("#c\n"));
}

void tst_ArgfileParser::highlighterKeepsSeparators()
{
    const QList<ArgfileToken> tokens = ArgfileParser::getHighlighterList("-i  a\\ b'c' # x");
    QCOMPARE(tokens.size(), 6);
    QCOMPARE(tokens[0], ArgfileToken("-i", 0, "-i"));
    QCOMPARE(tokens[1], ArgfileToken(ArgfileToken::Separator, 2, "  "));
    QCOMPARE(tokens[2], ArgfileToken("a b", 4, "a\\ b"));
    QCOMPARE(tokens[3], ArgfileToken("c", 8, "'c'"));
    QCOMPARE(tokens[4], ArgfileToken(ArgfileToken::Separator, 11, " "));
    QCOMPARE(tokens[5], ArgfileToken(ArgfileToken::Separator, 12, "# x"));
    QVERIFY(ArgfileParser::getHighlighterList("\"open").isEmpty());
}

void tst_ArgfileParser::doubleSeparatorsCollapse()
{
    const ArgfileToken sep(ArgfileToken::Separator, 0, " ");
    const ArgfileToken word("w", 1, "w");
    const QList<ArgfileToken> cleaned
        = ArgfileParser::removeDoubleSeparators({ sep, sep, word, sep, sep, sep, word, sep });
    QCOMPARE(cleaned.size(), 3);
    QVERIFY(!cleaned[0].isSeparator());
    QVERIFY(cleaned[1].isSeparator());
    QVERIFY(!cleaned[2].isSeparator());
    QCOMPARE(ArgfileParser::tokensToStrings(ArgfileParser::joinTokens(cleaned)), (QStringList { "w", "w" }));
}

void tst_ArgfileParser::unescaping_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::addRow("bare escapes") << "bare"
                                  << "a\\b\\\\c"
                                  << "ab\\c";
    QTest::addRow("bare escaped dollar") << "bare"
                                         << "\\$"
                                         << "$$";
    QTest::addRow("bare trailing backslash stays") << "bare"
                                                   << "ab\\"
                                                   << "ab\\";
    QTest::addRow("double quoted") << "double"
                                   << "\"a\\\"b c\""
                                   << "a\"b c";
    QTest::addRow("single quoted") << "single"
                                   << "'a\\b $x'"
                                   << "a\\b $$x";
}

void tst_ArgfileParser::unescaping()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    if (kind == "bare")
        QCOMPARE(ArgfileParser::unescapeBackslashed(text), expected);
    else if (kind == "double")
        QCOMPARE(ArgfileParser::unescapeDoubleQuoted(text), expected);
    else
        QCOMPARE(ArgfileParser::unescapeSingleQuoted(text), expected);
}

void tst_ArgfileParser::escapeEverythingIsTakenLiterally()
{
    QCOMPARE(ArgfileParser::escapeEverything("a $"), QString("\\a\\ \\$"));
    QCOMPARE(ArgfileParser::unescapeBackslashed(ArgfileParser::escapeEverything("x'#\"")), QString("x'#\""));
    const Variables table { { "V", "1" } };
    const ArgfileToken replaced = ArgfileParser::replaceVariables({ "pre", "$V", "${V}" }, &table);
    QCOMPARE(replaced.str(), QString("pre\\1\\1"));
    QCOMPARE(replaced.position(), -1);
    QCOMPARE(ArgfileParser::replaceVariables({ "pre", "$V" }, nullptr).str(), QString("pre$V"));
}

void tst_ArgfileParser::longQuotedTextDoesNotExhaustTheMatcher()
{
    const QString body = QString("ab\\\"").repeated(200000);
    const QStringList words = ArgfileParser::parseArgfile("-s comment \"" + body + "\" " + body);
    QCOMPARE(words.size(), 4);
    QCOMPARE(words[2].size(), 3 * 200000);
    QCOMPARE(words[2], words[3]);
}

QTEST_GUILESS_MAIN(tst_ArgfileParser)
#include "tst_argfileparser.moc"
