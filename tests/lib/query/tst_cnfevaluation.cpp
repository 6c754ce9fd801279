#include "container/containerwriter.h"
#include "container/traxoparser.h"
#include "query/cnfevaluation.h"
#include "query/conjunctivenormalform.h"
#include "query/queryparser.h"
#include "query/traxofindquery.h"
#include "summary/summarywriter.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

using namespace traxo;

namespace {

FileSummary makeFile(int tagId, const QString &name, const QString &type, qint64 size, const QString &purpose)
{
    FileSummary file;
    file.TagID = tagId;
    file.Filename = name;
    file.Filetype = type;
    file.UncompressedSize = size;
    file.FilePurpose = purpose;
    return file;
}

// Two steps, oldest first as the summary creator lists them. Candidates in
// order: 0 step "Convert raw data", 1 raw.dat, 2 plot.pdf (big), 3 step "Make
// report", 4 plot.pdf (small), 5 report.pdf, 6 notes.txt.
QList<Summary> twoSteps()
{
    Summary convert;
    convert.TagID = 1;
    convert.Title = QStringLiteral("Convert raw data");
    convert.Tool = QStringLiteral("convert");
    convert.Timestamp = QStringLiteral("2010-01-05 13:07");
    convert.userAttributeKeys = QStringList { QStringLiteral("Lab") };
    convert.userAttributeValues.insert(QStringLiteral("Lab"), QStringLiteral("Bonn"));
    convert.files << makeFile(0, "raw.dat", "dat", 2000, "InFile");
    FileSummary plot = makeFile(1, "plot.pdf", "pdf", 123456789, "OutFile");
    plot.Embedded = true;
    plot.CompressedMethod = QStringLiteral("flate");
    convert.files << plot;

    Summary report;
    report.TagID = 0;
    report.Title = QStringLiteral("Make report");
    report.Tool = QStringLiteral("latex");
    report.Timestamp = QStringLiteral("2010-02-01 09:00");
    report.files << makeFile(2, "plot.pdf", "pdf", 500, "InFile") << makeFile(3, "report.pdf", "pdf", 800, "OutFile");
    FileSummary notes = makeFile(-1, "notes.txt", "txt", 10, "Undefined");
    notes.userAttributeKeys = QStringList { QStringLiteral("Reviewer"), QStringLiteral("Round") };
    notes.userAttributeValues.insert(QStringLiteral("Reviewer"), QStringLiteral("Ada"));
    notes.userAttributeValues.insert(QStringLiteral("Round"), QStringLiteral("2"));
    report.files << notes;
    return { convert, report };
}

ConjunctiveNormalForm cnfOf(const QString &query)
{
    QList<QueryError> errors;
    const ExpressionTreeNodePtr tree = parseQuery(query, errors);
    if (!tree)
        qWarning() << "query rejected:" << query << errors.value(0).errorMessage();
    return constructCNF(tree);
}

// Texts the lower-casing of the search must treat as QString::toLower does:
// sharp s, dotted capital I, capital sigma, a line break inside a text, sizes
// of a million and more, and user attributes of a file.
QList<Summary> unusualTexts()
{
    Summary step;
    step.TagID = 7;
    step.Title = QStringLiteral("Straße \u0130stanbul \u03A3\u0399\u03A3\u03A5\u03A6\u039F\u03A3");
    step.Comment = QStringLiteral("line one\nline TWO");
    FileSummary big = makeFile(-1, "big.bin", "bin", 1000000, "OutFile");
    big.CompressedSize = 999999;
    big.userAttributeKeys = QStringList { QStringLiteral("Lab"), QStringLiteral("Room"), QStringLiteral("LAB") };
    big.userAttributeValues.insert(QStringLiteral("Lab"), QStringLiteral("Bonn"));
    big.userAttributeValues.insert(QStringLiteral("Room"), QStringLiteral("K\u00D6LN 12"));
    big.userAttributeValues.insert(QStringLiteral("LAB"), QStringLiteral("Jülich"));
    step.files << big << makeFile(4, "Negative.DAT", "dat", -5, "InFile");
    return twoSteps() << step;
}

QList<QHash<QString, ReturnValue>> attributeTables(const QList<Summary> &summaries)
{
    QList<QHash<QString, ReturnValue>> tables;
    for (const Summary &summary : summaries) {
        tables << convertStepToHash(summary);
        for (const FileSummary &file : summary.files)
            tables << convertFileToHash(file, summary.TagID);
    }
    return tables;
}

// The plain reading of a form of one named variable: the first attribute
// table that makes every disjunction true under the public evaluators.
QHash<QString, QString> firstSolution(const QList<Summary> &summaries, const ConjunctiveNormalForm &cnf)
{
    using Binary = ReturnValue (*)(const ReturnValue &, const ReturnValue &);
    const QHash<QString, Binary> evaluators { { "==", evaluateEq }, { "!=", evaluateNEq }, { "<", evaluateLess },
        { "<=", evaluateLessEq }, { ">", evaluateGreater }, { ">=", evaluateGreaterEq },
        { "%contains", evaluateContains }, { "%matches", evaluateMatches }, { "%isapprox", evaluateIsApprox } };
    const auto operand = [](const QHash<QString, ReturnValue> &table, const CNFOperand &o) {
        if (o.isString())
            return ReturnValue::fromString(o.string());
        return table.value(o.variableAttribute().toLower(), ReturnValue(ReturnValueType::MissingAttribute, {}));
    };
    for (const QHash<QString, ReturnValue> &table : attributeTables(summaries)) {
        bool all = true;
        for (const CNFDisjunction &disjunction : cnf) {
            bool any = false;
            for (const CNFLiteral &literal : disjunction) {
                const ReturnValue value = literal.isPredicate()
                    ? evaluators.value(literal.op())(operand(table, literal.left()), operand(table, literal.right()))
                    : operand(table, literal.boolVariable());
                any = any || (value.isBool() && value.toBool() != literal.isNegated());
            }
            all = all && any;
        }
        if (all) {
            const QString name = cnf.variableNames().value(0);
            return { { name,
                table.value("iswfs").toBool() ? "workflowstep: " + table.value("title").value()
                                              : "file: " + table.value("filename").value() } };
        }
    }
    return {};
}

QStringList describe(const QHash<QString, QString> &bindings)
{
    QStringList lines;
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it)
        lines << it.key() + QLatin1String(" = ") + it.value();
    lines.sort();
    return lines;
}

} // namespace

