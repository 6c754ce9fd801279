// Times TraxoFindQuery::matches over the summaries of a container of 200
// steps with 10 files each (2200 candidates): a free word found only in the
// last file, a one-variable query met only by the last file, and the join
// "x:tagid == y:parentid y:filename %matches *.dat z:iswfs" whose *.dat files
// lie in the middle step, so the search binds x to about a hundred
// candidates and tries every candidate for y each time. Each call includes
// building the attribute tables of all candidates, as the finder pays it per
// container.
//
// The peer is grep -ci over the same attribute texts written one candidate
// per line: the cost of one plain scan of everything the query can see
// (process start included). TRAXO_BENCH_QUERY_STEPS sets the number of steps
// (default 200), TRAXO_BENCH_QUERY_REPEAT the calls per query (default 5).
//
// Then the queries that need more than a plain scan, each with its goal:
// - the join "x:isfile && y:isfile && z:isfile && x:description ==
//   z:filename" over one step of 100 and of 1000 files with one solution
//   (goals 5 ms and 50 ms), beside the plain search that binds the
//   variables in order and cuts only a disjunction of the normal form that
//   has become false, as the search did before the join index (given 3 s);
// - twelve alternatives of two tests, "(f:filetype == tN && f:filesize > 1)
//   || ...", over the 2200 candidates (goal 50 ms; its normal form would
//   have 4096 disjunctions);
// - a conjunction of 5000 free words, parsed and evaluated (goal 1 s), beside
//   grep -ci -F with the same 5000 words over the candidates' text.

#include "query/cnfevaluation.h"
#include "query/traxofindquery.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace traxo;

namespace {

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// Oldest step first, as the summary creator lists them; step i has the section
// id steps-1-i and its files the running file ids from 10*i.
QList<Summary> makeSummaries(int steps)
{
    QList<Summary> summaries;
    for (int i = 0; i < steps; ++i) {
        Summary step;
        step.TagID = steps - 1 - i;
        step.Title = QStringLiteral("step %1").arg(i);
        step.Tool = QStringLiteral("tool%1").arg(i % 7);
        step.Timestamp = QStringLiteral("2010-01-05 13:%1").arg(i % 60);
        step.Command = QStringLiteral("tool%1 --input in%2 --output out%2").arg(i % 7).arg(i);
        step.userAttributeKeys = QStringList { QStringLiteral("Lab") };
        step.userAttributeValues.insert(QStringLiteral("Lab"), QStringLiteral("lab %1").arg(i % 3));
        for (int j = 0; j < 10; ++j) {
            FileSummary file;
            file.TagID = 10 * i + j;
            const bool middle = i == steps / 2;
            file.Filename = QStringLiteral("file_%1_%2.%3").arg(i).arg(j).arg(middle ? "dat" : "txt");
            file.Filetype = middle ? QStringLiteral("dat") : QStringLiteral("txt");
            file.Filepath = QStringLiteral("/data/run%1").arg(i);
            file.Description = QStringLiteral("file %1 of step %2").arg(j).arg(i);
            file.UncompressedSize = 1000 + j;
            file.UncompressedMD5 = QStringLiteral("%1").arg(i * 10 + j, 32, 16, QLatin1Char('0'));
            file.FilePurpose = j < 5 ? QStringLiteral("InFile") : QStringLiteral("OutFile");
            file.Embedded = true;
            file.CompressedMethod = QStringLiteral("flate");
            step.files << file;
        }
        summaries << step;
    }
    FileSummary &last = summaries.last().files.last();
    last.Description = QStringLiteral("the needle");
    last.Filetype = QStringLiteral("log");
    last.UncompressedSize = 5000;
    return summaries;
}

double grepSeconds(const QString &path, const QString &word, int repeat)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i) {
        QProcess grep;
        grep.start(QStringLiteral("grep"), { QStringLiteral("-ci"), word, path });
        if (!grep.waitForFinished(60000))
            return -1;
    }
    return timer.nsecsElapsed() / 1e9 / repeat;
}

// The search as it was before the join index: variables bound in order to
// the candidates in order, a branch cut only when a disjunction of the
// normal form has all its literals false. Returns 1 on a match, 0 on none,
// -1 when it did not finish in time.
class PlainSearch
{
public:
    PlainSearch(const QList<Summary> &summaries, const ConjunctiveNormalForm &cnf)
        : m_cnf(cnf)
        , m_variables(cnf.variableNames())
    {
        for (const Summary &step : summaries) {
            m_tables << convertStepToHash(step);
            for (const FileSummary &file : step.files)
                m_tables << convertFileToHash(file, step.TagID);
        }
    }

