#include "frame/utilities.h"
#include "runner/traxoaddrunner.h"
#include "runner/traxoaddthread.h"
#include "shared/paths.h"
#include "testcommon.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestTraxoaddThread : public QObject
{
    Q_OBJECT

private slots:
    void parseOutput_data();
    void parseOutput();
    void locateScript_data();
    void locateScript();
    void missingScriptIsReportedInRed();
    void exampleRunWritesContainerAndExitCode();
    void lineSplitAcrossChunksIsStillRed();
    void secondRequestWhileRunningDoesNothing();
    void destroyingRunnerKillsTheJob();

private:
    // Output of one job of the runner, which is waited for.
    QString runJob(TraxoaddRunner &runner, const QString &argfile, const QString &cwd);
};

namespace {

const QString nl = QStringLiteral("<br />");
const QString indent = QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;");

bool writeScript(const QString &dir, const QByteArray &body)
{
    return testcommon::writeFile(dir + QStringLiteral("/traxoadd.py"), body);
}

bool processAlive(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

} // namespace

void TestTraxoaddThread::parseOutput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");

    QTest::addRow("error line red") << "***ERROR no such file\n" << makeRed("***ERROR no such file") + nl;
    QTest::addRow("warning line orange, prefix kept") << "***WARNING empty title\n"
                                                      << makeOrange("***WARNING empty title") + nl;
    QTest::addRow("four blanks indented once") << "    input a.csv\n" << indent + escapeHtml("    input a.csv") + nl;
    QTest::addRow("eight blanks indented twice") << "        md5 0f\n"
                                                 << indent + indent + escapeHtml("        md5 0f") + nl;
    QTest::addRow("plain line is text, not markup") << "a <b>x</b> & y\n" << escapeHtml("a <b>x</b> & y") + nl;
    QTest::addRow("final line without line end still shown") << "one\ntwo"
                                                             << "one" + nl + "two" + nl;
    QTest::addRow("crlf is one line end") << "one\r\ntwo\r\n"
                                          << "one" + nl + "two" + nl;
    QTest::addRow("lone carriage return ends a line") << "one\rtwo"
                                                      << "one" + nl + "two" + nl;
    QTest::addRow("empty line inside kept") << "one\n\ntwo\n"
                                            << "one" + nl + nl + "two" + nl;
    QTest::addRow("empty text adds nothing") << ""
                                             << "";
    QTest::addRow("error not at line start stays plain") << " ***ERROR x\n" << escapeHtml(" ***ERROR x") + nl;
}

void TestTraxoaddThread::parseOutput()
{
    QFETCH(QString, text);
    QFETCH(QString, html);
    QCOMPARE(TraxoaddThread::parseOutput(text), html);
}

void TestTraxoaddThread::locateScript_data()
{
    QTest::addColumn<bool>("inSourceTree");
    QTest::addColumn<bool>("inApplicationDir");
    QTest::addColumn<QString>("expected");

    QTest::addRow("source tree wins") << true << true << "traxo-src/bin/traxoadd.py";
    QTest::addRow("application directory") << false << true << "app/traxoadd.py";
    QTest::addRow("neither") << false << false << "";
}

void TestTraxoaddThread::locateScript()
{
    QFETCH(bool, inSourceTree);
    QFETCH(bool, inApplicationDir);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir dir(root.path());
    QVERIFY(dir.mkpath(QStringLiteral("bin")) && dir.mkpath(QStringLiteral("traxo-src/bin"))
        && dir.mkpath(QStringLiteral("app")));
    if (inSourceTree)
        QVERIFY(writeScript(dir.filePath(QStringLiteral("traxo-src/bin")), "pass\n"));
    if (inApplicationDir)
        QVERIFY(writeScript(dir.filePath(QStringLiteral("app")), "pass\n"));

    const QString found
        = TraxoaddThread::locateScript(dir.filePath(QStringLiteral("bin")), dir.filePath(QStringLiteral("app")));
    QCOMPARE(found, expected.isEmpty() ? QString() : QDir::cleanPath(dir.filePath(expected)));
}

QString TestTraxoaddThread::runJob(TraxoaddRunner &runner, const QString &argfile, const QString &cwd)
{
    QString last;
    QObject context;
    connect(&runner, &TraxoaddRunner::outputUpdated, &context, [&last](const QString &html) { last = html; });
    QSignalSpy finished(&runner, &TraxoaddRunner::traxoaddFinished);
    runner.runTraxoadd(argfile, cwd);
    if (!finished.wait(60000))
        return QStringLiteral("job did not finish");
    QCoreApplication::processEvents();
    return last;
}

