#include "editor/guiwindow.h"
#include "editor/mainwindow.h"

#include "frame/sharedmenu.h"
#include "frame/windowlist.h"
#include "frame/windowtype.h"
#include "messageboxanswerer.h"
#include "testcommon.h"

#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

// The editor as a window of the frame: its type, menus, recent files and the
// question before unsaved changes are closed away.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void windowType();
    void menus_data();
    void menus();
    void viewMenuSwitchesTabs();
    void openFromTheFactory();
    void closeWithUnsavedChanges_data();
    void closeWithUnsavedChanges();
    void saveAndOpenWithoutRunWindow();
    void applicationDirectory_data();
    void applicationDirectory();

private:
    MainWindow *createEditor(const QString &filename = QString());

    WindowList m_windowList;
    QTemporaryDir m_dir;
};

namespace {

QAction *findAction(QMenu *menu, const QString &text)
{
    if (!menu)
        return nullptr;
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

void tst_MainWindow::initTestCase()
{
    WindowList::setGlobalInstance(&m_windowList);
    registerWindows({ WindowType::fromClass<MainWindow>({}, &MainWindow::createTRAXOformWindow) });
}

void tst_MainWindow::cleanup()
{
    // Whatever a test left open goes without questions.
    const QList<ManagedWindow *> windows = m_windowList.windows();
    for (ManagedWindow *window : windows)
        delete window;
}

MainWindow *tst_MainWindow::createEditor(const QString &filename)
{
    return qobject_cast<MainWindow *>(m_windowList.createWindow(MainWindow::windowName(), filename));
}

void tst_MainWindow::windowType()
{
    const WindowType type = m_windowList.getRegistratedWindowTypes().value("Create TRAXO Arg-File");
    QCOMPARE(type.name(), QStringLiteral("Create TRAXO Arg-File"));
    QCOMPARE(type.shortcut(), QStringLiteral("ctrl+E"));
    QVERIFY(type.associatedTypes().isEmpty());

    MainWindow *editor = createEditor();
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Create TRAXO Arg File"));
    QCOMPARE(editor->centralWidget(), editor->guiWindow());
    QCOMPARE(m_windowList.windowCount(), 1);
}

void tst_MainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QString>("tip");

    QTest::addRow("open") << "&File"
                          << "&Open..."
                          << "Ctrl+O"
                          << "Open a Cmd file";
    QTest::addRow("save as") << "&File"
                             << "&Save As..."
                             << "Ctrl+S"
                             << "Save a Cmd file";
    QTest::addRow("close window from the frame") << "&File"
                                                 << "&Close Window"
                                                 << ""
                                                 << "";
    QTest::addRow("cut") << "&Edit"
                         << "Cu&t"
                         << "Ctrl+X"
                         << "Cut the current selection's contents to the clipboard";
    QTest::addRow("copy") << "&Edit"
                          << "&Copy"
                          << "Ctrl+C"
                          << "Copy the current selection's contents to the clipboard";
    QTest::addRow("paste") << "&Edit"
                           << "&Paste"
                           << "Ctrl+V"
                           << "Paste the clipboard's contents into the current selection";
    QTest::addRow("main tab") << "&View"
                              << "&Main Tab"
                              << "Ctrl+1"
                              << "open the Main tab";
    QTest::addRow("files tab") << "&View"
                               << "&In/Out Files Tab"
                               << "Ctrl+2"
                               << "open the In/Out files tab";
    QTest::addRow("containers tab") << "&View"
                                    << "&TRAXO files Tab"
                                    << "Ctrl+3"
                                    << "open the TRAXO files tab";
    QTest::addRow("export tab") << "&View"
                                << "&Export Tab"
                                << "Ctrl+4"
                                << "open the Export tab";
    QTest::addRow("help") << "&Help"
                          << "Help Contents"
                          << ""
                          << "";
    QTest::addRow("tools menu lists the editor") << "&Tools"
                                                 << "Create TRAXO Arg-File"
                                                 << "Ctrl+E"
                                                 << "";
}

void tst_MainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, action);
    QFETCH(QString, shortcut);
    QFETCH(QString, tip);
    MainWindow *editor = createEditor();
    QAction *found = findAction(SharedMenu::findMenu(*editor, menu), action);
    QVERIFY2(found, qPrintable(menu + " / " + action));
    if (!shortcut.isEmpty())
        QCOMPARE(found->shortcut(), QKeySequence(shortcut));
    if (!tip.isEmpty())
        QCOMPARE(found->statusTip(), tip);
}

