#include "query/cnfevaluation.h"
#include "query/queryformula.h"
#include "query/queryparser.h"
#include "query/traxofindquery.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace traxo;

namespace {

QString renderOperand(const CNFOperand &operand)
{
    return operand.isVariable() ? operand.variableName() + ':' + operand.variableAttribute() : operand.string();
}

// "and(...)", "or(...)" and literals as "[!]left op right".
QString render(const QueryFormula &formula, int node = 0)
{
    const QueryFormula::Node &n = formula.nodes().at(node);
    if (n.kind == QueryFormula::Kind::Literal) {
        const CNFLiteral &literal = formula.literals().at(n.literal);
        QString text = literal.isNegated() ? QStringLiteral("!") : QString();
        text += renderOperand(literal.left());
        if (literal.isPredicate())
            text += ' ' + literal.op() + ' ' + renderOperand(literal.right());
        return text;
    }
    QStringList parts;
    for (const int child : n.children)
        parts << render(formula, child);
    return (n.kind == QueryFormula::Kind::And ? "and(" : "or(") + parts.join(", ") + ')';
}

using Table = QHash<QString, ReturnValue>;
enum class Truth { Undetermined, True, False };

// The reference: every binding of the variables in order, candidates in
// order, named variables on different candidates, and the first one under
// which no disjunction of the normal form has all its literals false.
class BruteForce
{
public:
    explicit BruteForce(const QList<Summary> &summaries)
    {
        for (const Summary &step : summaries) {
            m_tables << convertStepToHash(step);
            m_names << "workflowstep: " + step.Title;
            for (const FileSummary &file : step.files) {
                m_tables << convertFileToHash(file, step.TagID);
                m_names << "file: " + file.Filename;
            }
        }
    }

    bool matches(const ConjunctiveNormalForm &cnf, QHash<QString, QString> &bindings)
    {
        m_cnf = &cnf;
        m_variables = cnf.variableNames();
        m_assignment.clear();
        bindings.clear();
        if (!search(0))
            return false;
        for (const QString &name : std::as_const(m_variables)) {
            if (!name.startsWith('@'))
                bindings.insert(name, m_names.at(m_assignment.value(name)));
        }
        return true;
    }

private:
    bool search(int next)
    {
        if (next == m_variables.size())
            return holds();
        const QString &name = m_variables.at(next);
        for (int c = 0; c < m_tables.size(); ++c) {
            if (!name.startsWith('@') && isUsed(c))
                continue;
            m_assignment.insert(name, c);
            if (search(next + 1))
                return true;
            m_assignment.remove(name);
        }
        return false;
    }

    bool isUsed(int candidate) const
    {
        for (auto it = m_assignment.cbegin(); it != m_assignment.cend(); ++it) {
            if (!it.key().startsWith('@') && it.value() == candidate)
                return true;
        }
        return false;
    }

    ReturnValue value(const CNFOperand &operand) const
    {
        if (operand.isString())
            return ReturnValue::fromString(operand.string());
        if (!operand.isVariable())
            return ReturnValue(ReturnValueType::InvalidOperand, QString());
        return m_tables.at(m_assignment.value(operand.variableName()))
            .value(operand.variableAttribute().toLower(), ReturnValue(ReturnValueType::MissingAttribute, QString()));
    }

    Truth truth(const CNFLiteral &literal) const
    {
        if (literal.variableNames().isEmpty())
            return Truth::Undetermined;
        bool result = false;
        if (literal.isBoolVariable()) {
            result = value(literal.boolVariable()).toBool();
        } else {
            static const QHash<QString, ReturnValue (*)(const ReturnValue &, const ReturnValue &)> evaluators {
                { "==", evaluateEq }, { "!=", evaluateNEq }, { "<", evaluateLess }, { "<=", evaluateLessEq },
                { ">", evaluateGreater }, { ">=", evaluateGreaterEq }, { "%contains", evaluateContains },
                { "%matches", evaluateMatches }, { "%isapprox", evaluateIsApprox }
            };
            const auto evaluator = evaluators.value(literal.op());
            if (!evaluator)
                return Truth::False;
            const ReturnValue r = evaluator(value(literal.left()), value(literal.right()));
            result = r.isBool() && r.toBool();
        }
        return result != literal.isNegated() ? Truth::True : Truth::False;
    }

    bool holds() const
    {
        for (const CNFDisjunction &disjunction : *m_cnf) {
            if (std::all_of(disjunction.cbegin(), disjunction.cend(),
                    [this](const CNFLiteral &literal) { return truth(literal) == Truth::False; }))
                return false;
        }
        return true;
    }

