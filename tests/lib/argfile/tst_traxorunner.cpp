#include "argfile/libraryinfo.h"
#include "argfile/traxorunner.h"

#include "testcommon.h"

#include <QtTest>

using namespace traxo;

namespace {

class LogCollector : public QObject
{
    Q_OBJECT
public:
    QStringList messages;
    QList<int> levels;
public slots:
    void log(const QString &message, int level)
    {
        messages << message;
        levels << level;
    }
};

// A runner whose search path leads from the binary directory into a
// temporary folder holding a stand-in tool.
template<class Runner>
struct FakeTool
{
    QTemporaryDir dir;
    Runner runner;
    LogCollector collector;

    bool install(const QString &name, const QByteArray &script, bool executable = false)
    {
        const QString path = dir.filePath(name);
        if (!testcommon::writeFile(path, script))
            return false;
        if (executable)
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        runner.setSearchPaths({ "does-not-exist", QDir(getBinaryDir()).relativeFilePath(dir.path()) });
        runner.publishToLogSlot(&collector);
        return true;
    }
};

} // namespace

class tst_TraxoRunner : public QObject
{
    Q_OBJECT

private slots:
    void versionTexts();
    void directories();
    void executableNameFollowsPy2Exe();
    void missingExecutable_data();
    void missingExecutable();
    void lineSplitting_data();
    void lineSplitting();
    void levelsByPrefix_data();
    void levelsByPrefix();
    void traxoaddGetsTheArgfileOnStandardInput();
    void traxodelGetsItsArgumentOnTheCommandLine();
    void directExecutableWithPy2Exe();
    void crashIsNoSuccess();
    void executableThatCannotStart();
};

void tst_TraxoRunner::versionTexts()
{
    QCOMPARE(getVersion(), QString("traxolib 1.83.0.2990 of Jun 21 2013"));
    QCOMPARE(getReleaseData(), QString("Jun 21 2013"));
}

void tst_TraxoRunner::directories()
{
    const QString binaryDir = getBinaryDir();
    QVERIFY(QFileInfo(binaryDir).isDir());
    QCOMPARE(binaryDir, QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath());
    QCOMPARE(getApplicationDir(), binaryDir); // the tests are no application bundle
}

void tst_TraxoRunner::executableNameFollowsPy2Exe()
{
    TraxoaddRunner add;
    QCOMPARE(add.executableName(), QString("traxoadd.py"));
    QCOMPARE(add.searchPaths(), QStringList { "." });
    QCOMPARE(add.findPython(), QString("python"));
    add.setUsePy2Exe(true);
    QVERIFY(add.usePy2Exe());
    QCOMPARE(add.executableName(), QString("traxoadd.exe"));
    add.setUsePy2Exe(false);
    QCOMPARE(add.executableName(), QString("traxoadd.py"));
    QCOMPARE(TraxodelRunner().executableName(), QString("traxodel.py"));
}

void tst_TraxoRunner::missingExecutable_data()
{
    QTest::addColumn<bool>("traxodel");
    QTest::addRow("traxoadd") << false;
    QTest::addRow("traxodel") << true;
}

void tst_TraxoRunner::missingExecutable()
{
    QFETCH(bool, traxodel);
    LogCollector collector;
    TraxoaddRunner add(&collector);
    TraxodelRunner del(&collector);
    add.setSearchPaths({ "no/such/dir" });
    del.setSearchPaths({ "no/such/dir" });
    QSignalSpy intercepts(traxodel ? static_cast<TraxoRunner *>(&del) : &add, &TraxoRunner::intercept);
    const int code = traxodel ? del.runProcess("x.traxo") : add.runProcess("-s title T");
    QCOMPARE(code, -1000);
    const QString tool = traxodel ? "traxodel" : "traxoadd";
    QCOMPARE(collector.messages, QStringList { "could not find any " + tool + " executable\n" });
    QCOMPARE(collector.levels, QList<int> { 2 });
    QCOMPARE(intercepts.count(), 0);
}

void tst_TraxoRunner::lineSplitting_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("lines");

    QTest::addRow("line split across chunks")
        << QStringList { "first ha", "lf\nsecond\n" } << QStringList { "first half\n", "second\n" };
    QTest::addRow("last line without line end is logged at the end")
        << QStringList { "a\nb" } << QStringList { "a\n", "b\n" };
    QTest::addRow("carriage return and line feed are one line end")
        << QStringList { "a\r\nb\r\n" } << QStringList { "a\n", "b\n" };
    QTest::addRow("carriage return and line feed split between chunks")
        << QStringList { "a\r", "\nb\r", "\n" } << QStringList { "a\n", "b\n" };
    QTest::addRow("lone carriage return ends a line")
        << QStringList { "50%\r100%\r", "done" } << QStringList { "50%\n", "100%\n", "done\n" };
    QTest::addRow("empty lines are kept") << QStringList { "a\n\n\nb\n" } << QStringList { "a\n", "\n", "\n", "b\n" };
    QTest::addRow("nothing at all") << QStringList { "" } << QStringList();
}

