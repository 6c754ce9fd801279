#include "frame/framelog.h"
#include "frame/managedwindow.h"
#include "frame/opendispatcher.h"
#include "frame/sharedmenu.h"
#include "frame/vsettings.h"
#include "frame/windowlist.h"

#include <QAction>
#include <QApplication>
#include <QFileOpenEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A tool window as the real tools build theirs: own File and Help menus,
// then the shared ones.
class TestWindow : public ManagedWindow
{
public:
    explicit TestWindow(const QString &title, bool withHelp = true)
    {
        setWindowTitle(title);
        menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Open..."));
        menuBar()->addMenu(QStringLiteral("&Edit"));
        if (withHelp)
            menuBar()->addMenu(QStringLiteral("&Help"));
        initSharedMenu(QString());
        resize(300, 200);
    }
};

ManagedWindow *createViewer(const QString &filename, const QVariantHash &)
{
    return new TestWindow(filename.isEmpty() ? QStringLiteral("viewer") : QStringLiteral("viewer ") + filename);
}

ManagedWindow *createRunner(const QString &filename, const QVariantHash &)
{
    return new TestWindow(QStringLiteral("runner ") + filename);
}

ManagedWindow *createFinder(const QString &, const QVariantHash &)
{
    return new TestWindow(QStringLiteral("finder"), false);
}

QStringList menuTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("--") : action->text());
    return texts;
}

QStringList menuBarTitles(QMainWindow *window)
{
    QStringList titles;
    for (QAction *action : window->menuBar()->actions())
        titles.append(action->text());
    return titles;
}

} // namespace

class tst_WindowList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstWindowIsTheDefaultType();
    void firstWindowNotAddedAfterCommandLineFiles();
    void openFileBySuffix_data();
    void openFileBySuffix();
    void unknownTypeCreatesNothing();
    void cascadePlacement();
    void nextAndPreviousWrapAround_data();
    void nextAndPreviousWrapAround();
    void windowsMenuListsWindowsAndDropsClosedOnes();
    void windowsMenuShowsModifiedWindows();
    void menuBarOrder_data();
    void menuBarOrder();
    void toolsMenuCreatesWindows();
    void fileMenuEndsWithCloseAndQuit();
    void removeMainMenu();
    void dispatcherTurnsFileOpenEventsIntoRequests();
    void registerWindowsWithoutListDoesNothing();

private:
    QTemporaryDir m_settingsDir;
    WindowList *m_list = nullptr;
};

void tst_WindowList::initTestCase()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    VSettings::overrideComputerName(QStringLiteral("testhost"));
    // The debug lines are part of the contract; the test environment turns
    // traxo debug output off, so switch this category on by hand.
    const_cast<QLoggingCategory &>(lcFrame()).setEnabled(QtDebugMsg, true);
}

void tst_WindowList::init()
{
    m_list = new WindowList;
    WindowList::setGlobalInstance(m_list);
    registerWindows({
        WindowType(QStringLiteral("View"), QStringLiteral("ctrl+T"), { "traxo", "pdf" }, createViewer),
        WindowType(QStringLiteral("Edit"), QStringLiteral("ctrl+E"), {}, createFinder),
        WindowType(QStringLiteral("Run"), QStringLiteral("ctrl+R"), { "vcmd" }, createRunner),
    });
}

void tst_WindowList::cleanup()
{
    for (ManagedWindow *window : m_list->windows())
        delete window;
    delete m_list;
    m_list = nullptr;
    QCOMPARE(WindowList::globalInstance(), nullptr);
}

void tst_WindowList::firstWindowIsTheDefaultType()
{
    QCOMPARE(m_list->defaultWindowType(), QStringLiteral("View"));
    m_list->createFirstWindow();
    QCOMPARE(m_list->windowCount(), 1);
    QCOMPARE(m_list->windows().first()->windowTitle(), QStringLiteral("viewer"));
    QVERIFY(m_list->windows().first()->isVisible());
    QVERIFY(m_list->windows().first()->testAttribute(Qt::WA_DeleteOnClose));
}

void tst_WindowList::firstWindowNotAddedAfterCommandLineFiles()
{
    m_list->openFile(QStringLiteral("a.traxo"));
    m_list->openFile(QStringLiteral("b.vcmd"));
    m_list->createFirstWindow();
    QStringList titles;
    for (ManagedWindow *window : m_list->windows())
        titles.append(window->windowTitle());
    QCOMPARE(titles, QStringList({ "viewer a.traxo", "runner b.vcmd" }));
}