    QList<Table> m_tables;
    QStringList m_names;
    const ConjunctiveNormalForm *m_cnf = nullptr;
    QStringList m_variables;
    QHash<QString, int> m_assignment;
};

// Small pools, so that comparisons and joins hold often enough to matter.
const QStringList fileNames { "a.pdf", "b.dat", "c.txt" };
const QStringList fileTypes { "pdf", "dat", "txt" };
const QStringList numbers { "0", "1", "2", "500" };

QList<Summary> randomSummaries(QRandomGenerator &rng)
{
    QList<Summary> summaries;
    const int steps = 1 + int(rng.bounded(2));
    int fileId = 0;
    for (int i = 0; i < steps; ++i) {
        Summary step;
        step.TagID = steps - 1 - i;
        step.Title = QStringLiteral("s%1").arg(i);
        step.Tool = rng.bounded(2) ? "conv" : "plot";
        const int files = int(rng.bounded(4));
        for (int j = 0; j < files; ++j) {
            FileSummary file;
            file.TagID = fileId++;
            file.Filename = fileNames.at(int(rng.bounded(3)));
            file.Filetype = fileTypes.at(int(rng.bounded(3)));
            file.Description = fileNames.at(int(rng.bounded(3)));
            file.UncompressedSize = numbers.at(int(rng.bounded(4))).toInt();
            file.FilePurpose = rng.bounded(2) ? "InFile" : "OutFile";
            file.Embedded = rng.bounded(2);
            step.files << file;
        }
        summaries << step;
    }
    return summaries;
}

QString randomVariable(QRandomGenerator &rng)
{
    static const QStringList names { "x", "y", "z", "" };
    return names.at(int(rng.bounded(4)));
}

QString randomAtom(QRandomGenerator &rng)
{
    static const QStringList flags { "iswfs", "isfile", "embedded", "isinfile" };
    static const QStringList texts { "filename", "filetype", "description", "tool" };
    static const QStringList counts { "tagid", "parentid", "filesize" };
    static const QStringList textOps { "==", "!=", "%contains", "%matches" };
    static const QStringList countOps { "==", "<", ">", ">=" };
    static const QStringList words { "pdf", "s1", "conv", "nosuch" };
    const QString v = randomVariable(rng);
    switch (rng.bounded(6)) {
    case 0:
        return v + ':' + flags.at(int(rng.bounded(4)));
    case 1:
        return v + ':' + texts.at(int(rng.bounded(4))) + ' ' + textOps.at(int(rng.bounded(4))) + ' '
            + (rng.bounded(2) ? fileNames : fileTypes).at(int(rng.bounded(3)));
    case 2:
        return v + ':' + counts.at(int(rng.bounded(3))) + ' ' + countOps.at(int(rng.bounded(4))) + ' '
            + numbers.at(int(rng.bounded(4)));
    case 3:
        return v + ':' + texts.at(int(rng.bounded(4))) + " == " + randomVariable(rng) + ':'
            + texts.at(int(rng.bounded(4)));
    case 4:
        return v + ':' + counts.at(int(rng.bounded(3))) + ' ' + countOps.at(int(rng.bounded(4))) + ' '
            + randomVariable(rng) + ':' + counts.at(int(rng.bounded(3)));
    default:
        return words.at(int(rng.bounded(4)));
    }
}

QString randomQuery(QRandomGenerator &rng, int depth)
{
    const quint32 r = rng.bounded(10);
    if (depth >= 3 || r < 4)
        return randomAtom(rng);
    const QString a = randomQuery(rng, depth + 1);
    const QString b = randomQuery(rng, depth + 1);
    switch (r) {
    case 4:
    case 5:
        return '(' + a + " && " + b + ')';
    case 6:
        return '(' + a + ' ' + b + ')';
    case 7:
    case 8:
        return '(' + a + " || " + b + ')';
    default:
        return "!(" + a + " || " + b + ')';
    }
}

QStringList describe(const QHash<QString, QString> &bindings)
{
    QStringList lines;
    for (auto it = bindings.cbegin(); it != bindings.cend(); ++it)
        lines << it.key() + " = " + it.value();
    lines.sort();
    return lines;
}

} // namespace

class tst_QueryFormula : public QObject
{
    Q_OBJECT

private slots:
    void structure_data();
    void structure();
    void agreesWithEveryBinding();
    void hardQueriesAreDecided_data();
    void hardQueriesAreDecided();
};

