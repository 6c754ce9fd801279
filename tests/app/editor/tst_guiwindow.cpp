#include "editor/guiwindow.h"
#include "editor/tabcontextmenus.h"

#include "argfile/argfileparser.h"
#include "argfile/argfilereader.h"
#include "argfile/libraryinfo.h"
#include "argfile/wsfile.h"
#include "container/traxoparser.h"
#include "frame/findtextbrowser.h"
#include "messageboxanswerer.h"
#include "summary/summarycreator.h"
#include "testcommon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

// The editor form without a window around it: what the controls write into
// the model, how the containers are chosen, what is rendered, saved and read.
class tst_GuiWindow : public QObject
{
    Q_OBJECT

private slots:
    void emptyForm();
    void toolAndVersionAreOneValue_data();
    void toolAndVersionAreOneValue();
    void appendMode_data();
    void appendMode();
    void rootAndStorageChoices_data();
    void rootAndStorageChoices();
    void oneForEachOutputFile();
    void relativePaths_data();
    void relativePaths();
    void statistics();
    void hints_data();
    void hints();
    void attributeTablesEndWithOneEmptyRow();
    void filesAddDuplicateRemove();
    void fileTypeGuess_data();
    void fileTypeGuess();
    void typePromptIsNeverAValue();
    void contextMenuMarksFollowControls();
    void menuChoicesDriveControls();
    void fileActionsFollowTheList();
    void openAndSaveAgain_data();
    void openAndSaveAgain();
    void derivedNamesFollowTheFileList();
    void openFillsTheForm();
    void saveWritesOneLine();
    void failedSaveIsVisible();
    void openUnreadableKeepsTheForm();
    void openReportsWhatItCouldNotRead();
    void unsavedChanges();
    void dropFillsTheTarget_data();
    void dropFillsTheTarget();
    void savedStepRunsThroughTraxoadd();

private:
    QTemporaryDir m_dir;
};

namespace {

template<typename T = QWidget>
T *control(GuiWindow &gui, const char *name)
{
    T *widget = gui.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

void setText(GuiWindow &gui, const char *name, const QString &text)
{
    control<QLineEdit>(gui, name)->setText(text);
}

void click(GuiWindow &gui, const char *name)
{
    control<QAbstractButton>(gui, name)->click();
}

void check(GuiWindow &gui, const char *name, bool checked)
{
    control<QAbstractButton>(gui, name)->setChecked(checked);
}

// Adds a file through the form and gives it a path and purpose.
void addFile(GuiWindow &gui, const QString &path, bool input)
{
    click(gui, "newFileButton");
    gui.changeFileListItemName(path);
    click(gui, input ? "inputRadioButton" : "outputRadioButton");
}

void setRoot(GuiWindow &gui, const QString &path, const QString &name)
{
    click(gui, "userspecifiedPathAndNameRadioButton");
    setText(gui, "traxoRootFilePathText", path);
    setText(gui, "traxoRootFileNameText", name);
}

void setStorage(GuiWindow &gui, const QString &path, const QString &name)
{
    click(gui, "oneUserSpecificTraxoOutFileRadioButton");
    setText(gui, "traxoStorageFilePathText", path);
    setText(gui, "traxoStorageFileNameText", name);
}

void setAttribute(QTableWidget *table, int row, const QString &name, const QString &value)
{
    table->setItem(row, 1, new QTableWidgetItem(value));
    table->setItem(row, 0, new QTableWidgetItem(name));
}

// The words of a rendered command line, as the tokenizer cuts them.
QStringList words(const QString &commandLine)
{
    return traxo::ArgfileParser::parseArgfile(commandLine);
}

traxo::ArgFile readModel(const QString &text)
{
    traxo::ArgfileReader reader;
    return reader.readArgfile(text, nullptr);
}

const QString outputHint = QStringLiteral("Fatal Error: Output file undefined \n");
const QString rootHint = QStringLiteral(
    "Fatal Error:Root file is undefined.\nSolutions: choose a Root file, set optional flag, start a new TRAXO-File "
    "from scratch\n");
const QString toolHint = QStringLiteral("You have not entered a tool (program) name.\n");
const QString titleHint = QStringLiteral("There is no title for this workflow step.\n");
const QString descriptionHint = QStringLiteral("There is no description for this workflow step (recommended).\n");
const QString filesHint = QStringLiteral("You have not added any input or output files.\n");

} // namespace

void tst_GuiWindow::emptyForm()
{
    GuiWindow gui(QString(), nullptr);
    QCOMPARE(gui.buildCommand_File(), QString());
    QCOMPARE(gui.returnHints(), rootHint + outputHint + toolHint + titleHint + descriptionHint + filesHint);
    QVERIFY(!control(gui, "comment_groupBox")->isHidden());
    QCOMPARE(control<QLabel>(gui, "numberOfFilesLabel")->text(), QStringLiteral("Number of Files 0"));
    QCOMPARE(control<QTableWidget>(gui, "generalAttributesTable")->rowCount(), 1);
    // Nothing to lose yet.
    QVERIFY(!gui.hasUnsavedChanges());
}

void tst_GuiWindow::toolAndVersionAreOneValue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("tool");

    QTest::addRow("name and version glued") << "mcflirt"
                                            << "6.0"
                                            << "mcflirt6.0";
    QTest::addRow("version with a leading blank keeps it") << "bet"
                                                           << " 2.1"
                                                           << "bet 2.1";
    QTest::addRow("name only") << "fast"
                               << ""
                               << "fast";
    QTest::addRow("version only") << ""
                                  << "v3"
                                  << "v3";
}

