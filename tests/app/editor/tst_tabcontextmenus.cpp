#include "editor/tabcontextmenus.h"

#include "argfile/wsfile.h"

#include <QSignalSpy>
#include <QtTest>

// The four tab menus on their own: labels, signals, check marks that only the
// do-slots move, and the enabling rules.
class tst_TabContextMenus : public QObject
{
    Q_OBJECT

private slots:
    void mainMenuMarksFollowDoSlots();
    void triggeringAsksButDoesNotCheck();
    void inOutFileOperations_data();
    void inOutFileOperations();
    void inOutCheckStatesFromFile_data();
    void inOutCheckStatesFromFile();
    void purposeActionFlips();
    void traxoFilesEnabling_data();
    void traxoFilesEnabling();
    void exportActionsEmit();
};

namespace {

QAction *action(QMenu &menu, const QString &text)
{
    const QList<QAction *> actions = menu.actions();
    for (QAction *candidate : actions) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

QStringList checkedTexts(QMenu &menu)
{
    QStringList texts;
    const QList<QAction *> actions = menu.actions();
    for (QAction *candidate : actions) {
        if (candidate->isChecked())
            texts << candidate->text();
    }
    return texts;
}

} // namespace

void tst_TabContextMenus::mainMenuMarksFollowDoSlots()
{
    MainTabContextMenu menu;
    QCOMPARE(checkedTexts(menu), QStringList { "&Normal" });
    QVERIFY(action(menu, "&Browse"));
    QVERIFY(!action(menu, "&Browse")->isCheckable());

    menu.doVerbose();
    QCOMPARE(checkedTexts(menu), QStringList { "&Verbose" });
    menu.doQuiet();
    menu.doPretend(true);
    QCOMPARE(checkedTexts(menu), (QStringList { "&Quiet", "&Pretend" }));
    menu.doNormal();
    menu.doPretend(false);
    QCOMPARE(checkedTexts(menu), QStringList { "&Normal" });
}

void tst_TabContextMenus::triggeringAsksButDoesNotCheck()
{
    // The form answers through a do-slot; a control that refuses leaves the
    // mark unchanged.
    MainTabContextMenu menu;
    QSignalSpy pretend(&menu, &MainTabContextMenu::pretendChosen);
    QSignalSpy verbose(&menu, &MainTabContextMenu::verboseChosen);
    QSignalSpy browse(&menu, &MainTabContextMenu::toolBrowserChosen);
    action(menu, "&Pretend")->trigger();
    action(menu, "&Verbose")->trigger();
    action(menu, "&Browse")->trigger();
    QCOMPARE(pretend.count(), 1);
    QCOMPARE(verbose.count(), 1);
    QCOMPARE(browse.count(), 1);
    QCOMPARE(checkedTexts(menu), QStringList { "&Normal" });
}

void tst_TabContextMenus::inOutFileOperations_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addRow("empty file list disables the file actions") << false;
    QTest::addRow("a current file enables them") << true;
}

void tst_TabContextMenus::inOutFileOperations()
{
    QFETCH(bool, enabled);
    InOutTabContextMenu menu;
    menu.setFileOperations(!enabled);
    menu.setFileOperations(enabled);
    for (const char *text : { "&Browse...", "&Remove File", "&Duplicate File", "&Remove All Files", "&Embed File",
             "&Calculate MD5", "&Optional", "&Preview WS", "&Preview", "&Thumbnail", "&Change To Output File" }) {
        QVERIFY2(action(menu, text), text);
        QVERIFY2(action(menu, text)->isEnabled() == enabled, text);
    }
    // Adding a file needs no current file.
    QVERIFY(action(menu, "&Add File")->isEnabled());
}

void tst_TabContextMenus::inOutCheckStatesFromFile_data()
{
    QTest::addColumn<QStringList>("flags");

    QTest::addRow("default file: embed and md5") << QStringList { "embed", "automd5" };
    QTest::addRow("no flag at all") << QStringList {};
    QTest::addRow("every flag") << QStringList { "embed", "automd5", "optional", "previewws", "preview", "thumbnail" };
    QTest::addRow("preview only") << QStringList { "preview" };
}