void tst_MainWindow::viewMenuSwitchesTabs()
{
    MainWindow *editor = createEditor();
    auto *tabs = editor->findChild<QTabWidget *>("tabWidget");
    QMenu *view = SharedMenu::findMenu(*editor, "&View");
    findAction(view, "&Export Tab")->trigger();
    QCOMPARE(tabs->currentIndex(), 3);
    findAction(view, "&In/Out Files Tab")->trigger();
    QCOMPARE(tabs->currentIndex(), 1);
    findAction(view, "&Main Tab")->trigger();
    QCOMPARE(tabs->currentIndex(), 0);
    // The menu bar runs from the window's own menus into the frame's.
    QStringList titles;
    for (QAction *entry : editor->menuBar()->actions())
        titles << entry->text();
    QCOMPARE(titles, (QStringList { "&File", "&Edit", "&View", "&Tools", "&Windows", "&Help" }));
}

void tst_MainWindow::openFromTheFactory()
{
    const QString fixture = QFINDTESTDATA("testdata/append.vcmd");
    MainWindow *editor = createEditor(fixture);
    QVERIFY(editor);
    QCOMPARE(editor->findChild<QLineEdit *>("titleLineEdit")->text(), QStringLiteral("Threshold"));
    QCOMPARE(SharedMenu::getRecentFiles("Traxoform/RecentFiles").value(0), fixture);
}

void tst_MainWindow::closeWithUnsavedChanges_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");

    QTest::addRow("unchanged form closes without a question") << false << "Cancel" << false << true;
    QTest::addRow("cancel keeps the window open") << true << "Cancel" << true << false;
    QTest::addRow("discard closes") << true << "Discard" << true << true;
    QTest::addRow("save, then close") << true << "Save" << true << true;
}

void tst_MainWindow::closeWithUnsavedChanges()
{
    QFETCH(bool, changed);
    QFETCH(QString, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    QPointer<MainWindow> editor = createEditor();
    if (changed)
        editor->findChild<QLineEdit *>("titleLineEdit")->setText("Not yet saved");
    const QString target = m_dir.filePath(QStringLiteral("%1.vcmd").arg(QTest::currentDataTag()).replace(' ', '_'));
    MessageBoxAnswerer answerer(answer, target);
    QCOMPARE(editor->close(), closed);
    QCOMPARE(answerer.texts.size(), asked ? 1 : 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(editor.isNull(), closed);
    QCOMPARE(m_windowList.windowCount(), closed ? 0 : 1);
    QCOMPARE(QFile::exists(target), answer == "Save");
}

void tst_MainWindow::saveAndOpenWithoutRunWindow()
{
    // Until a run window type is registered the window list creates nothing;
    // the arg-file is saved all the same.
    MainWindow *editor = createEditor();
    editor->findChild<QLineEdit *>("titleLineEdit")->setText("Saved for later");
    const QString target = m_dir.filePath("saveandopen.vcmd");
    MessageBoxAnswerer answerer("OK", target);
    editor->findChild<QPushButton *>("saveRunButton")->click();
    QCOMPARE(answerer.fileDialogs, 1);
    QCOMPARE(testcommon::readFile(target), QByteArray("-s title \"Saved for later\"\n"));
    QCOMPARE(m_windowList.windowCount(), 1);
    QVERIFY(!editor->guiWindow()->hasUnsavedChanges());
}

void tst_MainWindow::applicationDirectory_data()
{
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<QString>("expected");

    QTest::addRow("ordinary installation") << "/opt/traxobench/bin"
                                           << "/opt/traxobench/bin";
    QTest::addRow("inside a development tree") << "/src/traxoform/build"
                                               << "/src/bin_macx";
    QTest::addRow("inside an application bundle") << "/Apps/TRAXObench.app/Contents/MacOS"
                                                  << "/Apps/TRAXObench.app/Contents/MacOS/../../..";
}

void tst_MainWindow::applicationDirectory()
{
    QFETCH(QString, programDir);
    QFETCH(QString, expected);
    QCOMPARE(MainWindow::applicationDirectory(programDir), expected);
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
