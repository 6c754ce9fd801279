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

#include "query/cnfevaluation.h"
#include "query/traxofindquery.h"

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
    return status;
}