void tst_TabContextMenus::inOutCheckStatesFromFile()
{
    QFETCH(QStringList, flags);
    traxo::WSFile file;
    file.setEmbed(flags.contains("embed"));
    file.setAutoMD5(flags.contains("automd5"));
    file.setOptional(flags.contains("optional"));
    file.setPreviewWS(flags.contains("previewws"));
    file.setPreview(flags.contains("preview"));
    file.setThumbnail(flags.contains("thumbnail"));

    InOutTabContextMenu menu;
    menu.adjustCheckStates(&file);
    QCOMPARE(action(menu, "&Embed File")->isChecked(), flags.contains("embed"));
    QCOMPARE(action(menu, "&Calculate MD5")->isChecked(), flags.contains("automd5"));
    QCOMPARE(action(menu, "&Optional")->isChecked(), flags.contains("optional"));
    QCOMPARE(action(menu, "&Preview WS")->isChecked(), flags.contains("previewws"));
    QCOMPARE(action(menu, "&Preview")->isChecked(), flags.contains("preview"));
    QCOMPARE(action(menu, "&Thumbnail")->isChecked(), flags.contains("thumbnail"));

    menu.adjustCheckStates(nullptr);
    QVERIFY(checkedTexts(menu).isEmpty());
}

void tst_TabContextMenus::purposeActionFlips()
{
    InOutTabContextMenu menu;
    menu.setFileOperations(true);
    QSignalSpy toOutput(&menu, &InOutTabContextMenu::toOutputChosen);
    QSignalSpy toInput(&menu, &InOutTabContextMenu::toInputChosen);

    action(menu, "&Change To Output File")->trigger();
    QCOMPARE(toOutput.count(), 1);

    menu.doOutput();
    QVERIFY(!action(menu, "&Change To Output File"));
    action(menu, "&Change To Input File")->trigger();
    QCOMPARE(toInput.count(), 1);
    QCOMPARE(toOutput.count(), 1);

    menu.doInput();
    action(menu, "&Change To Output File")->trigger();
    QCOMPARE(toOutput.count(), 2);
    QCOMPARE(toInput.count(), 1);
}

void tst_TabContextMenus::traxoFilesEnabling_data()
{
    QTest::addColumn<bool>("append");
    QTest::addColumn<bool>("none");
    QTest::addColumn<bool>("noneEnabled");
    QTest::addColumn<bool>("optionalEnabled");
    QTest::addColumn<bool>("rootChoiceEnabled");
    QTest::addColumn<bool>("storageChoiceEnabled");

    QTest::addRow("append: root and storage choices are moot") << true << false << false << true << false << false;
    QTest::addRow("none: no root to choose or excuse") << false << true << true << false << false << true;
    QTest::addRow("neither: everything open") << false << false << true << true << true << true;
    QTest::addRow("append wins over none") << true << true << false << true << false << false;
}

void tst_TabContextMenus::traxoFilesEnabling()
{
    QFETCH(bool, append);
    QFETCH(bool, none);
    TraxoFilesTabContextMenu menu;
    QCOMPARE(checkedTexts(menu), (QStringList { "&Append", "&First Input File", "&First Output File" }));

    menu.doAppend(append);
    menu.doNone(none);
    QCOMPARE(action(menu, "&Append")->isChecked(), append);
    QCOMPARE(action(menu, "&None")->isChecked(), none);
    QTEST(action(menu, "&None")->isEnabled(), "noneEnabled");
    QTEST(action(menu, "&Optional")->isEnabled(), "optionalEnabled");
    QTEST(action(menu, "&First Input File")->isEnabled(), "rootChoiceEnabled");
    QTEST(action(menu, "&File With Userspecified Path and Name")->isEnabled(), "rootChoiceEnabled");
    QTEST(action(menu, "&First Output File")->isEnabled(), "storageChoiceEnabled");
    QTEST(action(menu, "&One For Each Output File Action")->isEnabled(), "storageChoiceEnabled");
    QTEST(action(menu, "&One Traxo File With User Specified Path And Name ")->isEnabled(), "storageChoiceEnabled");

    menu.doOneForEach();
    menu.doUserSpec();
    QCOMPARE(action(menu, "&First Output File")->isChecked(), false);
    QCOMPARE(action(menu, "&One For Each Output File Action")->isChecked(), true);
    QCOMPARE(action(menu, "&First Input File")->isChecked(), false);
    QCOMPARE(action(menu, "&File With Userspecified Path and Name")->isChecked(), true);
}

void tst_TabContextMenus::exportActionsEmit()
{
    ExportTabContextMenu menu;
    QSignalSpy copy(&menu, &ExportTabContextMenu::copyChosen);
    QSignalSpy save(&menu, &ExportTabContextMenu::saveChosen);
    QSignalSpy saveAndOpen(&menu, &ExportTabContextMenu::saveAndOpenChosen);
    action(menu, "&Copy To Clipboard")->trigger();
    action(menu, "&Save And Open")->trigger();
    QCOMPARE(copy.count(), 1);
    QCOMPARE(save.count(), 0);
    QCOMPARE(saveAndOpen.count(), 1);
    action(menu, "&Save as Arg File")->trigger();
    QCOMPARE(save.count(), 1);
}

QTEST_MAIN(tst_TabContextMenus)
#include "tst_tabcontextmenus.moc"