void tst_WindowList::openFileBySuffix_data()
{
    QTest::addColumn<QString>("filename");
    QTest::addColumn<QString>("title"); // empty: no window

    QTest::addRow("container opens a viewer") << "/data/a.traxo"
                                              << "viewer /data/a.traxo";
    QTest::addRow("pdf opens a viewer") << "report.pdf"
                                        << "viewer report.pdf";
    QTest::addRow("only the last suffix counts") << "x.vcmd.pdf"
                                                 << "viewer x.vcmd.pdf";
    QTest::addRow("arg-file opens a runner") << "step.vcmd"
                                             << "runner step.vcmd";
    QTest::addRow("suffix in capitals matches nothing") << "REPORT.PDF" << QString();
    QTest::addRow("unknown suffix") << "notes.txt" << QString();
    QTest::addRow("no suffix") << "Makefile" << QString();
    QTest::addRow("dot in folder only") << "dir.traxo/readme" << QString();
}

void tst_WindowList::openFileBySuffix()
{
    QFETCH(QString, filename);
    QFETCH(QString, title);
    if (title.isEmpty()) {
        QTest::ignoreMessage(QtDebugMsg,
            qPrintable(
                QStringLiteral("error: no window type is associated with extension of file \"%1\"").arg(filename)));
    }
    m_list->openFile(filename);
    if (title.isEmpty()) {
        QCOMPARE(m_list->windowCount(), 0);
    } else {
        QCOMPARE(m_list->windowCount(), 1);
        QCOMPARE(m_list->windows().first()->windowTitle(), title);
    }
}

void tst_WindowList::unknownTypeCreatesNothing()
{
    QTest::ignoreMessage(QtDebugMsg, "No such window type: \"Paint\"");
    QCOMPARE(m_list->createWindow(QStringLiteral("Paint")), nullptr);
    QCOMPARE(m_list->windowCount(), 0);
}

void tst_WindowList::cascadePlacement()
{
    ManagedWindow *first = m_list->createWindow(QStringLiteral("View"));
    first->move(100, 120);
    const int d = first->geometry().y() - first->y();
    ManagedWindow *second = m_list->createWindow(QStringLiteral("Run"));
    QCOMPARE(second->pos(), QPoint(100 + d, 120 + d));
    ManagedWindow *third = m_list->createWindow(QStringLiteral("Run"));
    QCOMPARE(third->pos(), second->pos() + QPoint(d, d));
}

void tst_WindowList::nextAndPreviousWrapAround_data()
{
    QTest::addColumn<int>("active");
    QTest::addColumn<bool>("next");
    QTest::addColumn<int>("expected");

    QTest::addRow("next from the last wraps to the first") << 2 << true << 0;
    QTest::addRow("previous from the last") << 2 << false << 1;
    QTest::addRow("previous from the first wraps to the last") << 0 << false << 2;
    QTest::addRow("next from the middle") << 1 << true << 2;
}

void tst_WindowList::nextAndPreviousWrapAround()
{
    QFETCH(int, active);
    QFETCH(bool, next);
    QFETCH(int, expected);

    QList<ManagedWindow *> windows;
    for (int i = 0; i < 3; ++i)
        windows.append(m_list->createWindow(QStringLiteral("View")));
    windows.at(active)->activate();
    QTRY_COMPARE(QApplication::activeWindow(), windows.at(active));

    if (next)
        m_list->makeNextWindowActive();
    else
        m_list->makePrevWindowActive();
    QTRY_COMPARE(QApplication::activeWindow(), windows.at(expected));
}

void tst_WindowList::windowsMenuListsWindowsAndDropsClosedOnes()
{
    ManagedWindow *a = m_list->createWindow(QStringLiteral("View"), QStringLiteral("a.traxo"));
    ManagedWindow *b = m_list->createWindow(QStringLiteral("Run"), QStringLiteral("b.vcmd"));
    ManagedWindow *c = m_list->createWindow(QStringLiteral("View"), QStringLiteral("c.traxo"));
    const QStringList all
        = { "next Window", "previous Window", "--", "viewer a.traxo", "runner b.vcmd", "viewer c.traxo" };
    QCOMPARE(menuTexts(a->getWindowMenu()), all);
    QCOMPARE(menuTexts(c->getWindowMenu()), all);

    c->activate();
    QTRY_COMPARE(QApplication::activeWindow(), c);
    m_list->focusChanged();
    const QList<QAction *> entries = a->getWindowMenu()->actions();
    QVERIFY(entries.at(5)->isChecked());
    QVERIFY(!entries.at(3)->isChecked());
    QVERIFY(entries.at(3)->isCheckable());
    QVERIFY(entries.at(0)->shortcut().isEmpty());

    QPointer<ManagedWindow> closing = b;
    QVERIFY(b->close());
    QTRY_VERIFY(closing.isNull());
    QCOMPARE(m_list->windowCount(), 2);
    const QStringList remaining = { "next Window", "previous Window", "--", "viewer a.traxo", "viewer c.traxo" };
    QCOMPARE(menuTexts(a->getWindowMenu()), remaining);
    QCOMPARE(menuTexts(c->getWindowMenu()), remaining);
}