void tst_GuiWindow::toolAndVersionAreOneValue()
{
    QFETCH(QString, name);
    QFETCH(QString, version);
    QFETCH(QString, tool);
    GuiWindow gui(QString(), nullptr);
    setText(gui, "versionLineEdit", version);
    setText(gui, "toolNameText", name);
    QCOMPARE(gui.argFile().tool(), tool);
    const QStringList rendered = words(gui.buildCommand_File());
    const int at = rendered.indexOf(QStringLiteral("tool"));
    QVERIFY(at > 0);
    QCOMPARE(rendered.value(at - 1), QStringLiteral("-s"));
    QCOMPARE(rendered.value(at + 1), tool);
}

void tst_GuiWindow::appendMode_data()
{
    QTest::addColumn<bool>("userSpecified");
    QTest::addColumn<bool>("optional");
    QTest::addColumn<QString>("expected");

    QTest::addRow("user-specified container, required")
        << true << false << "-O /d/root.traxo -I /d/root.traxo -s title T";
    QTest::addRow("user-specified container, optional")
        << true << true << "-O /d/root.traxo -J /d/root.traxo -s title T";
    QTest::addRow("first input file's container")
        << false << false << "-O /data/in.nii.traxo -I /data/in.nii.traxo -s title T";
}

void tst_GuiWindow::appendMode()
{
    QFETCH(bool, userSpecified);
    QFETCH(bool, optional);
    QFETCH(QString, expected);
    GuiWindow gui(QString(), nullptr);
    QVERIFY(control<QCheckBox>(gui, "traxoAppendCheckBox")->isChecked());
    // The root is chosen before appending; while appending the choice is closed.
    QVERIFY(!control(gui, "userspecifiedPathAndNameRadioButton")->isEnabled());
    QVERIFY(!control(gui, "firstInputFileTraxoRootFileRadioButton")->isEnabled());
    setText(gui, "titleLineEdit", "T");
    if (userSpecified) {
        check(gui, "traxoAppendCheckBox", false);
        setRoot(gui, "/d/", "root.traxo");
        check(gui, "traxoAppendCheckBox", true);
        QVERIFY(control(gui, "traxoRootFileNameText")->isEnabled());
    } else {
        addFile(gui, "/data/in.nii", true);
    }
    // Storage choices do not apply while appending.
    setStorage(gui, "/elsewhere/", "ignored.traxo");
    check(gui, "traxoRootOptionalCheckBox", optional);
    const QString commandLine = gui.buildCommand_File();
    QVERIFY2(commandLine.startsWith(expected), qPrintable(commandLine));
    QCOMPARE(gui.argFile().numOutputTraxofiles(), 1);
    QVERIFY(!control(gui, "traxoStorageFileNameText")->isEnabled());
    QVERIFY(!control(gui, "noneCheckBox")->isEnabled());
}

void tst_GuiWindow::rootAndStorageChoices_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("storage");
    QTest::addColumn<QString>("expectedRoot");
    QTest::addColumn<QStringList>("expectedContainers");
    QTest::addColumn<QString>("rootNameField");
    QTest::addColumn<QString>("rootPathField");

    QTest::addRow("first input and first output")
        << "firstInput"
        << "firstOutput"
        << "/data/raw/in.nii.traxo" << QStringList { "/data/out/a.nii.traxo" } << "in.nii.traxo"
        << "/data/raw/";
    QTest::addRow("none and a user-specified container") << "none"
                                                         << "user"
                                                         << "" << QStringList { "/store/step.traxo" } << "<undefined>"
                                                         << "<undefined>";
    QTest::addRow("user-specified root, first output")
        << "user"
        << "firstOutput"
        << "/d/root.traxo" << QStringList { "/data/out/a.nii.traxo" } << "root.traxo"
        << "/d/";
    QTest::addRow("user-specified storage left empty writes no container")
        << "firstInput"
        << "userEmpty"
        << "/data/raw/in.nii.traxo" << QStringList {} << "in.nii.traxo"
        << "/data/raw/";
}

void tst_GuiWindow::rootAndStorageChoices()
{
    QFETCH(QString, root);
    QFETCH(QString, storage);
    GuiWindow gui(QString(), nullptr);
    addFile(gui, "/data/raw/in.nii", true);
    addFile(gui, "/data/out/a.nii", false);
    addFile(gui, "/data/out/b.nii", false);
    check(gui, "traxoAppendCheckBox", false);
    if (root == "none")
        check(gui, "noneCheckBox", true);
    else if (root == "user")
        setRoot(gui, "/d/", "root.traxo");
    if (storage == "user")
        setStorage(gui, "/store/", "step.traxo");
    else if (storage == "userEmpty")
        setStorage(gui, "", "");

    gui.buildCommand_File();
    QTEST(gui.argFile().rootfile(), "expectedRoot");
    QStringList containers;
    for (int i = 0; i < gui.argFile().numOutputTraxofiles(); ++i)
        containers << gui.argFile().outputTraxofile(i);
    QTEST(containers, "expectedContainers");
    QTEST(control<QLineEdit>(gui, "traxoRootFileNameText")->text(), "rootNameField");
    QTEST(control<QLineEdit>(gui, "traxoRootFilePathText")->text(), "rootPathField");
}