class tst_CNFEvaluation : public QObject
{
    Q_OBJECT

private slots:
    void rewrites_data();
    void rewrites();
    void nullTreeGivesEmptyForm();
    void variableLocations();
    void stepTable();
    void fileTable();
    void matching_data();
    void matching();
    void noSummaries();
    void unknownOperatorIsFalse_data();
    void unknownOperatorIsFalse();
    void invalidQueryMatchesNothing();
    void manyAlternativesAreDecided();
    void sizesBeyond32Bits_data();
    void sizesBeyond32Bits();
    void wordThatMatchesNothingEndsTheSearch();
    void joinTooLargeToDecideGivesUp();
    void ownTestsNarrowTheJoin();
    void matchesAnOpenedContainer();
    void freeWordsAgreeWithTheJoinedText_data();
    void freeWordsAgreeWithTheJoinedText();
    void readingOrderDoesNotMatter_data();
    void readingOrderDoesNotMatter();
};

void tst_CNFEvaluation::rewrites_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("cnf");

    QTest::addRow("single comparison") << "x:filetype == pdf"
                                       << "x:filetype == 'pdf'";
    QTest::addRow("De Morgan over and") << "!(x:iswfs && y:isfile)"
                                        << "!x:iswfs || !y:isfile";
    QTest::addRow("De Morgan over or") << "!(x:iswfs || y:isfile)"
                                       << "!x:iswfs\n!y:isfile";
    QTest::addRow("De Morgan over an implicit and") << "!(a b)"
                                                    << "!@unnamed-1:any %contains 'a' || !@unnamed-2:any %contains 'b'";
    QTest::addRow("double negation") << "!!x:iswfs"
                                     << "x:iswfs";
    QTest::addRow("triple negation") << "!!!x:iswfs"
                                     << "!x:iswfs";
    QTest::addRow("negated comparison") << "!(x:filesize > 3)"
                                        << "!x:filesize > '3'";
    QTest::addRow("or over and") << "x:iswfs || (y:isfile && z:embedded)"
                                 << "y:isfile || x:iswfs\nz:embedded || x:iswfs";
    QTest::addRow("and over or on the left") << "(y:isfile && z:embedded) || x:iswfs"
                                             << "y:isfile || x:iswfs\nz:embedded || x:iswfs";
    QTest::addRow("two conjunctions")
        << "(a:iswfs && b:iswfs) || (c:iswfs && d:iswfs)"
        << "c:iswfs || a:iswfs\nd:iswfs || a:iswfs\nc:iswfs || b:iswfs\nd:iswfs || b:iswfs";
    QTest::addRow("negation pushed through distribution") << "!(x:iswfs && (y:isfile || z:embedded))"
                                                          << "!y:isfile || !x:iswfs\n!z:embedded || !x:iswfs";
    QTest::addRow("a word") << "w"
                            << "@unnamed-1:any %contains 'w'";
    QTest::addRow("conjunction stays flat") << "a:iswfs && b:iswfs && c:iswfs"
                                            << "a:iswfs\nb:iswfs\nc:iswfs";
}

