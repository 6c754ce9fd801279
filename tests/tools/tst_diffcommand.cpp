#include "argfile/libraryinfo.h"
#include "summary/summary.h"
#include "summary/summarywriter.h"

#include "containerbuilder.h"
#include "testcommon.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runTraxo(const QStringList &arguments)
{
    QProcess process;
    process.start(traxo::getBinaryDir() + QStringLiteral("/traxo"), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A container with one step per title, oldest first; "Title=text" gives the
// step a description.
bool writeHistory(const QString &path, const QStringList &steps)
{
    QList<testcommon::ContainerSection> sections;
    for (const QString &step : steps) {
        traxo::Summary summary;
        summary.Title = step.section(QLatin1Char('='), 0, 0);
        summary.Description = step.section(QLatin1Char('='), 1);
        summary.Tool = QStringLiteral("fitter");
        sections.append(
            testcommon::containerSection(summary.Title, {}, traxo::SummaryWriter::writeSummaryUtf8(summary)));
    }
    return testcommon::buildContainer(path, sections);
}

} // namespace

class tst_DiffCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatusTellsEqualDifferentOrTrouble_data();
    void exitStatusTellsEqualDifferentOrTrouble();
    void jsonListsPairsAndUnmatchedSteps();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_DiffCommand::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeHistory(path("a.traxo"), { "Scan=first run", "Fit=gauss" }));
    QVERIFY(writeHistory(path("b.traxo"), { "Scan=second run", "Fit=gauss", "Plot" }));
    QVERIFY(testcommon::writeFile(path("text.txt"), "no container\n"));
}

void tst_DiffCommand::exitStatusTellsEqualDifferentOrTrouble_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    QTest::addRow("same history") << QStringList { "a.traxo", "a.traxo" } << 0 << "2 same, 0 changed";
    QTest::addRow("changed description and a new step")
        << QStringList { "a.traxo", "b.traxo" } << 1
        << "+ Plot [-/0]\n  Fit [0/1]\n~ Scan [1/2]\n    Description: \"first run\" -> \"second run\"\n";
    QTest::addRow("not a container") << QStringList { "a.traxo", "text.txt" } << 2 << "text.txt";
    QTest::addRow("one file only") << QStringList { "a.traxo" } << 2 << "two files";
}

void tst_DiffCommand::exitStatusTellsEqualDifferentOrTrouble()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    QStringList paths;
    for (const QString &argument : arguments)
        paths.append(path(argument));
    const Run run = runTraxo(QStringList { "diff" } + paths);
    QCOMPARE(run.exitCode, exitCode);
    // Results go to standard output, trouble to standard error only.
    QVERIFY2((exitCode == 2 ? run.err : run.out).contains(output), qPrintable(run.out + run.err));
    QCOMPARE(run.out.isEmpty(), exitCode == 2);
}

void tst_DiffCommand::jsonListsPairsAndUnmatchedSteps()
{
    const Run run = runTraxo({ "diff", "--json", path("a.traxo"), path("b.traxo") });
    QCOMPARE(run.exitCode, 1);
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(json.value("equal").toBool(true), false);
    // The description change (20) and the new step (15).
    QCOMPARE(json.value("costs").toDouble(), 35.0);
    QCOMPARE(json.value("pairs").toArray().size(), 2);
    QCOMPARE(json.value("added").toArray().first().toObject().value("title").toString(), QStringLiteral("Plot"));
    QVERIFY(json.value("removed").toArray().isEmpty());
}

QTEST_GUILESS_MAIN(tst_DiffCommand)
#include "tst_diffcommand.moc"