void tst_GuiWindow::oneForEachOutputFile()
{
    GuiWindow gui(QString(), nullptr);
    check(gui, "traxoAppendCheckBox", false);
    addFile(gui, "/data/in.nii", true);
    addFile(gui, "/data/out1.nii", false);
    addFile(gui, "/data/out2.nii", false);
    addFile(gui, "/data/out3.nii", false);
    click(gui, "one_EachOutputFileRadioButton");
    const QStringList rendered = words(gui.buildCommand_File());
    QCOMPARE(gui.argFile().numOutputTraxofiles(), 3);
    QCOMPARE(rendered.mid(0, 6),
        (QStringList { "-O", "/data/out1.nii.traxo", "-O", "/data/out2.nii.traxo", "-O", "/data/out3.nii.traxo" }));
    QCOMPARE(control<QLineEdit>(gui, "traxoStorageFileNameText")->text(), QStringLiteral("<undefined>"));
}

void tst_GuiWindow::relativePaths_data()
{
    QTest::addColumn<bool>("withContainer");
    QTest::addColumn<bool>("relative");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("relative to the first container's folder")
        << true << true
        << QStringList { "-O", "step.traxo", "-I", "../raw/run.traxo", "-i", "../raw/in.nii", "-o", "./out.nii" };
    QTest::addRow("absolute when not asked")
        << true << false
        << QStringList { "-O", "/work/results/step.traxo", "-I", "/work/raw/run.traxo", "-i", "/work/raw/in.nii", "-o",
               "/work/results/out.nii" };
    QTest::addRow("unchanged without a container")
        << false << true
        << QStringList { "-I", "/work/raw/run.traxo", "-i", "/work/raw/in.nii", "-o", "/work/results/out.nii" };
}

void tst_GuiWindow::relativePaths()
{
    QFETCH(bool, withContainer);
    QFETCH(bool, relative);
    QFETCH(QStringList, expected);
    GuiWindow gui(QString(), nullptr);
    check(gui, "traxoAppendCheckBox", false);
    setRoot(gui, "/work/raw/", "run.traxo");
    setStorage(gui, withContainer ? "/work/results/" : "", withContainer ? "step.traxo" : "");
    addFile(gui, "/work/raw/in.nii", true);
    addFile(gui, "/work/results/out.nii", false);
    check(gui, "relativePathsCheckBox", relative);

    QStringList options;
    const QStringList rendered = words(gui.buildCommand_File());
    for (int i = 0; i + 1 < rendered.size(); ++i) {
        if (QStringList { "-O", "-I", "-i", "-o" }.contains(rendered.at(i)))
            options << rendered.at(i) << rendered.at(i + 1);
    }
    QCOMPARE(options, expected);
    // The model itself keeps its absolute paths.
    QCOMPARE(gui.argFile().rootfile(), QStringLiteral("/work/raw/run.traxo"));
}

void tst_GuiWindow::statistics()
{
    GuiWindow gui(QString(), nullptr);
    auto *general = control<QTableWidget>(gui, "generalAttributesTable");
    setAttribute(general, 0, "scanner", "Trio");
    setAttribute(general, 1, "site", "Leipzig");
    addFile(gui, "/d/in.nii", true);
    setAttribute(control<QTableWidget>(gui, "fileAttributesTable"), 0, "TR", "2.0");
    addFile(gui, "/d/out.nii", false);
    auto *fileAttributes = control<QTableWidget>(gui, "fileAttributesTable");
    setAttribute(fileAttributes, 0, "a", "1");
    setAttribute(fileAttributes, 1, "b", "2");
    addFile(gui, "/d/out2.nii", false);
    setAttribute(control<QTableWidget>(gui, "fileAttributesTable"), 0, "c", "3");

    QCOMPARE(gui.statisticsText(),
        QStringLiteral("Workflowstep contains:\n general attribute(s): 2 , Input File(s): 1 "
                       "(file attribute(s): 1), Output file(s): 2 (file attribute(s): 3)."));
    gui.setCurrentTab(GuiWindow::ExportTab);
    QCOMPARE(control<QLabel>(gui, "statistics_label")->text(), gui.statisticsText());
}

void tst_GuiWindow::hints_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("hints");
    QTest::addColumn<bool>("groupShown");

    QTest::addRow("complete step has no hints") << "complete"
                                                << "" << false;
    QTest::addRow("from scratch is only noted") << "none"
                                                << "traxoadd will start a new TRAXO file from scratch\n"
                                                << false;
    QTest::addRow("optional root without a name is only noted")
        << "optionalWithoutRoot"
        << "Optional flag is set, traxoadd will continue even if Root file can not be read.\n"
        << false;
    QTest::addRow("missing root is fatal") << "withoutRoot" << rootHint << true;
    QTest::addRow("blank title counts as none") << "blankTitle" << titleHint << true;
}

void tst_GuiWindow::hints()
{
    QFETCH(QString, setup);
    QFETCH(QString, hints);
    QFETCH(bool, groupShown);
    GuiWindow gui(QString(), nullptr);
    setText(gui, "titleLineEdit", setup == "blankTitle" ? "  " : "Brain extraction");
    control<QPlainTextEdit>(gui, "workflowDescriptionTextEdit")->setPlainText("Removes the skull");
    setText(gui, "toolNameText", "bet");
    addFile(gui, "/d/in.nii", true);
    addFile(gui, "/d/brain.nii", false);
    check(gui, "traxoAppendCheckBox", false);
    if (setup == "none")
        check(gui, "noneCheckBox", true);
    if (setup == "optionalWithoutRoot" || setup == "withoutRoot")
        setRoot(gui, "", "");
    if (setup == "optionalWithoutRoot")
        check(gui, "traxoRootOptionalCheckBox", true);

    QCOMPARE(gui.returnHints(), hints);
    QCOMPARE(!control(gui, "comment_groupBox")->isHidden(), groupShown);
}