void tst_CNFEvaluation::rewrites()
{
    QFETCH(QString, query);
    QFETCH(QString, cnf);
    QCOMPARE(cnfOf(query).toString(), cnf);
}

void tst_CNFEvaluation::nullTreeGivesEmptyForm()
{
    bool ok = false;
    QCOMPARE(constructCNF(ExpressionTreeNodePtr(), &ok).numDisjunctions(), 0);
    QVERIFY(ok);
}

void tst_CNFEvaluation::variableLocations()
{
    const ConjunctiveNormalForm cnf = cnfOf("y:isfile && (x:tagid == y:parentid || z:iswfs)");
    QCOMPARE(cnf.variableNames(), QStringList({ "y", "x", "z" }));
    const QMultiHash<QString, CNFLiteralIndex> locations = cnf.variableLocations();
    QCOMPARE(locations.values("y").size(), 2);
    QVERIFY(locations.values("x").contains(CNFLiteralIndex { 1, 0 }));
    QVERIFY(locations.values("z").contains(CNFLiteralIndex { 1, 1 }));
    QCOMPARE(cnf.disjunctionAt(1).variableLocations().values("y"), QList<int> { 0 });
    QCOMPARE(cnf.literalAt(CNFLiteralIndex { 1, 0 }).variableNames(), QSet<QString>({ "x", "y" }));
}

void tst_CNFEvaluation::stepTable()
{
    const QHash<QString, ReturnValue> table = convertStepToHash(twoSteps().first());
    QCOMPARE(table.value("hash"), ReturnValue::fromString("wfs:1"));
    QCOMPARE(table.value("tagid"), ReturnValue::fromString("1"));
    QCOMPARE(table.value("iswfs"), ReturnValue::fromBool(true));
    QCOMPARE(table.value("isfile"), ReturnValue::fromBool(false));
    QCOMPARE(table.value("userattrs"), ReturnValue::fromString("lab"));
    QCOMPARE(table.value("user:lab"), ReturnValue::fromString("Bonn"));
    QVERIFY(!table.contains("filename"));
    // Every text value is searchable through "any", flags are not.
    const QStringList any = table.value("any").value().split('\n');
    QVERIFY(any.contains("wfs:1"));
    QVERIFY(any.contains("Convert raw data"));
    QVERIFY(any.contains("Bonn"));
    QVERIFY(!any.contains("true"));
}

void tst_CNFEvaluation::fileTable()
{
    const Summary report = twoSteps().last();
    const QHash<QString, ReturnValue> notes = convertFileToHash(report.files.at(2), report.TagID);
    QCOMPARE(notes.value("hash"), ReturnValue::fromString("file:0:-1"));
    QCOMPARE(notes.value("parentid"), ReturnValue::fromString("0"));
    QCOMPARE(notes.value("isinfile"), ReturnValue::fromBool(false));
    QCOMPARE(notes.value("isoutfile"), ReturnValue::fromBool(true)); // "Undefined" counts as output
    QCOMPARE(notes.value("compressed"), ReturnValue::fromBool(false));
    QCOMPARE(notes.value("userattrs"), ReturnValue::fromString("reviewer, round"));
    QCOMPARE(notes.value("user:reviewer"), ReturnValue::fromString("Ada"));

    const Summary convert = twoSteps().first();
    const QHash<QString, ReturnValue> plot = convertFileToHash(convert.files.at(1), convert.TagID);
    QCOMPARE(plot.value("filesize"), ReturnValue::fromString("123456789"));
    QCOMPARE(plot.value("cfilesize"), ReturnValue::fromString("-1"));
    QCOMPARE(plot.value("compressed"), ReturnValue::fromBool(true));
    QCOMPARE(plot.value("embedded"), ReturnValue::fromBool(true));
    QCOMPARE(plot.value("hash"), ReturnValue::fromString("file:1:1"));
}