void tst_WindowList::windowsMenuShowsModifiedWindows()
{
    ManagedWindow *window = m_list->createWindow(QStringLiteral("Run"), QStringLiteral("x.vcmd"));
    ManagedWindow *other = m_list->createWindow(QStringLiteral("View"));
    // No explicit rebuild: a title change updates every Windows menu.
    window->setWindowTitle(QStringLiteral("x.vcmd[*] - Run"));
    QCOMPARE(menuTexts(other->getWindowMenu()).at(3), QStringLiteral("x.vcmd - Run"));
    window->setWindowModified(true);
    QCOMPARE(menuTexts(other->getWindowMenu()).at(3), QStringLiteral("x.vcmd* - Run"));
    QCOMPARE(menuTexts(window->getWindowMenu()).at(3), QStringLiteral("x.vcmd* - Run"));
}

void tst_WindowList::menuBarOrder_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("titles");

    QTest::addRow("tools and windows go in front of help")
        << "View" << QStringList({ "&File", "&Edit", "&Tools", "&Windows", "&Help" });
    QTest::addRow("without a help menu they are appended")
        << "Edit" << QStringList({ "&File", "&Edit", "&Tools", "&Windows" });
}

void tst_WindowList::menuBarOrder()
{
    QFETCH(QString, type);
    QFETCH(QStringList, titles);
    ManagedWindow *window = m_list->createWindow(type);
    QCOMPARE(menuBarTitles(window), titles);
    QCOMPARE(window->getWindowMenu(), SharedMenu::findMenu(*window, QStringLiteral("&Windows")));
    QMenu *help = SharedMenu::findMenu(*window, QStringLiteral("&Help"));
    if (help)
        QCOMPARE(menuTexts(help), QStringList({ "About" }));
}

void tst_WindowList::toolsMenuCreatesWindows()
{
    ManagedWindow *window = m_list->createWindow(QStringLiteral("View"));
    QMenu *tools = SharedMenu::findMenu(*window, QStringLiteral("&Tools"));
    QVERIFY(tools);
    QCOMPARE(menuTexts(tools), QStringList({ "View", "Edit", "Run" }));
    QCOMPARE(tools->actions().at(2)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

    tools->actions().at(2)->trigger();
    QCOMPARE(m_list->windowCount(), 2);
    QCOMPARE(m_list->windows().last()->windowTitle(), QStringLiteral("runner "));
}

void tst_WindowList::fileMenuEndsWithCloseAndQuit()
{
    ManagedWindow *window = m_list->createWindow(QStringLiteral("View"));
    QMenu *file = SharedMenu::findMenu(*window, QStringLiteral("&File"));
    QCOMPARE(menuTexts(file), QStringList({ "&Open...", "--", "&Close Window", "&Quit" }));
    QCOMPARE(file->actions().at(3)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QPointer<ManagedWindow> guard = window;
    file->actions().at(2)->trigger();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(m_list->windowCount(), 0);
}

void tst_WindowList::removeMainMenu()
{
    ManagedWindow *window = m_list->createWindow(QStringLiteral("View"));
    window->removeMainMenu();
    QCOMPARE(window->getWindowMenu(), nullptr);
    QCOMPARE(window->menuWidget(), nullptr);
    // Rebuilding the menus must skip the window without one.
    m_list->createWindow(QStringLiteral("View"));
    QCOMPARE(menuTexts(m_list->windows().last()->getWindowMenu()).size(), 5);
}

void tst_WindowList::dispatcherTurnsFileOpenEventsIntoRequests()
{
    OpenDispatcher dispatcher;
    QSignalSpy spy(&dispatcher, &OpenDispatcher::openFileRequested);
    QFileOpenEvent open(QStringLiteral("/tmp/x.traxo"));
    QVERIFY(dispatcher.eventFilter(qApp, &open));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toString(), QStringLiteral("/tmp/x.traxo"));

    QEvent other(QEvent::User);
    QVERIFY(!dispatcher.eventFilter(qApp, &other));
    QVERIFY(!dispatcher.eventFilter(qApp, nullptr));
    QCOMPARE(spy.count(), 1);

    // Posted like the command-line arguments: handled once the loop runs.
    qApp->installEventFilter(&dispatcher);
    connect(&dispatcher, &OpenDispatcher::openFileRequested, m_list, &WindowList::openFile);
    QCoreApplication::postEvent(qApp, new QFileOpenEvent(QStringLiteral("late.vcmd")));
    QCOMPARE(m_list->windowCount(), 0);
    QTRY_COMPARE(m_list->windowCount(), 1);
    QCOMPARE(m_list->windows().first()->windowTitle(), QStringLiteral("runner late.vcmd"));
    qApp->removeEventFilter(&dispatcher);
}

void tst_WindowList::registerWindowsWithoutListDoesNothing()
{
    WindowList::setGlobalInstance(nullptr);
    QTest::ignoreMessage(QtDebugMsg, "window list not initialized");
    registerWindows({ WindowType(QStringLiteral("Other"), QString(), {}, createViewer) });
    QVERIFY(!m_list->windowTypeNames().contains(QStringLiteral("Other")));
    WindowList::setGlobalInstance(m_list);
}

QTEST_MAIN(tst_WindowList)
#include "tst_windowlist.moc"