void tst_GuiWindow::attributeTablesEndWithOneEmptyRow()
{
    GuiWindow gui(QString(), nullptr);
    auto *table = control<QTableWidget>(gui, "generalAttributesTable");
    auto *count = control<QLabel>(gui, "numberOfAttributesGeneral_Label");
    QCOMPARE(count->text(), QStringLiteral("0 attributes "));

    setAttribute(table, 0, "scanner", "Trio");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(count->text(), QStringLiteral("1 attributes "));
    // A name without a value is no attribute yet, but it opens the next row.
    table->setItem(1, 0, new QTableWidgetItem("site"));
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(gui.argFile().userAttributeKeys(), QStringList { "scanner" });
    table->setItem(1, 1, new QTableWidgetItem("Leipzig"));
    QCOMPARE(gui.argFile().userAttributeKeys(), (QStringList { "scanner", "site" }));
    QCOMPARE(gui.argFile().userAttribute("site"), QStringLiteral("Leipzig"));

    table->setCurrentCell(0, 0);
    click(gui, "removeAttributes");
    QCOMPARE(gui.argFile().userAttributeKeys(), QStringList { "site" });
    QCOMPARE(table->rowCount(), 2);

    click(gui, "removeAllAttributes");
    QCOMPARE(table->rowCount(), 1);
    QVERIFY(gui.argFile().userAttributeKeys().isEmpty());
    QCOMPARE(count->text(), QStringLiteral("0 attributes "));
}

void tst_GuiWindow::filesAddDuplicateRemove()
{
    GuiWindow gui(QString(), nullptr);
    auto *list = control<QListWidget>(gui, "FileListWidget");
    click(gui, "newFileButton");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("[Input File] /new file1"));
    QCOMPARE(control<QLineEdit>(gui, "fileText")->text(), QStringLiteral("new file1"));
    QCOMPARE(control<QLineEdit>(gui, "pathText")->text(), QStringLiteral("/"));

    gui.changeFileListItemName("/data/run1.nii");
    click(gui, "outputRadioButton");
    check(gui, "embedFileCheckBox", false);
    QCOMPARE(list->item(0)->text(), QStringLiteral("[Output File] /data/run1.nii"));

    click(gui, "duplicateFileButton");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(gui.argFile().getConstFile(1), gui.argFile().getConstFile(0));

    setText(gui, "fileText", "run2.nii");
    QCOMPARE(list->item(1)->text(), QStringLiteral("[Output File] /data/run2.nii"));
    QCOMPARE(gui.argFile().getConstFile(0).filename(), QStringLiteral("/data/run1.nii"));

    list->setCurrentRow(0);
    QCOMPARE(control<QLineEdit>(gui, "fileText")->text(), QStringLiteral("run1.nii"));
    click(gui, "removeFileButton");
    QCOMPARE(list->count(), 1);
    QCOMPARE(gui.argFile().numFiles(), 1);
    QCOMPARE(gui.argFile().getConstFile(0).filename(), QStringLiteral("/data/run2.nii"));
    QCOMPARE(control<QLineEdit>(gui, "fileText")->text(), QStringLiteral("run2.nii"));
    QCOMPARE(control<QLabel>(gui, "numberOfFilesLabel")->text(), QStringLiteral("Number of Files 1"));

    click(gui, "removeAllFilesButton");
    QCOMPARE(list->count(), 0);
    QCOMPARE(gui.argFile().numFiles(), 0);
    QVERIFY(!control(gui, "fileText")->isEnabled());
}

void tst_GuiWindow::fileTypeGuess_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("filetype");

    QTest::addRow("upper-case JPEG") << "/img/PHOTO.JPEG"
                                     << "image/jpg"
                                     << "image/jpg";
    QTest::addRow("lower-case jpeg") << "/img/photo.jpeg"
                                     << "image/jpg"
                                     << "image/jpg";
    QTest::addRow("tar.gz is not known") << "/a/b.tar.gz"
                                         << "other (User Defined)"
                                         << "";
    QTest::addRow("no dot") << "/a/README"
                            << "other (User Defined)"
                            << "";
}

void tst_GuiWindow::fileTypeGuess()
{
    QFETCH(QString, path);
    QFETCH(QString, selector);
    QFETCH(QString, filetype);
    GuiWindow gui(QString(), nullptr);
    click(gui, "newFileButton");
    gui.changeFileListItemName(path);
    QCOMPARE(control<QComboBox>(gui, "fileTypeSelector")->currentText(), selector);
    QCOMPARE(gui.argFile().getConstFile(0).filetype(), filetype);
    auto *typeEdit = control<QLineEdit>(gui, "fileTypeLineEdit");
    QCOMPARE(typeEdit->isEnabled(), filetype.isEmpty());
    if (filetype.isEmpty())
        QCOMPARE(typeEdit->placeholderText(), QStringLiteral("Please enter the file type here:"));
}