void tst_CNFEvaluation::matching_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<QStringList>("bindings");

    const QString convert = QStringLiteral("workflowstep: Convert raw data");
    const QString report = QStringLiteral("workflowstep: Make report");

    QTest::addRow("file and step of their own kinds")
        << "f:filetype == pdf && s:tool == convert" << true << QStringList { "f = file: plot.pdf", "s = " + convert };
    QTest::addRow("two named variables need two files")
        << "f:filetype == txt && g:filetype == txt" << false << QStringList {};
    QTest::addRow("two named variables on two pdf files")
        << "f:filetype == pdf && g:filetype == pdf && f:filesize > g:filesize && g:filesize > 600" << true
        << QStringList { "f = file: plot.pdf", "g = file: report.pdf" };
    QTest::addRow("unnamed variables may share a file")
        << ":filetype == txt && :filetype == txt" << true << QStringList {};
    QTest::addRow("a free word in any attribute, any case") << "BONN" << true << QStringList {};
    QTest::addRow("a free word that is nowhere") << "nosuchword" << false << QStringList {};
    QTest::addRow("free words may lie in different candidates") << "latex raw.dat" << true << QStringList {};
    QTest::addRow("a missing user attribute under negation")
        << "!(f:user:reviewer == ada)" << true << QStringList { "f = " + convert };
    QTest::addRow("a user attribute by any case")
        << "f:user:Reviewer == ADA" << true << QStringList { "f = file: notes.txt" };
    QTest::addRow("a user attribute in brace form")
        << "f:user{reviewer} == ada" << true << QStringList { "f = file: notes.txt" };
    QTest::addRow("a flag binds the first step") << "f:iswfs" << true << QStringList { "f = " + convert };
    // A literal of constants is never evaluated, so it never fails a binding.
    QTest::addRow("constants never cut a branch") << "f:iswfs && 1 == 2" << true << QStringList { "f = " + convert };
    QTest::addRow("a constant keeps a failing test's disjunction open")
        << "f:filetype == nosuch || 1 == 2" << true << QStringList { "f = " + convert };
    QTest::addRow("first file larger than 1000 bytes")
        << "f:isfile && f:filesize > 1000" << true << QStringList { "f = file: raw.dat" };
    QTest::addRow("large sizes compare exactly")
        << "f:filesize == 123456789" << true << QStringList { "f = file: plot.pdf" };
    QTest::addRow("large sizes compare as numbers")
        << "f:filesize > 100000000" << true << QStringList { "f = file: plot.pdf" };
    QTest::addRow("a rounded size is another size") << "f:filesize == 1.23457e+08" << false << QStringList {};
    QTest::addRow("a step paired with its file") << "x:iswfs && x:tagid == y:parentid && y:filename == notes.txt"
                                                 << true << QStringList { "x = " + report, "y = file: notes.txt" };
    QTest::addRow("the older step paired with its file")
        << "x:iswfs && x:tagid == y:parentid && y:filename == raw.dat" << true
        << QStringList { "x = " + convert, "y = file: raw.dat" };
    QTest::addRow("a file paired with a step of another id")
        << "x:iswfs && x:tagid == y:parentid && y:filename == notes.txt && x:tool == convert" << false
        << QStringList {};
    QTest::addRow("timestamps ordered as dates, earlier")
        << "x:timestamp < 2010-01-10" << true << QStringList { "x = " + convert };
    QTest::addRow("timestamps ordered as dates, later")
        << "x:timestamp > 2010-01-10" << true << QStringList { "x = " + report };
    QTest::addRow("wildcard ignores case")
        << "f:filename %matches *.PDF" << true << QStringList { "f = file: plot.pdf" };
    QTest::addRow("input flag") << "f:isinfile && f:filetype == pdf" << true << QStringList { "f = file: plot.pdf" };
    QTest::addRow("hash of a file") << "f:hash == 'file:0:3'" << true << QStringList { "f = file: report.pdf" };
    QTest::addRow("approximate size") << "f:filesize %isapprox 505" << true << QStringList { "f = file: plot.pdf" };
    QTest::addRow("either of two") << "f:tool == latex || f:filetype == dat" << true
                                   << QStringList { "f = file: raw.dat" };
    QTest::addRow("no variables at all") << "'a' == 'b'" << true << QStringList {};

    // Searched naively, thirty free words take candidates to the thirtieth
    // power before they fail.
    QStringList absent;
    for (int i = 0; i < 30; ++i)
        absent << QStringLiteral("nosuch%1").arg(i);
    QTest::addRow("thirty absent words joined by or") << absent.join(" || ") << false << QStringList {};
    QTest::addRow("a present word after thirty absent ones")
        << absent.join(" || ") + " || BONN" << true << QStringList {};
    QTest::addRow("absent words beside a named variable")
        << "f:iswfs && (" + absent.join(" || ") + " || latex)" << true << QStringList { "f = " + convert };
    QTest::addRow("a comparison with a constant that one file passes") << "f:filetype == pdf && (:filesize > 100000 || "
            + absent.join(" || ") + ")" << true << QStringList { "f = file: plot.pdf" };
}

