#include "frame/framelog.h"
#include "frame/helpviewer.h"
#include "frame/recentfiles.h"
#include "frame/sharedmenu.h"
#include "frame/vsettings.h"
#include "recordinghelpviewer.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {

const QString key = QStringLiteral("Test/RecentFiles");

QStringList visibleTexts(const RecentFiles &recent)
{
    QStringList texts;
    for (QAction *action : recent.actions()) {
        if (action->isVisible())
            texts.append(action->text());
    }
    return texts;
}

QStringList stored()
{
    return QSettings(VSettings::getOrganization(), VSettings::getApplication()).value(key).toStringList();
}

} // namespace

class tst_RecentFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void opens_data();
    void opens();
    void emptyListHidesAllActions();
    void actionsGoInFrontOfAnEntry_data();
    void actionsGoInFrontOfAnEntry();
    void laterListsSeeTheNewOrder();
    void overlongStoredListIsCut();
    void pickingAnEntryEmitsItsPath();
    void sharedMenuWithoutListWarns();
    void sharedMenuForwardsTheList();
    void helpPagesOpenThroughTheDesktop_data();
    void helpPagesOpenThroughTheDesktop();

private:
    QTemporaryDir m_settingsDir;
};

void tst_RecentFiles::initTestCase()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    VSettings::overrideComputerName(QStringLiteral("testhost"));
    const_cast<QLoggingCategory &>(lcFrame()).setEnabled(QtDebugMsg, true);
}

void tst_RecentFiles::init()
{
    QSettings(VSettings::getOrganization(), VSettings::getApplication()).clear();
}

void tst_RecentFiles::opens_data()
{
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("expected"); // most recent first

    QTest::addRow("one file") << QStringList({ "/a" }) << QStringList({ "/a" });
    QTest::addRow("six opens keep five, the first dropped")
        << QStringList({ "/1", "/2", "/3", "/4", "/5", "/6" }) << QStringList({ "/6", "/5", "/4", "/3", "/2" });
    QTest::addRow("reopening moves to the top without a duplicate")
        << QStringList({ "/1", "/2", "/3", "/4", "/5", "/6", "/3" }) << QStringList({ "/3", "/6", "/5", "/4", "/2" });
    QTest::addRow("same file twice is one entry") << QStringList({ "/a", "/a" }) << QStringList({ "/a" });
}

void tst_RecentFiles::opens()
{
    QFETCH(QStringList, opened);
    QFETCH(QStringList, expected);

    QMenu menu;
    RecentFiles recent(key, menu, -1);
    for (const QString &file : opened)
        recent.addRecentFile(file);
    QCOMPARE(recent.files(), expected);
    QCOMPARE(stored(), expected);

    QStringList texts;
    for (int i = 0; i < expected.size(); ++i)
        texts.append(QStringLiteral("&%1 %2").arg(i + 1).arg(expected.at(i)));
    QCOMPARE(visibleTexts(recent), texts);
}

void tst_RecentFiles::emptyListHidesAllActions()
{
    QMenu menu;
    RecentFiles recent(key, menu, -1);
    QCOMPARE(recent.actions().size(), 5);
    QCOMPARE(menu.actions().size(), 5);
    QCOMPARE(visibleTexts(recent), QStringList());
    for (QAction *action : recent.actions())
        QCOMPARE(action->text(), QString());
}

void tst_RecentFiles::actionsGoInFrontOfAnEntry_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("firstRecent"); // index of the first recent action in the menu

    QTest::addRow("in front of the second entry") << 1 << 1;
    QTest::addRow("negative appends") << -1 << 2;
    QTest::addRow("too large appends") << 7 << 2;
}

void tst_RecentFiles::actionsGoInFrontOfAnEntry()
{
    QFETCH(int, position);
    QFETCH(int, firstRecent);
    QMenu menu;
    menu.addAction(QStringLiteral("Open"));
    menu.addAction(QStringLiteral("Save"));
    RecentFiles recent(key, menu, position);
    QCOMPARE(menu.actions().size(), 7);
    QCOMPARE(menu.actions().mid(firstRecent, 5), recent.actions());
}

void tst_RecentFiles::laterListsSeeTheNewOrder()
{
    QMenu first;
    RecentFiles earlier(key, first, -1);
    earlier.addRecentFile(QStringLiteral("/x.traxo"));
    earlier.addRecentFile(QStringLiteral("/y.traxo"));

    QMenu second;
    RecentFiles later(key, second, -1);
    QCOMPARE(later.files(), QStringList({ "/y.traxo", "/x.traxo" }));
    QCOMPARE(SharedMenu::getRecentFiles(key), QStringList({ "/y.traxo", "/x.traxo" }));
}