void tst_GuiWindow::typePromptIsNeverAValue()
{
    GuiWindow gui(QString(), nullptr);
    click(gui, "newFileButton");
    auto *selector = control<QComboBox>(gui, "fileTypeSelector");
    auto *typeEdit = control<QLineEdit>(gui, "fileTypeLineEdit");
    QCOMPARE(selector->count(), 29);
    QCOMPARE(selector->itemText(0), QStringLiteral("other (User Defined)"));

    selector->setCurrentText("image/png");
    QVERIFY(!typeEdit->isEnabled());
    QCOMPARE(typeEdit->text(), QStringLiteral("image/png"));
    QCOMPARE(gui.argFile().getConstFile(0).filetype(), QStringLiteral("image/png"));

    selector->setCurrentIndex(0);
    QVERIFY(typeEdit->isEnabled());
    QCOMPARE(typeEdit->placeholderText(), QStringLiteral("Please enter the file type here"));
    QCOMPARE(gui.argFile().getConstFile(0).filetype(), QString());
    QVERIFY(!gui.buildCommand_File().contains("Please enter"));

    typeEdit->setText("text/x-motion");
    QCOMPARE(gui.argFile().getConstFile(0).filetype(), QStringLiteral("text/x-motion"));
}

void tst_GuiWindow::contextMenuMarksFollowControls()
{
    GuiWindow gui(QString(), nullptr);
    auto *mainMenu = gui.findChild<MainTabContextMenu *>();
    auto *inOutMenu = gui.findChild<InOutTabContextMenu *>();
    auto *traxoMenu = gui.findChild<TraxoFilesTabContextMenu *>();
    QVERIFY(mainMenu && inOutMenu && traxoMenu);
    const auto checked = [](QMenu *menu) {
        QStringList texts;
        const QList<QAction *> actions = menu->actions();
        for (QAction *action : actions) {
            if (action->isChecked())
                texts << action->text();
        }
        return texts;
    };

    click(gui, "verboseRadioButton");
    click(gui, "pretendCheckBox");
    QCOMPARE(checked(mainMenu), (QStringList { "&Verbose", "&Pretend" }));

    click(gui, "newFileButton");
    QCOMPARE(checked(inOutMenu), (QStringList { "&Embed File", "&Calculate MD5" }));
    click(gui, "embedFileCheckBox");
    click(gui, "thumbnailCheckBox");
    click(gui, "outputRadioButton");
    QCOMPARE(checked(inOutMenu), (QStringList { "&Calculate MD5", "&Thumbnail" }));
    QVERIFY(checked(inOutMenu).size() == 2);
    bool purposeFlipped = false;
    for (QAction *action : inOutMenu->actions())
        purposeFlipped = purposeFlipped || action->text() == "&Change To Input File";
    QVERIFY(purposeFlipped);

    click(gui, "traxoAppendCheckBox");
    click(gui, "noneCheckBox");
    click(gui, "oneUserSpecificTraxoOutFileRadioButton");
    QCOMPARE(checked(traxoMenu),
        (QStringList { "&None", "&First Input File", "&One Traxo File With User Specified Path And Name " }));
}

void tst_GuiWindow::menuChoicesDriveControls()
{
    GuiWindow gui(QString(), nullptr);
    auto *mainMenu = gui.findChild<MainTabContextMenu *>();
    emit mainMenu->quietChosen();
    QVERIFY(control<QRadioButton>(gui, "quietRadioButton")->isChecked());
    QCOMPARE(gui.argFile().verbosity(), traxo::ArgFile::Quiet);
    emit mainMenu->pretendChosen();
    QVERIFY(gui.argFile().pretend());

    auto *inOutMenu = gui.findChild<InOutTabContextMenu *>();
    emit inOutMenu->addFileChosen();
    emit inOutMenu->toOutputChosen();
    QCOMPARE(gui.argFile().numFiles(), 1);
    QVERIFY(!gui.argFile().getConstFile(0).inputFile());
    emit inOutMenu->optionalChosen();
    QVERIFY(gui.argFile().getConstFile(0).optional());
}

void tst_GuiWindow::fileActionsFollowTheList()
{
    GuiWindow gui(QString(), nullptr);
    auto *inOutMenu = gui.findChild<InOutTabContextMenu *>();
    const auto enabled = [inOutMenu](const QString &text) {
        for (QAction *action : inOutMenu->actions()) {
            if (action->text() == text)
                return action->isEnabled();
        }
        qFatal("no action %s", qPrintable(text));
    };
    QVERIFY(!enabled("&Remove File"));
    QVERIFY(!enabled("&Embed File"));
    QVERIFY(enabled("&Add File"));
    QVERIFY(!control(gui, "removeFileButton")->isEnabled());
    QVERIFY(!control(gui, "embedFileCheckBox")->isEnabled());

    click(gui, "newFileButton");
    QVERIFY(enabled("&Remove File"));
    QVERIFY(enabled("&Embed File"));
    QVERIFY(control(gui, "removeFileButton")->isEnabled());

    click(gui, "removeFileButton");
    QVERIFY(!enabled("&Remove File"));
    QVERIFY(!enabled("&Duplicate File"));
    QVERIFY(!control(gui, "duplicateFileButton")->isEnabled());
}

void tst_GuiWindow::openAndSaveAgain_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addRow("every control and fields without one") << "motioncorrection.vcmd";
    QTest::addRow("append to the root container") << "append.vcmd";
    QTest::addRow("relative paths stay relative") << "relative.vcmd";
    QTest::addRow("one container per output file") << "oneforeach.vcmd";
    QTest::addRow("a new history from scratch") << "fromscratch.vcmd";
    QTest::addRow("several containers of free choice") << "severalcontainers.vcmd";
    QTest::addRow("literal dollars, references and --sync-cwd") << "dollars.vcmd";
    QTest::addRow("shipped example 01") << "../../../../examples/01-calibration.vcmd";
    QTest::addRow("shipped example 04") << "../../../../examples/04-analysis.vcmd";
}

