#include "frame/utilities.h"
#include "frame/windowlist.h"
#include "messageboxanswerer.h"
#include "runner/traxogowindow.h"
#include "shared/paths.h"
#include "testcommon.h"

#include <QAction>
#include <QCheckBox>
#include <QDirIterator>
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

// Stands in for every tool window: titled with the type it was made for.
template<const char *type>
ManagedWindow *createStandIn(const QString &, const QVariantHash &)
{
    auto *window = new ManagedWindow;
    window->setWindowTitle(QLatin1String(type));
    return window;
}
constexpr char editorType[] = "Create TRAXO Arg-File";
constexpr char runnerType[] = "Run TRAXO Arg-File";
constexpr char viewerType[] = "View TRAXO File";

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
    void newWindowActions_data();
    void newWindowActions();
    void preview_data();
    void preview();
    void workingDirectoryFollowsArgfile();
    void runControlsFollowArgfileAndJob();
    void closingDuringJob_data();
    void closingDuringJob();
    void installExamples_data();
    void installExamples();

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

void TestTRAXOgoWindow::newWindowActions_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("type");
    QTest::addRow("New TRAXOform opens an editor") << "m_newTRAXOformAction" << editorType;
    QTest::addRow("New TRAXOgo opens a run window") << "m_newTRAXOgoAction" << runnerType;
    QTest::addRow("New unTRAXO opens a viewer") << "m_newUnTRAXOAction" << viewerType;
}

void TestTRAXOgoWindow::newWindowActions()
{
    QFETCH(QString, action);
    QFETCH(QString, type);
    WindowList list;
    WindowList::setGlobalInstance(&list);
    registerWindows({ WindowType(viewerType, QString(), {}, createStandIn<viewerType>),
        WindowType(editorType, QString(), {}, createStandIn<editorType>),
        WindowType(runnerType, QString(), {}, createStandIn<runnerType>) });
    {
        TRAXOgoWindow window;
        window.findChild<QAction *>(action)->trigger();
        QCOMPARE(list.windowCount(), 1);
        QCOMPARE(list.windows().constFirst()->windowTitle(), type);
        QVERIFY(window.findChild<QAction *>("m_preferencesAction"));
        delete list.windows().constFirst();
    }
    WindowList::setGlobalInstance(nullptr);
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

void TestTRAXOgoWindow::installExamples_data()
{
    QTest::addColumn<bool>("oldExamples");
    QTest::addColumn<QString>("overwrite");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<int>("boxes");

    // Boxes: how to install, the overwrite question when asked, how to run.
    QTest::addRow("into a folder without examples") << false << "Yes" << true << 2;
    QTest::addRow("over old examples, replacing them") << true << "Yes" << true << 3;
    QTest::addRow("over old examples, keeping them") << true << "No" << false << 2;
}

void TestTRAXOgoWindow::installExamples()
{
    QFETCH(bool, oldExamples);
    QFETCH(QString, overwrite);
    QFETCH(bool, installed);
    QFETCH(int, boxes);

    const QDir shipped(getExamplesDir());
    QVERIFY2(shipped.exists(QStringLiteral("01-calibration.vcmd")), qPrintable(shipped.path()));
    QTemporaryDir parent;
    const QString target = parent.filePath(QStringLiteral("examples"));
    const QString stale = target + QStringLiteral("/stale.vcmd");
    if (oldExamples)
        QVERIFY(QDir().mkpath(target) && testcommon::writeFile(stale, "-s title stale\n"));

    TRAXOgoWindow window;
    const QString example = target + QStringLiteral("/01-calibration.vcmd");
    // The folder for the examples, then the example to run.
    MessageBoxAnswerer answerer(overwrite, QStringList { parent.path(), example });
    window.installExamples();

    QCOMPARE(answerer.texts.size(), boxes);
    QCOMPARE(QFileInfo::exists(stale), !installed);
    QCOMPARE(answerer.fileDialogs, installed ? 2 : 1);
    QCOMPARE(window.getArgfile(), installed ? example : QString());
    if (!installed)
        return;
    QCOMPARE(window.getSelectionDirectory(), target);
    // Every shipped file arrives with its content, sub-folders included, but
    // no container: the examples must start a history of their own.
    int files = 0;
    for (QDirIterator it(shipped.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext(); ++files) {
        const QString source = it.next();
        const QString copy = target + QLatin1Char('/') + shipped.relativeFilePath(source);
        if (source.endsWith(QLatin1String(".traxo"))) {
            QVERIFY2(!QFileInfo::exists(copy), qPrintable(copy));
            continue;
        }
        QVERIFY2(QFileInfo::exists(copy), qPrintable(copy));
        QCOMPARE(testcommon::readFile(copy), testcommon::readFile(source));
    }
    QVERIFY(files > 4);
}

QTEST_MAIN(TestTRAXOgoWindow)
#include "tst_traxogowindow.moc"