void TestTraxoaddThread::missingScriptIsReportedInRed()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    TraxoaddRunner runner;
    runner.thread().setScriptDirectories(empty.path(), empty.path());
    const QString output = runJob(runner, QStringLiteral("nothing.vcmd"), empty.path());
    QCOMPARE(output, makeRed(QStringLiteral("could not find any traxoadd executable")));
}

void TestTraxoaddThread::exampleRunWritesContainerAndExitCode()
{
    const QString examples = getExamplesDir();
    QVERIFY2(QFileInfo::exists(examples + QStringLiteral("/01-calibration.vcmd")), qPrintable(examples));
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QVERIFY(copyDirectory(examples, work.path()));
    QFile::remove(work.filePath(QStringLiteral("calibration.traxo")));

    TraxoaddRunner runner;
    const QString output = runJob(runner, work.filePath(QStringLiteral("01-calibration.vcmd")), work.path());
    QVERIFY2(output.contains(makeBold(QStringLiteral("Setting working directory to \"%1\"...\n").arg(work.path()))),
        qPrintable(output));
    QVERIFY2(output.contains(makeBold(QStringLiteral("running traxoadd...\n"))), qPrintable(output));
    QVERIFY2(output.endsWith(makeBold(QStringLiteral("Programm exited with error code: 0\n"))), qPrintable(output));
    QVERIFY(!output.contains(QStringLiteral("#EB0014")));
    QVERIFY(QFileInfo(work.filePath(QStringLiteral("calibration.traxo"))).size() > 0);

    // A working directory that is not there is named, and nothing runs.
    const QString gone = work.filePath(QStringLiteral("no such folder"));
    const QString noCwd = runJob(runner, work.filePath(QStringLiteral("01-calibration.vcmd")), gone);
    QVERIFY2(noCwd.endsWith(makeRed(QStringLiteral("The working directory \"%1\" does not exist or is not a "
                                                   "directory; traxoadd was not started.\n")
                                        .arg(gone))),
        qPrintable(noCwd));
    QVERIFY(!noCwd.contains(QStringLiteral("errorcode")));

    // An arg-file that does not exist makes the tool fail: the exit code says so.
    const QString failed = runJob(runner, work.filePath(QStringLiteral("missing.vcmd")), work.path());
    QVERIFY2(failed.contains(QStringLiteral("#EB0014")), qPrintable(failed));
    QVERIFY2(!failed.endsWith(makeBold(QStringLiteral("Programm exited with error code: 0\n"))), qPrintable(failed));
}

void TestTraxoaddThread::lineSplitAcrossChunksIsStillRed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeScript(dir.path(),
        "import sys, time\n"
        "sys.stdout.write('***ERR'); sys.stdout.flush(); time.sleep(0.5)\n"
        "sys.stdout.write('OR broken\\nlast words'); sys.stdout.flush()\n"
        "sys.exit(3)\n"));
    TraxoaddRunner runner;
    runner.thread().setScriptDirectories(dir.path(), dir.path());
    const QString output = runJob(runner, QStringLiteral("x.vcmd"), dir.path());
    QVERIFY2(output.contains(makeRed(QStringLiteral("***ERROR broken")) + nl), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("last words") + nl), qPrintable(output));
    QVERIFY2(output.endsWith(makeBold(QStringLiteral("Programm exited with error code: 3\n"))), qPrintable(output));
}

void TestTraxoaddThread::secondRequestWhileRunningDoesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeScript(dir.path(), "import sys, time\nprint(sys.argv[2], flush=True)\ntime.sleep(1)\n"));
    TraxoaddRunner runner;
    runner.thread().setScriptDirectories(dir.path(), dir.path());
    QSignalSpy finished(&runner, &TraxoaddRunner::traxoaddFinished);
    runner.runTraxoadd(QStringLiteral("first.vcmd"), dir.path());
    QVERIFY(runner.isRunning());
    runner.runTraxoadd(QStringLiteral("second.vcmd"), dir.path());
    QCOMPARE(runner.thread().argfile(), QStringLiteral("first.vcmd"));
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
}

void TestTraxoaddThread::destroyingRunnerKillsTheJob()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeScript(dir.path(),
        "import os, time\nopen('pid.txt', 'w').write(str(os.getpid()))\nprint('waiting', flush=True)\n"
        "time.sleep(60)\n"));
    const QString pidFile = dir.filePath(QStringLiteral("pid.txt"));
    qint64 pid = 0;
    {
        TraxoaddRunner runner;
        runner.thread().setScriptDirectories(dir.path(), dir.path());
        runner.runTraxoadd(QStringLiteral("x.vcmd"), dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, 20000);
        pid = testcommon::readFile(pidFile).toLongLong();
        QVERIFY(processAlive(pid));
    }
    QVERIFY(!processAlive(pid));
}

QTEST_MAIN(TestTraxoaddThread)
#include "tst_traxoaddthread.moc"