void tst_TraxoRunner::lineSplitting()
{
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, lines);
    LogCollector collector;
    TraxoRunner runner("traxoadd", &collector);
    for (const QString &chunk : chunks)
        runner.processOutput(chunk, false);
    runner.processOutput(QString(), true);
    QCOMPARE(collector.messages, lines);

    // Nothing is left over for a second run.
    collector.messages.clear();
    runner.processOutput(QString(), true);
    QVERIFY(collector.messages.isEmpty());
}

void tst_TraxoRunner::levelsByPrefix_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("level");

    QTest::addRow("error prefix removed") << "***ERROR: disk full\n"
                                          << ": disk full\n"
                                          << 2;
    QTest::addRow("warning prefix removed") << "***WARNING file missing\n"
                                            << " file missing\n"
                                            << 1;
    QTest::addRow("plain line unchanged") << "writing section\n"
                                          << "writing section\n"
                                          << 0;
    QTest::addRow("prefix only at the start") << "  ***ERROR\n"
                                              << "  ***ERROR\n"
                                              << 0;
    QTest::addRow("spaced error is no error") << "*** ERROR: x\n"
                                              << "*** ERROR: x\n"
                                              << 0;
}

void tst_TraxoRunner::levelsByPrefix()
{
    QFETCH(QString, line);
    QFETCH(QString, message);
    QFETCH(int, level);
    LogCollector collector;
    TraxoRunner runner("traxoadd", &collector);
    runner.processOutputLine(line);
    QCOMPARE(collector.messages, QStringList { message });
    QCOMPARE(collector.levels, QList<int> { level });
}

void tst_TraxoRunner::traxoaddGetsTheArgfileOnStandardInput()
{
    FakeTool<TraxoaddRunner> tool;
    QVERIFY(tool.install("traxoadd.py",
        "import sys\n"
        "print('args=' + ' '.join(sys.argv[1:]))\n"
        "sys.stdout.flush()\n"
        "for line in sys.stdin.read().splitlines():\n"
        "    print(line)\n"
        "sys.stdout.flush()\n"
        "sys.stderr.write('***WARNING on stderr\\n')\n"
        "sys.exit(3)\n"));
    QSignalSpy intercepts(&tool.runner, &TraxoRunner::intercept);
    QCOMPARE(tool.runner.runProcess("***ERROR broken\n-s title T"), 3);
    QCOMPARE(tool.collector.messages,
        (QStringList {
            "args=--stdin\n", " broken\n", "-s title T\n", " on stderr\n", "Programm exited with error code: 3\n\n" }));
    QCOMPARE(tool.collector.levels, (QList<int> { 0, 2, 0, 1, 0 }));
    QVERIFY(intercepts.count() >= 1);
}

void tst_TraxoRunner::traxodelGetsItsArgumentOnTheCommandLine()
{
    FakeTool<TraxodelRunner> tool;
    QVERIFY(tool.install("traxodel.py",
        "import sys\n"
        "print(repr(sys.argv[1:]))\n"
        "print('stdin=' + repr(sys.stdin.read()), end='')\n"));
    const QString argument = "<DelWorkflowStep>a b.traxo</DelWorkflowStep>";
    QCOMPARE(tool.runner.runProcess(argument), 0);
    QCOMPARE(tool.collector.messages,
        (QStringList { "['" + argument + "']\n", "stdin=''\n", "Programm exited with error code: 0\n\n" }));
}

void tst_TraxoRunner::directExecutableWithPy2Exe()
{
    FakeTool<TraxoaddRunner> tool;
    QVERIFY(tool.install("traxoadd.exe", "#!/bin/sh\necho \"run directly: $1\"\nexit 5\n", true));
    QCOMPARE(tool.runner.runProcess(QString()), -1000); // looks for traxoadd.py
    tool.collector.messages.clear();
    tool.runner.setUsePy2Exe(true);
    QCOMPARE(tool.runner.runProcess(QString()), 5);
    QCOMPARE(tool.collector.messages.value(0), QString("run directly: --stdin\n"));
}

void tst_TraxoRunner::crashIsNoSuccess()
{
    FakeTool<TraxoaddRunner> tool;
    QVERIFY(tool.install(
        "traxoadd.py", "import os, signal\nprint('about to fail')\nos.kill(os.getpid(), signal.SIGKILL)\n"));
    QCOMPARE(tool.runner.runProcess(QString()), -1002);
    QCOMPARE(tool.collector.messages.last(), QString("traxoadd crashed\n"));
    QCOMPARE(tool.collector.levels.last(), 2);
}

void tst_TraxoRunner::executableThatCannotStart()
{
    FakeTool<TraxodelRunner> tool;
    QVERIFY(tool.install("traxodel.exe", "not a program, and not executable either\n"));
    tool.runner.setUsePy2Exe(true);
    QCOMPARE(tool.runner.runProcess("x.traxo"), -1001);
    QCOMPARE(tool.collector.messages, QStringList { "traxodel failed to start\n" });
    QCOMPARE(tool.collector.levels, QList<int> { 2 });
}

QTEST_GUILESS_MAIN(tst_TraxoRunner)
#include "tst_traxorunner.moc"