void tst_GuiWindow::openAndSaveAgain()
{
    QFETCH(QString, fixture);
    const QString original = QFINDTESTDATA("testdata/" + fixture);
    QVERIFY(!original.isEmpty());
    const traxo::ArgFile expected = readModel(QString::fromUtf8(testcommon::readFile(original)));
    QVERIFY(expected != traxo::ArgFile());

    GuiWindow gui(QString(), nullptr);
    MessageBoxAnswerer answerer("OK");
    QVERIFY(gui.openArgFile(original));
    QCOMPARE(answerer.texts, QStringList());
    QVERIFY(!gui.hasUnsavedChanges());
    QCOMPARE(gui.argFile().toCommandline(true), expected.toCommandline(true));
    QVERIFY(gui.argFile() == expected);

    const QString saved = m_dir.filePath(QFileInfo(fixture).fileName());
    QVERIFY(gui.saveArgFile(saved));
    const QByteArray text = testcommon::readFile(saved);
    const traxo::ArgFile reread = readModel(QString::fromUtf8(text));
    QCOMPARE(reread.toCommandline(true), expected.toCommandline(true));
    QVERIFY(reread == expected);
    // Options the form has no control for are written back too.
    const QStringList originalWords = words(QString::fromUtf8(testcommon::readFile(original)));
    QCOMPARE(words(QString::fromUtf8(text)).contains("--sync-cwd"), originalWords.contains("--sync-cwd"));

    // A second round changes nothing at all.
    GuiWindow again(QString(), nullptr);
    QVERIFY(again.openArgFile(saved));
    QVERIFY(again.saveArgFile(saved));
    QCOMPARE(testcommon::readFile(saved), text);
}

void tst_GuiWindow::derivedNamesFollowTheFileList()
{
    GuiWindow gui(QString(), nullptr);
    const auto field = [&gui](const char *name) { return control<QLineEdit>(gui, name)->text(); };
    QCOMPARE(field("traxoRootFileNameText"), QStringLiteral("<undefined>"));
    addFile(gui, "/data/in.nii", true);
    QCOMPARE(field("traxoRootFileNameText"), QStringLiteral("in.nii.traxo"));
    QCOMPARE(field("traxoRootFilePathText"), QStringLiteral("/data/"));

    check(gui, "traxoAppendCheckBox", false);
    QCOMPARE(field("traxoStorageFileNameText"), QStringLiteral("<undefined>"));
    addFile(gui, "/results/out.nii", false);
    QCOMPARE(field("traxoStorageFileNameText"), QStringLiteral("out.nii.traxo"));
    QCOMPARE(field("traxoStorageFilePathText"), QStringLiteral("/results/"));

    click(gui, "removeAllFilesButton");
    QCOMPARE(field("traxoRootFileNameText"), QStringLiteral("<undefined>"));
    QCOMPARE(field("traxoStorageFileNameText"), QStringLiteral("<undefined>"));
}

void tst_GuiWindow::openFillsTheForm()
{
    GuiWindow gui(QString(), nullptr);
    QVERIFY(gui.openArgFile(QFINDTESTDATA("testdata/motioncorrection.vcmd")));
    QCOMPARE(control<QLineEdit>(gui, "titleLineEdit")->text(), QStringLiteral("Motion correction"));
    QCOMPARE(control<QPlainTextEdit>(gui, "workflowDescriptionTextEdit")->toPlainText(),
        QStringLiteral("Rigid-body realignment\nto the middle volume"));
    QCOMPARE(control<QLineEdit>(gui, "toolNameText")->text(), QStringLiteral("mcflirt6.0"));
    QVERIFY(control<QRadioButton>(gui, "verboseRadioButton")->isChecked());
    QVERIFY(control<QCheckBox>(gui, "pretendCheckBox")->isChecked());
    QCOMPARE(control<QTableWidget>(gui, "generalAttributesTable")->rowCount(), 3);
    QCOMPARE(control<QListWidget>(gui, "FileListWidget")->count(), 3);
    QCOMPARE(control<QListWidget>(gui, "FileListWidget")->item(2)->text(),
        QStringLiteral("[Output File] /data/study/derived/motion parameters.par"));
    QVERIFY(!control<QCheckBox>(gui, "traxoAppendCheckBox")->isChecked());
    QVERIFY(control<QCheckBox>(gui, "traxoRootOptionalCheckBox")->isChecked());
    QVERIFY(control<QRadioButton>(gui, "userspecifiedPathAndNameRadioButton")->isChecked());
    QCOMPARE(control<QLineEdit>(gui, "traxoRootFileNameText")->text(), QStringLiteral("run1.traxo"));
    QCOMPARE(control<QLineEdit>(gui, "traxoRootFilePathText")->text(), QStringLiteral("/data/study/raw/"));
    QCOMPARE(control<QLineEdit>(gui, "traxoStorageFileNameText")->text(), QStringLiteral("run1_mc.traxo"));
    QVERIFY(!control<QCheckBox>(gui, "relativePathsCheckBox")->isChecked());
    // The first file is current: its flags and type are in the controls.
    QVERIFY(!control<QCheckBox>(gui, "embedFileCheckBox")->isChecked());
    QCOMPARE(control<QComboBox>(gui, "fileTypeSelector")->currentText(), QStringLiteral("binary/NiFTI Image"));

    QVERIFY(gui.openArgFile(QFINDTESTDATA("testdata/relative.vcmd")));
    QVERIFY(control<QCheckBox>(gui, "relativePathsCheckBox")->isChecked());
    QCOMPARE(control<QLineEdit>(gui, "traxoRootFilePathText")->text(), QStringLiteral("raw/"));
}