void tst_CNFEvaluation::matching()
{
    QFETCH(QString, query);
    QFETCH(bool, matches);
    QFETCH(QStringList, bindings);

    const TraxoFindQuery findQuery(query);
    QVERIFY2(findQuery.isValid(), qPrintable(findQuery.getErrors().value(0).errorMessage()));
    QHash<QString, QString> found { { "stale", "entry" } };
    QCOMPARE(findQuery.matches(twoSteps(), &found), matches);
    QCOMPARE(describe(found), bindings);
    QCOMPARE(findQuery.matches(twoSteps()), matches); // without a bindings table
    // The normal form, searched as a conjunction of its disjunctions, agrees.
    QVERIFY(!findQuery.cnf().isEmpty() || findQuery.formula().literals().isEmpty());
    QHash<QString, QString> viaCNF;
    QCOMPARE(evaluateCNF(twoSteps(), findQuery.cnf(), viaCNF), matches);
    QCOMPARE(describe(viaCNF), bindings);
}

void tst_CNFEvaluation::noSummaries()
{
    QVERIFY(TraxoFindQuery("'a' == 'b'").matches({}));
    QVERIFY(!TraxoFindQuery("f:iswfs").matches({}));
    QVERIFY(!TraxoFindQuery("word").matches({}));
}

void tst_CNFEvaluation::unknownOperatorIsFalse_data()
{
    QTest::addColumn<bool>("negated");
    QTest::addRow("plain") << false;
    QTest::addRow("negated") << true;
}

void tst_CNFEvaluation::unknownOperatorIsFalse()
{
    QFETCH(bool, negated);
    ConjunctiveNormalForm cnf;
    cnf.addDisjunction();
    cnf.lastDisjunction().addLiteral(
        CNFLiteral(negated, CNFOperand::fromVariable("f", "filename"), "~=", CNFOperand::fromString("raw.dat")));
    QHash<QString, QString> bindings;
    QVERIFY(!evaluateCNF(twoSteps(), cnf, bindings));
    QVERIFY(bindings.isEmpty());

    // The same literal with a known operator does match, so the refusal above
    // is the operator's doing.
    cnf.lastDisjunction().clear();
    cnf.lastDisjunction().addLiteral(
        CNFLiteral(negated, CNFOperand::fromVariable("f", "filename"), "==", CNFOperand::fromString("raw.dat")));
    QVERIFY(evaluateCNF(twoSteps(), cnf, bindings));
}

void tst_CNFEvaluation::invalidQueryMatchesNothing()
{
    TraxoFindQuery query("x:filename");
    QVERIFY(!query.isValid());
    QCOMPARE(query.getErrors().size(), 1);
    QCOMPARE(query.cnf().numDisjunctions(), 0);
    QHash<QString, QString> bindings { { "stale", "entry" } };
    QVERIFY(!query.matches(twoSteps(), &bindings));
    QVERIFY(bindings.isEmpty());

    // A warning alone leaves the query usable.
    QVERIFY(query.setQuery("x:user:round > 1"));
    QVERIFY(query.isValid());
    QVERIFY(containsWarnings(query.getErrors()));
    QVERIFY(query.matches(twoSteps()));
}