    int run(int milliseconds)
    {
        m_deadline = QDeadlineTimer(milliseconds);
        m_assignment.assign(size_t(m_variables.size()), -1);
        m_used.assign(size_t(m_tables.size()), false);
        const bool found = search(0);
        return m_timedOut ? -1 : int(found);
    }

private:
    ReturnValue value(const CNFOperand &operand) const
    {
        if (operand.isString())
            return ReturnValue::fromString(operand.string());
        const int candidate = m_assignment[size_t(m_variables.indexOf(operand.variableName()))];
        if (candidate < 0)
            return ReturnValue(ReturnValueType::UnassignedVariable, QString());
        return m_tables.at(candidate).value(
            operand.variableAttribute().toLower(), ReturnValue(ReturnValueType::MissingAttribute, QString()));
    }

    // False only when the literal is determined and false.
    bool mayHold(const CNFLiteral &literal) const
    {
        const ReturnValue left = value(literal.left());
        const ReturnValue right = literal.isPredicate() ? value(literal.right()) : ReturnValue::fromBool(true);
        if (left.isUnassignedVariable() || right.isUnassignedVariable())
            return true;
        ReturnValue result = left;
        if (literal.op() == QLatin1String("=="))
            result = evaluateEq(left, right);
        return (result.isBool() && result.toBool()) != literal.isNegated();
    }

    bool search(int next)
    {
        if (next == m_variables.size())
            return true;
        for (int c = 0; c < m_tables.size(); ++c) {
            if (m_used[size_t(c)])
                continue;
            if ((c & 63) == 0 && m_deadline.hasExpired()) {
                m_timedOut = true;
                return false;
            }
            m_assignment[size_t(next)] = c;
            m_used[size_t(c)] = true;
            const bool ok = std::all_of(m_cnf.cbegin(), m_cnf.cend(), [this](const CNFDisjunction &d) {
                return std::any_of(d.cbegin(), d.cend(), [this](const CNFLiteral &l) { return mayHold(l); });
            });
            if (ok && search(next + 1))
                return true;
            m_used[size_t(c)] = false;
            m_assignment[size_t(next)] = -1;
            if (m_timedOut)
                return false;
        }
        return false;
    }

    const ConjunctiveNormalForm &m_cnf;
    QStringList m_variables;
    QList<QHash<QString, ReturnValue>> m_tables;
    std::vector<int> m_assignment;
    std::vector<bool> m_used;
    QDeadlineTimer m_deadline;
    bool m_timedOut = false;
};

// One step of n files; only the file n*7/10 has a description naming another
// file (the one at n*3/10).
QList<Summary> joinSummaries(int n)
{
    Summary step;
    step.Title = QStringLiteral("big");
    for (int i = 0; i < n; ++i) {
        FileSummary file;
        file.TagID = i;
        file.Filename = QStringLiteral("f%1.dat").arg(i);
        file.Description = i == n * 7 / 10 ? QStringLiteral("f%1.dat").arg(n * 3 / 10) : QStringLiteral("none");
        step.files << file;
    }
    return { step };
}

template<typename Call>
double secondsPerCall(int repeat, Call call)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i)
        call();
    return timer.nsecsElapsed() / 1e9 / repeat;
}

int reportGoal(const char *label, double seconds, double goalSeconds, const QString &peer)
{
    const bool met = seconds <= goalSeconds;
    std::printf("%-34s %10.2f ms  goal %6.0f ms  %-4s  %s\n", label, seconds * 1e3, goalSeconds * 1e3,
        met ? "ok" : "MISS", qPrintable(peer));
    return met ? 0 : 1;
}

} // namespace

