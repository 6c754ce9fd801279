#include "frame/utilities.h"
#include "runner/traxogowindow.h"
#include "testcommon.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

#include "frame/findtextbrowser.h"

namespace {

// Answers the close question without a user.
class AnsweringWindow : public TRAXOgoWindow
{
public:
    bool answer = false;
    int asked = 0;

protected:
    bool confirmKillJob() override
    {
        ++asked;
        return answer;
    }
};

bool processAlive(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

} // namespace

class TestTRAXOgoWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowType();
    void preview_data();
    void preview();
    void workingDirectoryFollowsArgfile();
    void runControlsFollowArgfileAndJob();
    void closingDuringJob_data();
    void closingDuringJob();

private:
    template<class T>
    static T *child(QWidget &window, const char *name)
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }
    // A traxoadd.py that writes its pid and then waits a minute.
    static bool writeSlowScript(const QString &dir);
};

bool TestTRAXOgoWindow::writeSlowScript(const QString &dir)
{
    return testcommon::writeFile(dir + QStringLiteral("/traxoadd.py"),
        "import os, time\nopen('pid.txt', 'w').write(str(os.getpid()))\nprint('***WARNING slow', flush=True)\n"
        "time.sleep(60)\n");
}

void TestTRAXOgoWindow::windowType()
{
    QCOMPARE(TRAXOgoWindow::windowName(), QStringLiteral("Run TRAXO Arg-File"));
    QCOMPARE(TRAXOgoWindow::windowShortcut(), QStringLiteral("ctrl+R"));
    TRAXOgoWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Run TRAXO Arg-File"));
    QVERIFY(child<QCheckBox>(window, "m_syncDirCheck")->isChecked());
    window.setArgfile(QStringLiteral("/data/run/step.vcmd"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Run TRAXO Arg File - step.vcmd"));
    QCOMPARE(child<QLineEdit>(window, "m_argfileEdit")->toolTip(), QStringLiteral("/data/run/step.vcmd"));
}

void TestTRAXOgoWindow::preview_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("refusal");

    QTest::addRow("one byte below the limit is shown") << 511999 << QString();
    QTest::addRow("exactly the limit is refused") << 512000 << "Probably no Argfile- File too large: 0.488281 MB";
    QTest::addRow("three MiB are refused") << 3 * 1048576 << "Probably no Argfile- File too large: 3 MB";
    QTest::addRow("small file is shown") << 20 << QString();
    QTest::addRow("empty file is shown empty") << 0 << QString();
}

void TestTRAXOgoWindow::preview()
{
    QFETCH(int, size);
    QFETCH(QString, refusal);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray content(size, 'a');
    for (int i = 79; i < size; i += 80)
        content[i] = '\n';
    const QString path = dir.filePath(QStringLiteral("big.vcmd"));
    QVERIFY(testcommon::writeFile(path, content));

    TRAXOgoWindow window;
    window.setArgfile(path);
    const QString text = child<FindTextBrowser>(window, "m_argfileBrowser")->textBrowser()->toPlainText();
    QCOMPARE(text, refusal.isEmpty() ? QString::fromUtf8(content) : refusal);

    window.setArgfile(QString());
    QVERIFY(child<FindTextBrowser>(window, "m_argfileBrowser")->textBrowser()->toPlainText().isEmpty());
}

void TestTRAXOgoWindow::workingDirectoryFollowsArgfile()
{
    TRAXOgoWindow window;
    auto *cwdEdit = child<QLineEdit>(window, "m_cwdEdit");
    auto *cwdButton = child<QToolButton>(window, "m_cwdButton");
    auto *sync = child<QCheckBox>(window, "m_syncDirCheck");

    window.setArgfile(QStringLiteral("/data/run/step.vcmd"));
    QCOMPARE(window.getCwd(), QStringLiteral("/data/run"));
    QVERIFY(!cwdEdit->isEnabled());
    QVERIFY(!cwdButton->isEnabled());

    sync->setChecked(false);
    QVERIFY(cwdEdit->isEnabled());
    QVERIFY(cwdButton->isEnabled());
    window.setCwd(QStringLiteral("/elsewhere"));
    window.setArgfile(QStringLiteral("/data/other/step.vcmd"));
    QCOMPARE(window.getCwd(), QStringLiteral("/elsewhere"));

    // Checking the box again takes the arg-file's directory at once.
    sync->setChecked(true);
    QCOMPARE(window.getCwd(), QStringLiteral("/data/other"));
    QVERIFY(!cwdEdit->isEnabled());
}

void TestTRAXOgoWindow::runControlsFollowArgfileAndJob()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeSlowScript(dir.path()));

    AnsweringWindow window;
    window.runner().thread().setScriptDirectories(dir.path(), dir.path());
    auto *run = child<QPushButton>(window, "m_runButton");
    auto *edit = child<QPushButton>(window, "m_editButton");
    auto *runAction = child<QAction>(window, "m_runAction");

    QVERIFY(!run->isEnabled() && !edit->isEnabled() && !runAction->isEnabled());
    window.setArgfile(dir.filePath(QStringLiteral("job.vcmd")));
    QVERIFY(run->isEnabled() && edit->isEnabled() && runAction->isEnabled());

    QSignalSpy finished(&window.runner(), &TraxoaddRunner::traxoaddFinished);
    run->click();
    QVERIFY(window.isJobRunning());
    QVERIFY(!run->isEnabled() && !edit->isEnabled() && !runAction->isEnabled());
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Job running..."));
    // A second request while the job runs starts nothing.
    runAction->trigger();
    QVERIFY(window.runner().isRunning());

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.filePath(QStringLiteral("pid.txt"))).size() > 0, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(child<FindTextBrowser>(window, "m_outputBrowser")
                                 ->textBrowser()
                                 ->toPlainText()
                                 .contains(QStringLiteral("***WARNING slow")),
        20000);

    window.runner().stop();
    QVERIFY(finished.wait(10000));
    QVERIFY(!window.isJobRunning());
    QVERIFY(run->isEnabled() && edit->isEnabled() && runAction->isEnabled());
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("job finished"));

    window.setArgfile(QString());
    QVERIFY(!run->isEnabled() && !edit->isEnabled() && !runAction->isEnabled());
}

void TestTRAXOgoWindow::closingDuringJob_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addRow("no keeps window and job") << false;
    QTest::addRow("yes kills the job and closes") << true;
}

void TestTRAXOgoWindow::closingDuringJob()
{
    QFETCH(bool, answer);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeSlowScript(dir.path()));
    const QString pidFile = dir.filePath(QStringLiteral("pid.txt"));

    auto *window = new AnsweringWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<AnsweringWindow> guard(window);
    window->answer = answer;
    window->runner().thread().setScriptDirectories(dir.path(), dir.path());
    window->setArgfile(dir.filePath(QStringLiteral("job.vcmd")));
    window->show();
    window->runTraxoadd();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pidFile).size() > 0, 20000);
    const qint64 pid = testcommon::readFile(pidFile).toLongLong();
    QVERIFY(processAlive(pid));

    QCOMPARE(window->close(), answer);
    QCOMPARE(window->asked, 1);
    if (!answer) {
        QVERIFY(window->isVisible());
        QVERIFY(window->runner().isRunning());
        QVERIFY(processAlive(pid));
        window->answer = true;
        QVERIFY(window->close());
    }
    // The job ends before close() returns: nothing outlives the window.
    QVERIFY(!processAlive(pid));
    QTRY_VERIFY(guard.isNull());
}

QTEST_MAIN(TestTRAXOgoWindow)
#include "tst_traxogowindow.moc"