// Twenty alternatives would distribute into 2^20 disjunctions: the query is
// searched as written, and the normal form is left out.
void tst_CNFEvaluation::manyAlternativesAreDecided()
{
    QStringList pairs;
    for (int i = 0; i < 20; ++i)
        pairs << QStringLiteral("(f:filetype == t%1 && f:filesize > 1)").arg(i);
    const TraxoFindQuery query(pairs.join(" || ") + " || (f:filetype == pdf && f:filesize > 600 && f:filesize < 900)");
    QVERIFY(query.isValid());
    QVERIFY(query.cnf().isEmpty());
    QHash<QString, QString> bindings;
    QVERIFY(query.matches(twoSteps(), &bindings));
    QCOMPARE(describe(bindings), QStringList { "f = file: report.pdf" });
    QVERIFY(!TraxoFindQuery(pairs.join(" || ")).matches(twoSteps()));

    // Six pairs distribute into 64 disjunctions and keep their normal form.
    TraxoFindQuery smaller(pairs.mid(0, 6).join(" || "));
    QVERIFY(smaller.isValid());
    QCOMPARE(smaller.cnf().numDisjunctions(), 64);
}

// Single precision would make 2^32 - 1 and 2^32 + 1 both 2^32, and six
// digits would make every size near 5 GiB "5.36871e+09".
void tst_CNFEvaluation::sizesBeyond32Bits_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<QString>("binding");

    QTest::addRow("one byte past 4 GiB is more") << "f:filesize > 4gb" << true << "file: past4";
    QTest::addRow("one byte short of 4 GiB is less") << "f:filesize >= 4gb" << true << "file: past4";
    QTest::addRow("one byte past 2 GiB") << "f:filesize > 2gb && f:filesize < 3gb" << true << "file: past2";
    QTest::addRow("exact text of 5 GiB") << "f:filesize == 5368709120" << true << "file: five";
    QTest::addRow("a free word finds the exact size") << "5368709120" << true << QString();
    QTest::addRow("the rounded text is no size") << "5.36871e+09" << false << QString();
}

void tst_CNFEvaluation::sizesBeyond32Bits()
{
    QFETCH(QString, query);
    QFETCH(bool, matches);
    QFETCH(QString, binding);

    Summary step;
    step.files << makeFile(0, "short4", "raw", 4294967295LL, "OutFile")
               << makeFile(1, "past2", "raw", 2147483649LL, "OutFile")
               << makeFile(2, "past4", "raw", 4294967297LL, "OutFile")
               << makeFile(3, "five", "raw", 5368709120LL, "OutFile");
    const TraxoFindQuery findQuery(query);
    QHash<QString, QString> bindings;
    QCOMPARE(findQuery.matches({ step }, &bindings), matches);
    QCOMPARE(bindings.value("f"), binding);
}

void tst_CNFEvaluation::wordThatMatchesNothingEndsTheSearch()
{
    // Without knowing that the last word fails on its own, the search would
    // try every combination of the three words before it: 400^3 bindings.
    QList<Summary> summaries;
    for (int i = 0; i < 40; ++i) {
        Summary step;
        step.TagID = i;
        step.Title = QStringLiteral("the step %1").arg(i);
        for (int j = 0; j < 9; ++j)
            step.files << makeFile(j, QStringLiteral("the file %1").arg(j), "dat", j, "InFile");
        summaries << step;
    }
    QVERIFY(!TraxoFindQuery("the the the nosuchword").matches(summaries));
    QVERIFY(TraxoFindQuery("the the the file").matches(summaries));
}

void tst_CNFEvaluation::joinTooLargeToDecideGivesUp()
{
    Summary step;
    for (int i = 0; i < 12; ++i)
        step.files << makeFile(i, QStringLiteral("f%1.dat").arg(i), "dat", i, "InFile");
    // A cycle of "larger than" never holds, but the search learns that only
    // by trying the orders of the files.
    const TraxoFindQuery cycle("a:filesize > b:filesize && b:filesize > c:filesize && c:filesize > a:filesize");
    QVERIFY(cycle.isValid());
    QHash<QString, QString> bindings;
    bool gaveUp = true;
    QVERIFY(!evaluateCNF({ step }, cycle.cnf(), bindings, &gaveUp));
    QVERIFY(!gaveUp);
    QVERIFY(!evaluateCNF({ step }, cycle.cnf(), bindings, &gaveUp, 50));
    QVERIFY(gaveUp);
    QVERIFY(bindings.isEmpty());

    // A match found within the budget is a match.
    const TraxoFindQuery chain("a:filesize > b:filesize && b:filesize > c:filesize");
    QVERIFY(evaluateCNF({ step }, chain.cnf(), bindings, &gaveUp, 1000));
    QVERIFY(!gaveUp);

    // Every file has the same type, so the last literal fails whatever a
    // is bound to: the search learns it before binding anything else.
    const TraxoFindQuery eight("a:filetype == b:filetype && b:filetype == c:filetype && c:filetype == d:filetype"
                               " && d:filetype == e:filetype && e:filetype == f:filetype && f:filetype == g:filetype"
                               " && g:filetype == h:filetype && h:filetype != a:filetype");
    QVERIFY(!eight.matches({ step }, &bindings, &gaveUp));
    QVERIFY(!gaveUp);

    // Thirteen files for twelve: every order of the files fails only at the
    // last variable. The search gives up after its time, not before.
    QStringList thirteen;
    for (int i = 0; i < 13; ++i)
        thirteen << QStringLiteral("v%1:isfile").arg(QChar('a' + i));
    const TraxoFindQuery pigeons(thirteen.join(' '));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!evaluateFormula({ step }, pigeons.formula(), bindings, &gaveUp, -1, 100));
    QVERIFY(gaveUp);
    QVERIFY(timer.elapsed() >= 100);
}