void tst_QueryFormula::structure_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("formula");

    QTest::addRow("a chain is one node") << "x:iswfs && x:isfile y:iswfs"
                                         << "and(x:iswfs, x:isfile, y:iswfs)";
    QTest::addRow("or binds more tightly than and") << "x:iswfs && y:isfile || y:iswfs"
                                                    << "and(x:iswfs, or(y:isfile, y:iswfs))";
    QTest::addRow("negation reaches the literals") << "!(x:iswfs && !(y:isfile || y:iswfs))"
                                                   << "and(or(!x:iswfs, y:isfile, y:iswfs))";
    QTest::addRow("double negation cancels") << "!!x:iswfs"
                                             << "and(x:iswfs)";
    QTest::addRow("a word searches any attribute") << "w"
                                                   << "and(@unnamed-1:any %contains w)";
}

void tst_QueryFormula::structure()
{
    QFETCH(QString, query);
    QFETCH(QString, formula);
    QList<QueryError> errors;
    QCOMPARE(render(QueryFormula::fromTree(parseQuery(query, errors))), formula);
}

// Thousands of random small queries over random small containers: the
// search over the formula and over the normal form must each find what
// trying every binding finds, and report the same first solution.
void tst_QueryFormula::agreesWithEveryBinding()
{
    QRandomGenerator rng(20261209);
    int checked = 0;
    int matched = 0;
    for (int i = 0; i < 3000; ++i) {
        const QList<Summary> summaries = randomSummaries(rng);
        const QString text = randomQuery(rng, 0);
        const TraxoFindQuery query(text);
        if (!query.isValid() || query.formula().variableNames().size() > 4)
            continue;
        ++checked;
        QHash<QString, QString> expected;
        const bool expectedMatch = BruteForce(summaries).matches(query.cnf(), expected);
        matched += expectedMatch;

        QHash<QString, QString> found;
        bool gaveUp = true;
        QVERIFY2(query.matches(summaries, &found, &gaveUp) == expectedMatch, qPrintable(text));
        QVERIFY(!gaveUp);
        QVERIFY2(describe(found) == describe(expected), qPrintable(text));

        QHash<QString, QString> viaCNF;
        QVERIFY2(evaluateCNF(summaries, query.cnf(), viaCNF) == expectedMatch, qPrintable(text));
        QVERIFY2(describe(viaCNF) == describe(expected), qPrintable(text));
    }
    // Enough of both answers for the comparison to mean something.
    QVERIFY(checked > 2000);
    QVERIFY(matched > checked / 5 && matched < checked * 4 / 5);
}

// Queries that a search binding every pair, a normal form or a syntax tree
// as deep as the query is long could not decide.
void tst_QueryFormula::hardQueriesAreDecided_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("bindings");

    QTest::addRow("a join of three files")
        << "x:isfile && y:isfile && z:isfile && x:description == z:filename"
        << QStringList { "x = file: f70.dat", "y = file: f0.dat", "z = file: f30.dat" };
    QStringList alternatives;
    for (int i = 0; i < 10; ++i)
        alternatives << QStringLiteral("(f:filetype == t%1 && f:filesize > 1)").arg(9 - i);
    QTest::addRow("ten alternatives of two tests") << alternatives.join(" || ") << QStringList { "f = file: f2.dat" };
    QTest::addRow("5000 words without a bracket") << QStringLiteral("dat && ").repeated(4999) + "f99" << QStringList();
}

void tst_QueryFormula::hardQueriesAreDecided()
{
    QFETCH(QString, query);
    QFETCH(QStringList, bindings);

    // One step of 100 files; only f70's description names another file.
    Summary step;
    step.Title = "big";
    for (int i = 0; i < 100; ++i) {
        FileSummary file;
        file.TagID = i;
        file.Filename = QStringLiteral("f%1.dat").arg(i);
        file.Filetype = QStringLiteral("t%1").arg(i % 10);
        file.Description = i == 70 ? QStringLiteral("f30.dat") : QStringLiteral("none");
        file.UncompressedSize = i;
        step.files << file;
    }
    const TraxoFindQuery findQuery(query);
    QVERIFY2(findQuery.isValid(), qPrintable(findQuery.getErrors().value(0).errorMessage()));
    QHash<QString, QString> found;
    bool gaveUp = true;
    QVERIFY(findQuery.matches({ step }, &found, &gaveUp));
    QVERIFY(!gaveUp);
    QCOMPARE(describe(found), bindings);
}

QTEST_GUILESS_MAIN(tst_QueryFormula)
#include "tst_queryformula.moc"