int main()
{
    const int steps = envInt("TRAXO_BENCH_QUERY_STEPS", 200);
    const int repeat = envInt("TRAXO_BENCH_QUERY_REPEAT", 5);
    const QList<Summary> summaries = makeSummaries(steps);
    const int candidates = steps * 11;

    QTemporaryDir dir;
    const QString dump = dir.filePath(QStringLiteral("candidates.txt"));
    {
        QFile file(dump);
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(dump));
            return 1;
        }
        for (const Summary &summary : summaries) {
            file.write(
                convertStepToHash(summary).value(QStringLiteral("any")).value().replace('\n', '\t').toUtf8() + '\n');
            for (const FileSummary &f : summary.files)
                file.write(convertFileToHash(f, summary.TagID)
                               .value(QStringLiteral("any"))
                               .value()
                               .replace('\n', '\t')
                               .toUtf8()
                    + '\n');
        }
    }
    const double grep = grepSeconds(dump, QStringLiteral("needle"), repeat);

    struct Case
    {
        const char *label;
        QString query;
        QString variable; // a variable of the first solution and its binding
        QString expected;
    };
    const QList<Case> cases {
        { "free word", QStringLiteral("needle"), QString(), QString() },
        { "one variable", QStringLiteral("f:filetype == log && f:filesize > 4000"), QStringLiteral("f"),
            QStringLiteral("file: file_%1_9.txt").arg(steps - 1) },
        { "three-variable join", QStringLiteral("x:tagid == y:parentid y:filename %matches *.dat z:iswfs"),
            QStringLiteral("y"), QStringLiteral("file: file_%1_0.dat").arg(steps / 2) },
    };

    std::printf("%d steps, %d candidates, %d calls per query; peer: grep -ci over the candidates' text "
                "(%.2f ms)\n",
        steps, candidates, repeat, grep * 1e3);
    std::printf("%-22s %12s %16s %12s\n", "query", "ms per call", "candidates/s", "vs grep");
    int status = 0;
    for (const Case &c : cases) {
        const TraxoFindQuery query(c.query);
        if (!query.isValid()) {
            std::fprintf(stderr, "query rejected: %s\n", qPrintable(c.query));
            return 1;
        }
        QHash<QString, QString> bindings;
        QElapsedTimer timer;
        timer.start();
        bool matched = true;
        for (int i = 0; i < repeat; ++i)
            matched = query.matches(summaries, &bindings) && matched;
        const double seconds = timer.nsecsElapsed() / 1e9 / repeat;
        if (!matched || bindings.value(c.variable) != c.expected) {
            std::fprintf(stderr, "%s: unexpected result\n", c.label);
            status = 1;
        }
        std::printf("%-22s %12.2f %16.0f %11.1fx\n", c.label, seconds * 1e3, candidates / seconds,
            grep > 0 ? seconds / grep : 0.0);
    }

    std::printf("\n%-34s %13s  %12s  %-4s  %s\n", "query", "new", "", "", "peer");
    const QString joinQuery = QStringLiteral("x:isfile && y:isfile && z:isfile && x:description == z:filename");
    const TraxoFindQuery join(joinQuery);
    for (const int files : { 100, 1000 }) {
        const QList<Summary> data = joinSummaries(files);
        QHash<QString, QString> bindings;
        bool matched = false;
        const double seconds = secondsPerCall(repeat, [&]() { matched = join.matches(data, &bindings); });
        if (!matched || bindings.value(QStringLiteral("z")) != QStringLiteral("file: f%1.dat").arg(files * 3 / 10)) {
            std::fprintf(stderr, "join over %d files: unexpected result\n", files);
            status = 1;
        }
        QElapsedTimer timer;
        timer.start();
        const int plain = PlainSearch(data, join.cnf()).run(3000);
        const double plainSeconds = timer.nsecsElapsed() / 1e9;
        const QString peer = plain < 0
            ? QStringLiteral("plain search: not done after %1 ms").arg(plainSeconds * 1e3, 0, 'f', 0)
            : QStringLiteral("plain search: %1 ms, %2x")
                  .arg(plainSeconds * 1e3, 0, 'f', 1)
                  .arg(plainSeconds / seconds, 0, 'f', 0);
        const QByteArray label = QStringLiteral("three-variable join, %1 files").arg(files).toUtf8();
        status |= reportGoal(label.constData(), seconds, files == 100 ? 0.005 : 0.05, peer);
    }

    QStringList alternatives;
    for (int i = 0; i < 12; ++i)
        alternatives << QStringLiteral("(f:filetype == t%1 && f:filesize > 1)").arg(i);
    alternatives << QStringLiteral("(f:filetype == log && f:filesize > 4000)");
    const TraxoFindQuery twelve(alternatives.join(QStringLiteral(" || ")));
    QHash<QString, QString> bindings;
    bool matched = false;
    const double twelveSeconds = secondsPerCall(repeat, [&]() { matched = twelve.matches(summaries, &bindings); });
    if (!twelve.isValid() || !matched
        || bindings.value(QStringLiteral("f")) != QStringLiteral("file: file_%1_9.txt").arg(steps - 1)) {
        std::fprintf(stderr, "twelve alternatives: unexpected result\n");
        status = 1;
    }
    status |= reportGoal("twelve alternatives, 2 tests each", twelveSeconds, 0.05,
        QStringLiteral("normal form: %1").arg(twelve.cnf().isEmpty() ? "too large" : "built"));

    // Words every candidate holds, and one only the last file holds.
    QStringList words;
    for (int i = 0; i < 4999; ++i)
        words << QStringLiteral("file");
    words << QStringLiteral("needle");
    const QString wordsFile = dir.filePath(QStringLiteral("words.txt"));
    QFile list(wordsFile);
    if (!list.open(QIODevice::WriteOnly) || list.write(words.join('\n').toUtf8() + '\n') < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(wordsFile));
        return 1;
    }
    list.close();
    const double grepWords = grepSeconds(dump, QStringLiteral("-f") + wordsFile, repeat);
    matched = false;
    const double wordsSeconds = secondsPerCall(repeat, [&]() {
        const TraxoFindQuery conjunction(words.join(QStringLiteral(" && ")));
        matched = conjunction.isValid() && conjunction.matches(summaries);
    });
    if (!matched) {
        std::fprintf(stderr, "5000 words: unexpected result\n");
        status = 1;
    }
    status |= reportGoal("5000 free words joined by &&", wordsSeconds, 1.0,
        QStringLiteral("grep -ci -f 5000 words: %1 ms, %2x")
            .arg(grepWords * 1e3, 0, 'f', 1)
            .arg(wordsSeconds / grepWords, 0, 'f', 1));
    return status;
}