void tst_GuiWindow::saveWritesOneLine()
{
    GuiWindow gui(QString(), nullptr);
    setText(gui, "titleLineEdit", "Two words");
    const QString path = m_dir.filePath("oneline.vcmd");
    QVERIFY(testcommon::writeFile(path, "the previous arg-file\n"));
    QVERIFY(gui.saveArgFile(path));
    QCOMPARE(testcommon::readFile(path), QByteArray("-s title \"Two words\"\n"));
    // Written through a temporary file that is gone afterwards.
    QCOMPARE(QDir(m_dir.path()).entryList({ "oneline*" }, QDir::Files), QStringList { "oneline.vcmd" });
    // The export pane shows the same text, searchable with its find bar.
    control<QTabWidget>(gui, "tabWidget")->setCurrentIndex(3);
    QCOMPARE(control<FindTextBrowser>(gui, "commandLine")->textBrowser()->toPlainText(),
        QStringLiteral("-s title \"Two words\""));
}

void tst_GuiWindow::failedSaveIsVisible()
{
    GuiWindow gui(QString(), nullptr);
    setText(gui, "titleLineEdit", "Unsaved");
    QVERIFY(testcommon::writeFile(m_dir.filePath("plainfile"), "x"));
    const QString impossible = m_dir.filePath("plainfile/step.vcmd");
    MessageBoxAnswerer answerer("OK");
    QVERIFY(!gui.saveArgFile(impossible));
    QCOMPARE(answerer.texts.size(), 1);
    QVERIFY2(answerer.texts.constFirst().contains("not saved"), qPrintable(answerer.texts.constFirst()));
    QVERIFY(!QFile::exists(impossible));
    QVERIFY(gui.hasUnsavedChanges());
}

void tst_GuiWindow::openUnreadableKeepsTheForm()
{
    GuiWindow gui(QString(), nullptr);
    setText(gui, "titleLineEdit", "Work in progress");
    const QString path = m_dir.filePath("draft.vcmd");
    QVERIFY(gui.saveArgFile(path));
    MessageBoxAnswerer answerer("OK");
    QVERIFY(!gui.openArgFile(m_dir.filePath("missing.vcmd")));
    QCOMPARE(answerer.texts.size(), 1);
    QCOMPARE(gui.argFile().title(), QStringLiteral("Work in progress"));
    QCOMPARE(control<QLineEdit>(gui, "titleLineEdit")->text(), QStringLiteral("Work in progress"));
}

void tst_GuiWindow::openReportsWhatItCouldNotRead()
{
    GuiWindow gui(QString(), nullptr);
    MessageBoxAnswerer answerer("OK");
    QVERIFY(gui.openArgFile(QFINDTESTDATA("testdata/unknownoption.vcmd")));
    QCOMPARE(control<QLineEdit>(gui, "titleLineEdit")->text(), QStringLiteral("Kept"));
    QCOMPARE(answerer.texts.size(), 1);
    QVERIFY2(answerer.texts.constFirst().contains("-W"), qPrintable(answerer.texts.constFirst()));

    const QString unterminated = m_dir.filePath("unterminated.vcmd");
    QVERIFY(testcommon::writeFile(unterminated, "-s title \"never closed\n"));
    QVERIFY(gui.openArgFile(unterminated));
    QCOMPARE(answerer.texts.size(), 2);
    QVERIFY(answerer.texts.constLast().contains("quote"));

    // Options only traxoadd interprets are kept without a word.
    const QString syncCwd = m_dir.filePath("synccwd.vcmd");
    QVERIFY(testcommon::writeFile(syncCwd, "--sync-cwd -c common.vcmd -s title \"Kept too\"\n"));
    QVERIFY(gui.openArgFile(syncCwd));
    QCOMPARE(control<QLineEdit>(gui, "titleLineEdit")->text(), QStringLiteral("Kept too"));
    QCOMPARE(answerer.texts.size(), 2);
    QCOMPARE(gui.buildCommand_File(), QStringLiteral("--sync-cwd -c common.vcmd -s title \"Kept too\""));
}

void tst_GuiWindow::unsavedChanges()
{
    GuiWindow gui(QString(), nullptr);
    QVERIFY(!gui.hasUnsavedChanges());
    setText(gui, "titleLineEdit", "Step");
    QVERIFY(gui.hasUnsavedChanges());
    setText(gui, "titleLineEdit", "");
    QVERIFY(!gui.hasUnsavedChanges());

    addFile(gui, "/d/in.nii", true);
    QVERIFY(gui.hasUnsavedChanges());
    QVERIFY(gui.saveArgFile(m_dir.filePath("tracked.vcmd")));
    QVERIFY(!gui.hasUnsavedChanges());
    check(gui, "md5CheckBox", false);
    QVERIFY(gui.hasUnsavedChanges());

    // Unchanged forms go without a question.
    QVERIFY(gui.saveArgFile(m_dir.filePath("tracked.vcmd")));
    {
        MessageBoxAnswerer answerer("Cancel");
        QVERIFY(gui.maybeSave());
        QVERIFY(answerer.texts.isEmpty());
    }
    setText(gui, "titleLineEdit", "Changed again");
    {
        MessageBoxAnswerer answerer("Cancel");
        QVERIFY(!gui.maybeSave());
        QCOMPARE(answerer.texts.size(), 1);
    }
    {
        MessageBoxAnswerer answerer("Discard");
        QVERIFY(gui.maybeSave());
    }
    {
        const QString target = m_dir.filePath("asked.vcmd");
        MessageBoxAnswerer answerer("Save", target);
        QVERIFY(gui.maybeSave());
        QCOMPARE(answerer.fileDialogs, 1);
        QVERIFY(QString::fromUtf8(testcommon::readFile(target)).contains("\"Changed again\""));
        QVERIFY(!gui.hasUnsavedChanges());
    }
}