// Thirty steps of five files, only step 20's files "*.dat": a join over
// every pair of 180 candidates would try about 21 000 bindings before step
// 20, but y's own test leaves it five files to try.
void tst_CNFEvaluation::ownTestsNarrowTheJoin()
{
    QList<Summary> steps;
    for (int i = 0; i < 30; ++i) {
        Summary step;
        step.TagID = 1000 + i;
        step.Title = QStringLiteral("step %1").arg(i);
        for (int j = 0; j < 5; ++j) {
            const QString type = i == 20 ? QStringLiteral("dat") : QStringLiteral("txt");
            step.files << makeFile(5 * i + j, QStringLiteral("d%1_%2.%3").arg(i).arg(j).arg(type), type, j, "OutFile");
        }
        steps << step;
    }
    QHash<QString, QString> bindings;
    bool gaveUp = true;
    const TraxoFindQuery join("x:tagid == y:parentid y:filename %matches *.dat z:iswfs");
    QVERIFY(evaluateCNF(steps, join.cnf(), bindings, &gaveUp, 5000));
    QVERIFY(!gaveUp);
    // The first solution in candidate order, as without the narrowing.
    QCOMPARE(bindings,
        (QHash<QString, QString> {
            { "x", "workflowstep: step 20" }, { "y", "file: d20_0.dat" }, { "z", "workflowstep: step 0" } }));

    // A variable that no candidate's own tests let through decides the
    // search before it starts.
    const TraxoFindQuery none("x:tagid == y:parentid y:filename %matches *.nosuch");
    QVERIFY(!evaluateCNF(steps, none.cnf(), bindings, &gaveUp, 10));
    QVERIFY(!gaveUp);
}

void tst_CNFEvaluation::matchesAnOpenedContainer()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("run.traxo");

    Summary step;
    step.Title = QStringLiteral("Fit the curve");
    step.Tool = QStringLiteral("fitter");
    FileSummary data = makeFile(-1, "points.csv", "csv", 5, "InFile");
    data.Embedded = true;
    data.CompressedMethod = QStringLiteral("none");
    data.UncompressedMD5 = QString::fromLatin1(QCryptographicHash::hash("1,2\n", QCryptographicHash::Md5).toHex());
    data.UncompressedSize = 4;
    step.files << data;

    ContainerWriter::Section section;
    section.title = step.Title;
    section.files << ContainerWriter::File { "csv", "points.csv", {}, {}, "1,2\n", {}, -1, ContainerWriter::None };
    section.summary = SummaryWriter::writeSummaryUtf8(step);
    ContainerWriter writer;
    QVERIFY2(writer.create(path) && writer.appendSection(path, section), qPrintable(writer.errorString()));

    TraxoParser parser(ParseTolerant);
    QVERIFY(parser.open(path));
    QHash<QString, QString> bindings;
    QVERIFY(TraxoFindQuery("s:tool == fitter && f:filename %matches *.csv && f:embedded").matches(parser, &bindings));
    QCOMPARE(describe(bindings), QStringList({ "f = file: points.csv", "s = workflowstep: Fit the curve" }));
    // The summary file itself is one of the section's files.
    QVERIFY(TraxoFindQuery("f:filename == ws_summary.xml").matches(parser));
    QVERIFY(!TraxoFindQuery("f:filename == other.csv").matches(parser));
}