void tst_RecentFiles::overlongStoredListIsCut()
{
    QSettings(VSettings::getOrganization(), VSettings::getApplication())
        .setValue(key, QStringList({ "/1", "/2", "/3", "/4", "/5", "/6", "/7" }));
    QMenu menu;
    RecentFiles recent(key, menu, -1);
    QCOMPARE(recent.files(), QStringList({ "/1", "/2", "/3", "/4", "/5" }));
}

void tst_RecentFiles::pickingAnEntryEmitsItsPath()
{
    QMenu menu;
    RecentFiles recent(key, menu, -1);
    recent.addRecentFile(QStringLiteral("/old.traxo"));
    recent.addRecentFile(QStringLiteral("/new.traxo"));
    QSignalSpy picked(&recent, &RecentFiles::recentFileSelected);
    QTest::ignoreMessage(QtDebugMsg, "recent file \"/old.traxo\"");
    recent.actions().at(1)->trigger();
    QCOMPARE(picked.count(), 1);
    QCOMPARE(picked.first().first().toString(), QStringLiteral("/old.traxo"));
    recent.actions().at(4)->trigger(); // an empty slot emits nothing
    QCOMPARE(picked.count(), 1);
}

void tst_RecentFiles::sharedMenuWithoutListWarns()
{
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&File"));
    SharedMenu shared;
    shared.initMenu(window, QString());
    QCOMPARE(shared.recentFiles(), nullptr);
    QTest::ignoreMessage(QtDebugMsg, "Warning: addRecentFile called for shared menu without recent files.");
    shared.addRecentFile(QStringLiteral("/a"));
    QCOMPARE(stored(), QStringList());
}

void tst_RecentFiles::sharedMenuForwardsTheList()
{
    QMainWindow window;
    QMenu *file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."));
    SharedMenu shared;
    shared.initMenu(window, key);
    QVERIFY(shared.recentFiles());
    // Open, separator, five recent entries, separator, Close Window, Quit.
    QCOMPARE(file->actions().size(), 10);
    QVERIFY(file->actions().at(1)->isSeparator());
    QVERIFY(file->actions().at(7)->isSeparator());

    QSignalSpy picked(&shared, &SharedMenu::recentFileSelected);
    shared.addRecentFile(QStringLiteral("/a.traxo"));
    file->actions().at(2)->trigger();
    QCOMPARE(picked.count(), 1);

    shared.removeRecentFiles();
    QCOMPARE(shared.recentFiles(), nullptr);
    QCOMPARE(file->actions().size(), 5);
}

void tst_RecentFiles::helpPagesOpenThroughTheDesktop_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("page"); // empty: nothing opened
    QTest::addColumn<QString>("anchor");

    QTest::addRow("page") << "doc://theindex.html"
                          << "theindex.html" << QString();
    QTest::addRow("page with anchor") << "doc://traxo-usage.htm#sec:untraxo-legend"
                                      << "traxo-usage.htm"
                                      << "sec:untraxo-legend";
    QTest::addRow("missing page opens nothing") << "doc://nowhere.html" << QString() << QString();
}

void tst_RecentFiles::helpPagesOpenThroughTheDesktop()
{
    QFETCH(QString, link);
    QFETCH(QString, page);
    QFETCH(QString, anchor);

    RecordingHelpViewer viewer;
    HelpViewer::setGlobalInstance(&viewer);
    QVERIFY(HelpViewer::openDocLink(link));
    QVERIFY(!HelpViewer::openDocLink(QStringLiteral("https://www.example.org/")));
    HelpViewer::setGlobalInstance(nullptr);
    HelpViewer::globalOpenPage(QStringLiteral("theindex.html")); // no viewer: nothing happens

    if (page.isEmpty()) {
        QCOMPARE(viewer.opened.size(), 0);
        return;
    }
    QCOMPARE(viewer.opened.size(), 1);
    const QUrl url = viewer.opened.first();
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.toLocalFile(), HelpViewer::getDocPath(page));
    QCOMPARE(url.fragment(), anchor);
}

QTEST_MAIN(tst_RecentFiles)
#include "tst_recentfiles.moc"