void tst_GuiWindow::dropFillsTheTarget_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("nameField");
    QTest::addColumn<QString>("pathField");

    QTest::addRow("tool on the main tab") << 0 << "toolNameText"
                                          << "toolNameText"
                                          << "toolPathText";
    QTest::addRow("a new file on the files tab") << 1 << "FileListWidget"
                                                 << "fileText"
                                                 << "pathText";
    QTest::addRow("root container on its group") << 2 << "traxoRootFilePathText"
                                                 << "traxoRootFileNameText"
                                                 << "traxoRootFilePathText";
    QTest::addRow("storage container on its group") << 2 << "oneUserSpecificTraxoOutFileRadioButton"
                                                    << "traxoStorageFileNameText"
                                                    << "traxoStorageFilePathText";
}

void tst_GuiWindow::dropFillsTheTarget()
{
    QFETCH(int, tab);
    QFETCH(QString, target);
    QFETCH(QString, nameField);
    QFETCH(QString, pathField);
    GuiWindow gui(QString(), nullptr);
    check(gui, "traxoAppendCheckBox", false);
    gui.setCurrentTab(GuiWindow::Tab(tab));
    gui.resize(900, 700);
    gui.show();
    QVERIFY(QTest::qWaitForWindowExposed(&gui));

    QWidget *over = gui.findChild<QWidget *>(target);
    const QPoint position = over->mapTo(&gui, over->rect().center());
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile("/data/dropped/scan.nii") });
    QDragEnterEvent enter(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&gui, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(position), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&gui, &drop);

    QCOMPARE(gui.findChild<QLineEdit *>(nameField)->text(), QStringLiteral("scan.nii"));
    QCOMPARE(gui.findChild<QLineEdit *>(pathField)->text(), QStringLiteral("/data/dropped/"));
    if (tab == 1)
        QCOMPARE(gui.argFile().numFiles(), 1);
    if (tab == 2) {
        gui.buildCommand_File();
        const bool root = nameField.startsWith("traxoRoot");
        QCOMPARE(root ? gui.argFile().rootfile() : gui.argFile().outputTraxofile(0),
            QStringLiteral("/data/dropped/scan.nii"));
    }
}

void tst_GuiWindow::savedStepRunsThroughTraxoadd()
{
    QTemporaryDir work;
    const QString input = work.filePath("scan.nii"), output = work.filePath("scan_smooth.nii");
    QVERIFY(testcommon::writeFile(input, "raw voxels\n") && testcommon::writeFile(output, "smoothed voxels\n"));

    GuiWindow gui(QString(), nullptr);
    setText(gui, "titleLineEdit", "Gaussian smoothing");
    setText(gui, "toolNameText", "smooth");
    setText(gui, "versionLineEdit", "-2.1");
    control<QPlainTextEdit>(gui, "workflowDescriptionTextEdit")->setPlainText("FWHM 6 mm,\nisotropic kernel");
    addFile(gui, input, true);
    addFile(gui, output, false);
    // A new history in the container beside the first output file.
    check(gui, "traxoAppendCheckBox", false);
    check(gui, "noneCheckBox", true);
    click(gui, "firstOutputFileTraxo");
    const QString argfile = work.filePath("smooth.vcmd");
    QVERIFY(gui.saveArgFile(argfile));

    QProcess traxoadd;
    traxoadd.setWorkingDirectory(work.path());
    traxoadd.setProcessChannelMode(QProcess::MergedChannels);
    traxoadd.start(traxo::getBinaryDir() + QStringLiteral("/traxoadd"), { "-c", argfile });
    QVERIFY(traxoadd.waitForFinished(60000));
    QVERIFY2(traxoadd.exitStatus() == QProcess::NormalExit && traxoadd.exitCode() == 0, traxoadd.readAll().constData());

    traxo::TraxoParser parser;
    QVERIFY(parser.open(output + QStringLiteral(".traxo")));
    const QList<traxo::Summary> steps = traxo::SummaryCreator().createSummaries(parser);
    QCOMPARE(steps.size(), 1);
    const traxo::Summary step = steps.constFirst();
    QVERIFY(step.valid);
    QCOMPARE(step.Title, QStringLiteral("Gaussian smoothing"));
    QCOMPARE(step.Tool, QStringLiteral("smooth-2.1"));
    QCOMPARE(step.Description, QStringLiteral("FWHM 6 mm,\nisotropic kernel"));
    // The step's own summary follows its files as an embedded file.
    QVERIFY(step.files.size() >= 2);
    QCOMPARE(QDir(step.files.at(0).Filepath), QDir(work.path()));
    QCOMPARE(step.files.at(0).Filename, QStringLiteral("scan.nii"));
    QCOMPARE(step.files.at(0).FilePurpose, QStringLiteral("InFile"));
    QCOMPARE(step.files.at(1).Filename, QStringLiteral("scan_smooth.nii"));
    QCOMPARE(step.files.at(1).FilePurpose, QStringLiteral("OutFile"));
    // Both embedded, tied to their markers in the container.
    QVERIFY(step.files.at(0).TagID >= 0 && step.files.at(1).TagID >= 0);
}

QTEST_MAIN(tst_GuiWindow)
#include "tst_guiwindow.moc"