void tst_CNFEvaluation::freeWordsAgreeWithTheJoinedText_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("found");

    QTest::addRow("a word in any case") << "CONVERT Raw" << true;
    QTest::addRow("dotted capital I does not lower to plain i") << "ISTANBUL" << false;
    QTest::addRow("sharp s is not ss") << "STRASSE" << false;
    QTest::addRow("sharp s as written") << "STRAßE" << true;
    QTest::addRow("dotted capital I lowers to i and a dot") << "i\u0307stanbul" << true;
    QTest::addRow("capital sigma lowers to sigma everywhere") << "\u03C3\u03B9\u03C3\u03C5\u03C6\u03BF\u03C3" << true;
    QTest::addRow("a line break within one text") << "ONE\nline two" << true;
    QTest::addRow("a line break between two texts") << "raw data\n" << true;
    QTest::addRow("across two texts without the line break") << "raw datadescription" << false;
    QTest::addRow("a size of a million") << "1000000" << true;
    QTest::addRow("a size just below a million") << "999999" << true;
    QTest::addRow("a negative size") << "-5" << true;
    QTest::addRow("a made-up hash") << "file:7:-1" << true;
    QTest::addRow("the parent id of a file") << "wfs:7" << true;
    QTest::addRow("user attribute names of a file joined") << "lab, room, lab" << true;
    QTest::addRow("a user attribute value with an umlaut") << "kölN 1" << true;
    QTest::addRow("flags are not text") << "true" << false;
    QTest::addRow("the empty word") << "" << true;
    QTest::addRow("a word that is nowhere") << "nosuchword" << false;
}

void tst_CNFEvaluation::freeWordsAgreeWithTheJoinedText()
{
    QFETCH(QString, word);
    QFETCH(bool, found);

    bool inJoinedText = false;
    for (const QHash<QString, ReturnValue> &table : attributeTables(unusualTexts()))
        inJoinedText = inJoinedText || table.value("any").value().toLower().contains(word.toLower());
    QCOMPARE(inJoinedText, found);

    ConjunctiveNormalForm cnf;
    cnf.addDisjunction();
    cnf.lastDisjunction().addLiteral(
        CNFLiteral(false, CNFOperand::fromVariable("@unnamed-1", "any"), "%contains", CNFOperand::fromString(word)));
    QHash<QString, QString> bindings;
    QCOMPARE(evaluateCNF(unusualTexts(), cnf, bindings), found);
}

void tst_CNFEvaluation::readingOrderDoesNotMatter_data()
{
    QTest::addColumn<QString>("query");

    // Each pair reads the same attributes of a candidate in the two orders.
    const QStringList pairs[] = {
        { "f:any %contains pdf", "f:filesize > 600" },
        { "f:any %contains plot", "f:filesize < 0" },
        { "f:any %matches *raw*", "f:any %contains DAT" },
        { "f:any %contains notes", "!(f:any %contains plot)" },
        { "f:any %contains 'line one\nline'", "f:title %contains İSTANBUL" },
        { "f:user:round > 1", "f:userattrs %contains reviewer" },
        { "f:user:lab == jülich", "f:user:room %contains Köln" },
        { "f:filename != plot.pdf", "f:filetype == PDF" },
        { "f:timestamp < 2010-01-10", "f:any %contains BONN" },
        { "f:isfile", "f:hash == 'FILE:7:-1'" },
        { "(f:md5 == '' || f:title == x)", "f:tagid %isapprox 4" },
        { "f:cfilesize >= 999999", "f:filesize == 1e+06" },
        { "f:title == 'straße i̇stanbul σισυφοσ'", "f:iswfs" },
    };
    for (const QStringList &pair : pairs) {
        const QString forwards = pair.join(" && ");
        const QString backwards = pair.last() + " && " + pair.first();
        QTest::addRow("%s", qPrintable(QString(forwards).replace('\n', "\\n"))) << forwards;
        QTest::addRow("%s", qPrintable(QString(backwards).replace('\n', "\\n"))) << backwards;
    }
}

void tst_CNFEvaluation::readingOrderDoesNotMatter()
{
    QFETCH(QString, query);

    const TraxoFindQuery findQuery(query);
    QVERIFY2(findQuery.isValid(), qPrintable(findQuery.getErrors().value(0).errorMessage()));
    const QHash<QString, QString> expected = firstSolution(unusualTexts(), findQuery.cnf());
    QHash<QString, QString> bindings;
    QCOMPARE(evaluateCNF(unusualTexts(), findQuery.cnf(), bindings), !expected.isEmpty());
    QCOMPARE(describe(bindings), describe(expected));
}

QTEST_GUILESS_MAIN(tst_CNFEvaluation)
#include "tst_cnfevaluation.moc"
