#include "viewer/untraxowindow.h"

#include "container/containerwriter.h"
#include "container/validationsweep.h"
#include "containerbuilder.h"
#include "frame/findtextbrowser.h"
#include "frame/preferences.h"
#include "summary/summarywriter.h"
#include "testcommon.h"
#include "viewer/extractdialog.h"
#include "viewer/traxobrowser.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

using traxo::ContainerWriter;
using traxo::FileSummary;
using traxo::Summary;

namespace {

// A file of a generated step: where the step says it lies, and its bytes.
struct StepFile
{
    QString path; // recorded directory and name, e.g. "data/raw/a.nii"
    QByteArray content;
};

struct Step
{
    QString title;
    QList<StepFile> files;
};

FileSummary declare(const StepFile &file, const ContainerWriter::File &stored)
{
    FileSummary declared;
    const int slash = int(file.path.lastIndexOf('/'));
    declared.Filename = stored.filename;
    declared.Filepath = slash >= 0 ? file.path.left(slash + 1) : QString();
    declared.Filetype = stored.filetype;
    declared.Description = stored.description;
    declared.Comment = stored.comment;
    declared.GenerateMD5 = true;
    declared.Embedded = true;
    declared.UncompressedSize = int(file.content.size());
    declared.UncompressedMD5
        = QString::fromLatin1(QCryptographicHash::hash(file.content, QCryptographicHash::Md5).toHex());
    declared.CompressedMethod = QStringLiteral("flate");
    const QByteArray compressed = ContainerWriter::compress(file.content);
    declared.CompressedSize = int(compressed.size());
    declared.CompressedMD5 = QString::fromLatin1(QCryptographicHash::hash(compressed, QCryptographicHash::Md5).toHex());
    declared.FilePurpose = QStringLiteral("OutFile");
    return declared;
}

// Writes a container whose steps declare their files under the given paths;
// the markers hold the names alone, as the recording tool stores them.
bool buildSteps(const QString &path, const QList<Step> &steps, const QString &markerName = QString())
{
    QList<ContainerWriter::Section> sections;
    for (const Step &step : steps) {
        Summary summary;
        summary.Title = step.title;
        summary.Tool = QStringLiteral("tool");
        ContainerWriter::Section section = testcommon::containerSection(step.title, {});
        for (const StepFile &file : step.files) {
            const int slash = int(file.path.lastIndexOf('/'));
            // The writer refuses hostile names: a placeholder of the same
            // length is written and replaced in the bytes afterwards.
            const QString name = markerName.isNull() ? file.path.mid(slash + 1)
                                                     : QString(markerName.toUtf8().size(), QLatin1Char('Q'));
            ContainerWriter::File stored = testcommon::embeddedFile(name, file.content);
            section.files.append(stored);
            summary.files.append(declare(file, stored));
        }
        section.summary = traxo::SummaryWriter::writeSummaryUtf8(summary);
        // Stored as is, so that a patched name reaches the summary too.
        section.summaryCompression = ContainerWriter::None;
        sections.append(section);
    }
    if (!testcommon::buildContainer(path, sections))
        return false;
    if (markerName.isNull())
        return true;
    QByteArray bytes = testcommon::readFile(path);
    bytes.replace(QByteArray(markerName.toUtf8().size(), 'Q'), markerName.toUtf8());
    return testcommon::writeFile(path, bytes);
}

// Answers the message boxes that come up while a test runs, recording their
// texts; button is pressed when the box has it.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button, int interval = 20)
        : m_button(button)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts.append(box->text());
            titles.append(box->windowTitle());
            QAbstractButton *pressed = box->button(m_button);
            if (!pressed)
                pressed = box->buttons().value(0);
            pressed->click();
        });
        m_timer.start(interval);
    }
    void setButton(QMessageBox::StandardButton button) { m_button = button; }
    QStringList texts;
    QStringList titles;

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_button;
};

QTreeWidgetItem *findItem(QTreeWidgetItem *root, const QString &label)
{
    if (root->text(0) == label)
        return root;
    for (int i = 0; i < root->childCount(); ++i) {
        if (QTreeWidgetItem *found = findItem(root->child(i), label))
            return found;
    }
    return nullptr;
}

QTreeWidgetItem *findItem(OutlineTree *tree, const QString &label)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (QTreeWidgetItem *found = findItem(tree->topLevelItem(i), label))
            return found;
    }
    return nullptr;
}

bool sameIcon(const QIcon &icon, const QString &path)
{
    return !icon.isNull() && icon.pixmap(16, 16).toImage() == QIcon(path).pixmap(16, 16).toImage();
}

// Every item's icon state below root, as "label=valid|invalid|other".
void collectIcons(QTreeWidgetItem *item, QStringList *states)
{
    const int type = item->data(0, TagTypeRole).toInt();
    if (type != TagDirectory) {
        const QString prefix = type == TagSection ? ":/resources/section-" : ":/resources/file-";
        QString state = "other";
        if (sameIcon(item->icon(0), prefix + "valid.png"))
            state = "valid";
        else if (sameIcon(item->icon(0), prefix + "invalid.png"))
            state = "invalid";
        states->append(item->text(0) + "=" + state);
    }
    for (int i = 0; i < item->childCount(); ++i)
        collectIcons(item->child(i), states);
}

QStringList iconStates(OutlineTree *tree)
{
    QStringList states;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        collectIcons(tree->topLevelItem(i), &states);
    return states;
}

const QList<Step> TwoSteps = {
    { "acquire", { { "data/raw/a.nii", "AAAA" }, { "data/raw/b.nii", "BBBBBB" }, { "data/raw/sub/c.nii", "CC" } } },
    { "analyse", { { "report.txt", "the report" }, { "plots/p.png", "not really a png" } } },
};

} // namespace

class tst_UnTRAXOWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptyWindow();
    void outlineItemsAndIds();
    void outlineShowsRecordedTexts();
    void selectionTexts_data();
    void selectionTexts();
    void validationMarksEveryIcon_data();
    void validationMarksEveryIcon();
    void automaticValidationFollowsPreferences_data();
    void automaticValidationFollowsPreferences();
    void logFollowsPreference_data();
    void logFollowsPreference();
    void extractDialogStartsFromPreferences();
    void extractionOutlivesTemplateChangeAndAsksBeforeReload();
    void fileWithoutSectionsKeepsOutline();
    void exportNames_data();
    void exportNames();
    void unwritableExportIsLogged();
    void templateMenuRerenders();
    void extractDirectorySelection_data();
    void extractDirectorySelection();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void extractionStaysInsideTarget_data();
    void extractionStaysInsideTarget();
    void extractionReplacesLinkAtTarget();
    void missingTemplatesKeepTheWindow();
    void closeDuringExtractionAsks();
    void reloadWithControlU();
    void stopEndsTheWorkersAndValidatingAgainWorks();

private:
    UnTRAXOWindow *openWindow(const QString &container);
    void waitIdle(UnTRAXOWindow *window);
    QString templates() const { return QFINDTESTDATA("testdata/templates"); }

    QTemporaryDir m_dir;
    QList<QPointer<UnTRAXOWindow>> m_windows;
};

void tst_UnTRAXOWindow::init()
{
    Preferences::setBrowTemplate(QString());
    Preferences::setBrowZoomLevel(0);
    Preferences::setLogShow(0);
    Preferences::setValAutomaticFileValidation(ActionAlways);
    Preferences::setValAutomaticSectionValidation(ActionAlways);
}

void tst_UnTRAXOWindow::cleanup()
{
    for (const QPointer<UnTRAXOWindow> &window : m_windows)
        delete window.data();
    m_windows.clear();
}

UnTRAXOWindow *tst_UnTRAXOWindow::openWindow(const QString &container)
{
    auto *window = new UnTRAXOWindow(container, templates());
    m_windows.append(window);
    return window;
}

void tst_UnTRAXOWindow::waitIdle(UnTRAXOWindow *window)
{
    QTRY_VERIFY_WITH_TIMEOUT(
        window->validationState() == UnTRAXOWindow::Idle && window->extractionState() == UnTRAXOWindow::Idle, 10000);
}

void tst_UnTRAXOWindow::emptyWindow()
{
    UnTRAXOWindow *window = openWindow(QString());
    QCOMPARE(window->windowTitle(), QStringLiteral("View TRAXO File"));
    QCOMPARE(UnTRAXOWindow::windowName(), QStringLiteral("View TRAXO File"));
    QCOMPARE(UnTRAXOWindow::windowShortcut(), QStringLiteral("ctrl+T"));
    // The whole outline pane is gone, not only its tree.
    window->show();
    QVERIFY(!window->m_splitter->widget(0)->isVisible());
    QVERIFY(window->browser()->toPlainText().contains("drag & drop"));
    QCOMPARE(window->m_templateMenu->count(), 2);
    QVERIFY(!window->m_extractAction->isEnabled());
    QVERIFY(!window->m_validateAction->isEnabled());
    QCOMPARE(window->m_validateAction->shortcut(), QKeySequence("Ctrl+K"));
    QCOMPARE(window->m_extractAction->shortcut(), QKeySequence("Ctrl+L"));
    QStringList menus;
    for (QAction *action : window->menuBar()->actions())
        menus << action->text();
    QCOMPARE(menus.mid(0, 3), (QStringList { "&File", "&Edit", "View" }));
    QVERIFY(menus.indexOf("&Help") > menus.indexOf("View"));
}

void tst_UnTRAXOWindow::outlineItemsAndIds()
{
    const QString path = m_dir.filePath("two.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    OutlineTree *tree = window->m_outlineTree;
    QVERIFY(!tree->isHidden());
    QCOMPARE(window->windowTitle(), QStringLiteral("View TRAXO File - two.traxo"));
    QCOMPARE(tree->topLevelItemCount(), 2);
    QTreeWidgetItem *older = tree->topLevelItem(0);
    QCOMPARE(older->text(0), QStringLiteral("acquire"));
    QCOMPARE(older->data(0, TagTypeRole).toInt(), int(TagSection));
    QCOMPARE(older->data(0, TagIdRole).toInt(), 1);
    QCOMPARE(older->data(0, AnchorRole).toString(), QStringLiteral("sec:1"));
    QCOMPARE(tree->topLevelItem(1)->data(0, TagIdRole).toInt(), 0);

    QTreeWidgetItem *raw = findItem(tree, "data/raw/");
    QVERIFY(raw);
    QCOMPARE(raw->data(0, TagTypeRole).toInt(), int(TagDirectory));
    QCOMPARE(raw->parent()->text(0), QStringLiteral("<files>"));
    QTreeWidgetItem *a = findItem(raw, "a.nii");
    QVERIFY(a);
    QCOMPARE(a->data(0, TagIdRole).toInt(), 0);
    QCOMPARE(a->data(0, AnchorRole).toString(), QStringLiteral("file:1:0"));
    QCOMPARE(findItem(raw, "sub/")->child(0)->text(0), QStringLiteral("c.nii"));
    QCOMPARE(window->getFullpathForTreeNode(findItem(raw, "sub/")), QStringLiteral("data/raw/sub/"));
    QVERIFY(window->html().contains("Step: acquire"));
    QVERIFY(window->browser()->toPlainText().contains("History of"));
}

void tst_UnTRAXOWindow::outlineShowsRecordedTexts()
{
    // The summary stores these as entities; the outline shows the text.
    const QString title = QStringLiteral("A & <b>bold</b> \"q\" $5 Müller µm → 測試");
    const QString path = m_dir.filePath("texts.traxo");
    QVERIFY(buildSteps(path, { { title, { { "R&D/a&b.txt", "x" } } } }));
    UnTRAXOWindow *window = openWindow(path);
    QCOMPARE(window->m_outlineTree->topLevelItem(0)->text(0), title);
    QTreeWidgetItem *directory = findItem(window->m_outlineTree, "R&D/");
    QVERIFY(directory);
    QVERIFY(findItem(directory, "a&b.txt"));
}

void tst_UnTRAXOWindow::selectionTexts_data()
{
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QString>("extractText");
    QTest::addColumn<bool>("extractEnabled");
    QTest::addColumn<QString>("validateText");
    QTest::addColumn<bool>("validateEnabled");
    QTest::addRow("nothing selected") << QStringList {} << "Extract 0 Files..." << false << "Validate 0 Items..."
                                      << false;
    QTest::addRow("one file") << QStringList { "a.nii" } << "Extract 1 File..." << true << "Validate 1 Item..." << true;
    QTest::addRow("three files") << QStringList { "a.nii", "b.nii", "report.txt" } << "Extract 3 Files..." << true
                                 << "Validate 3 Items..." << true;
    QTest::addRow("directory counts the files below it")
        << QStringList { "data/raw/" } << "Extract 3 Files..." << true << "Validate 3 Items..." << true;
    QTest::addRow("file inside a selected directory counts once")
        << QStringList { "data/raw/", "a.nii" } << "Extract 3 Files..." << true << "Validate 3 Items..." << true;
    QTest::addRow("section alone validates only")
        << QStringList { "acquire" } << "Extract 0 Files..." << false << "Validate 1 Item..." << true;
}

void tst_UnTRAXOWindow::selectionTexts()
{
    QFETCH(QStringList, labels);
    QFETCH(QString, extractText);
    QFETCH(bool, extractEnabled);
    QFETCH(QString, validateText);
    QFETCH(bool, validateEnabled);
    const QString path = m_dir.filePath("select.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    window->m_outlineTree->clearSelection();
    for (const QString &label : labels)
        findItem(window->m_outlineTree, label)->setSelected(true);
    QCOMPARE(window->m_extractAction->text(), extractText);
    QCOMPARE(window->m_extractAction->isEnabled(), extractEnabled);
    QCOMPARE(window->m_validateAction->text(), validateText);
    QCOMPARE(window->m_validateAction->isEnabled(), validateEnabled);
    // The outline's context menu mirrors the window's actions.
    QList<QAction *> menuActions = window->m_outlineTree->contextMenu()->actions();
    QCOMPARE(menuActions.at(0)->text(), extractText);
    QCOMPARE(menuActions.at(1)->text(), validateText);
}

void tst_UnTRAXOWindow::validationMarksEveryIcon_data()
{
    QTest::addColumn<bool>("damage");
    QTest::addRow("good container") << false;
    QTest::addRow("one damaged file") << true;
}

void tst_UnTRAXOWindow::validationMarksEveryIcon()
{
    QFETCH(bool, damage);
    const QString path = m_dir.filePath("icons.traxo");
    const QList<Step> steps = { { "only", { { "x/big.bin", QByteArray(300000, 'q') }, { "x/small.bin", "tiny" } } } };
    QVERIFY(buildSteps(path, steps));
    if (damage) {
        // Flip one byte in the middle of big.bin's stored stream.
        traxo::TraxoParser parser;
        QVERIFY(parser.open(path));
        const traxo::FileTag big = parser.getFiles().at(0);
        const int at = big.position + big.taglen + big.offset + big.cfilesize / 2;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(at);
        char byte = 0;
        file.getChar(&byte);
        file.seek(at);
        file.putChar(char(byte ^ 0x55));
    }
    UnTRAXOWindow *window = openWindow(path);
    // The check starts by itself.
    QCOMPARE(window->validationState(), int(UnTRAXOWindow::Running));
    QVERIFY(!window->m_progress->isHidden());
    waitIdle(window);
    QVERIFY(window->m_progress->isHidden());
    QVERIFY(window->m_stopButton->isHidden());
    const QStringList expected = damage
        ? QStringList { "only=invalid", "ws_summary.xml=valid", "big.bin=invalid", "small.bin=valid" }
        : QStringList { "only=valid", "ws_summary.xml=valid", "big.bin=valid", "small.bin=valid" };
    QCOMPARE(iconStates(window->m_outlineTree), expected);
}

void tst_UnTRAXOWindow::automaticValidationFollowsPreferences_data()
{
    QTest::addColumn<int>("sections");
    QTest::addColumn<int>("files");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("files never") << int(ActionAlways) << int(ActionNever)
                                 << QStringList { "only=valid", "ws_summary.xml=other", "big.bin=other",
                                        "small.bin=other" };
    QTest::addRow("sections never") << int(ActionNever) << int(ActionAlways)
                                    << QStringList { "only=other", "ws_summary.xml=valid", "big.bin=valid",
                                           "small.bin=valid" };
    QTest::addRow("files below 1 MB") << int(ActionAlways) << int(ActionDependsOnSize)
                                      << QStringList { "only=valid", "ws_summary.xml=valid", "big.bin=other",
                                             "small.bin=valid" };
}

void tst_UnTRAXOWindow::automaticValidationFollowsPreferences()
{
    QFETCH(int, sections);
    QFETCH(int, files);
    Preferences::setValAutomaticSectionValidation(sections);
    Preferences::setValAutomaticFileValidation(files);
    Preferences::setValAFVLimit(1);
    const QString path = m_dir.filePath("prefs.traxo");
    const QList<Step> steps = { { "only", { { "x/big.bin", QByteArray(1536 * 1024, 'q') }, { "x/small.bin", "t" } } } };
    QVERIFY(buildSteps(path, steps));
    UnTRAXOWindow *window = openWindow(path);
    waitIdle(window);
    QTEST(iconStates(window->m_outlineTree), "expected");
}

void tst_UnTRAXOWindow::logFollowsPreference_data()
{
    QTest::addColumn<int>("show");
    QTest::addRow("Show") << 1;
    QTest::addRow("Hide") << 0;
}

void tst_UnTRAXOWindow::logFollowsPreference()
{
    QFETCH(int, show);
    Preferences::setLogShow(show);
    const QString path = m_dir.filePath("log.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    window->show();
    QCOMPARE(window->m_log->isVisible(), show == 1);
    QCOMPARE(window->m_actionShow_log->isChecked(), show == 1);
    QVERIFY(window->m_outlineTree->isVisible());
}

void tst_UnTRAXOWindow::extractDialogStartsFromPreferences()
{
    QTemporaryDir stored;
    Preferences::setExtrDefaultDirectory(1);
    Preferences::setExtrLastDirectory(stored.path());
    Preferences::setExtrAskBeforeOverwrite(0);
    Preferences::setExtrValidateFiles(1);
    Preferences::setExtrValidateAfter(ActionAlways);
    Preferences::setExtrNumberFiles(0);
    const QString path = m_dir.filePath("dialog.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    findItem(window->m_outlineTree, "report.txt")->setSelected(true);

    QString directory;
    QList<bool> boxes;
    QTimer::singleShot(50, this, [&] {
        auto *dialog = qobject_cast<ExtractDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        directory = dialog->m_extractDirectoryEdit->text();
        boxes = { dialog->m_askCheck->isChecked(), dialog->m_validateCheck->isChecked(),
            dialog->m_adjustNamesCheck->isChecked() };
        dialog->reject();
    });
    QMetaObject::invokeMethod(window, "extractSelected");
    QCOMPARE(directory, QDir(stored.path()).absolutePath());
    QCOMPARE(boxes, (QList<bool> { false, true, false }));
    Preferences::setExtrDefaultDirectory(0);
}

void tst_UnTRAXOWindow::extractionOutlivesTemplateChangeAndAsksBeforeReload()
{
    const QString path = m_dir.filePath("busy.traxo");
    // Incompressible, so that the extraction takes dozens of slices.
    QByteArray big(8 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32 *>(big.data()), big.size() / 4);
    QVERIFY(buildSteps(path, { { "big", { { "big.bin", big } } } }));
    UnTRAXOWindow *window = openWindow(path);
    findItem(window->m_outlineTree, "big.bin")->setSelected(true);
    QTemporaryDir target;
    window->extractSelectedTo(target.path(), false, false);
    QCOMPARE(window->extractionState(), int(UnTRAXOWindow::Running));

    window->m_templateMenu->setCurrentIndex(1);
    QVERIFY(window->html().contains("The second template"));
    QCOMPARE(window->extractionState(), int(UnTRAXOWindow::Running));
    {
        BoxAnswerer answerer(QMessageBox::No, 1);
        QTest::keyClick(window, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(answerer.titles, QStringList { "extraction is running" });
    }
    QCOMPARE(window->extractionState(), int(UnTRAXOWindow::Running));
    waitIdle(window);
    QCOMPARE(QFileInfo(target.filePath("big.bin")).size(), big.size());
}

void tst_UnTRAXOWindow::fileWithoutSectionsKeepsOutline()
{
    const QString good = m_dir.filePath("good.traxo");
    QVERIFY(buildSteps(good, TwoSteps));
    const QString empty = m_dir.filePath("empty.traxo");
    QFile::remove(empty);
    {
        ContainerWriter writer;
        QVERIFY(writer.create(empty));
    }
    UnTRAXOWindow *window = openWindow(good);
    const QString html = window->html();
    BoxAnswerer answerer(QMessageBox::Ok);
    window->setTRAXOFile(empty);
    QCOMPARE(answerer.texts, QStringList { QString("\"%1\"\ndoes not appear to be a TRAXO file, sorry.").arg(empty) });
    QCOMPARE(answerer.titles, QStringList { "TRAXO" });
    QCOMPARE(window->m_outlineTree->topLevelItemCount(), 2);
    QCOMPARE(window->m_outlineTree->topLevelItem(0)->text(0), QStringLiteral("acquire"));
    QCOMPARE(window->html(), html);
}

void tst_UnTRAXOWindow::exportNames_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("start");
    QTest::addRow("html gets .htm") << "html"
                                    << "report"
                                    << "report.htm" << QByteArray("<!DOCTYPE");
    QTest::addRow("html keeps .html") << "html"
                                      << "report.html"
                                      << "report.html" << QByteArray("<!DOCTYPE");
    QTest::addRow("raw html keeps .htm") << "raw"
                                         << "raw.htm"
                                         << "raw.htm" << QByteArray("<html><body><h1>History");
    QTest::addRow("raw html suffix is case-sensitive") << "raw"
                                                       << "raw.HTM"
                                                       << "raw.HTM.htm" << QByteArray("<html>");
    QTest::addRow("text gets .txt") << "text"
                                    << "notes"
                                    << "notes.txt" << QByteArray("History of");
    QTest::addRow("pdf suffix is case-sensitive") << "pdf"
                                                  << "a.PDF"
                                                  << "a.PDF.pdf" << QByteArray("%PDF");
    QTest::addRow("pdf keeps .pdf") << "pdf"
                                    << "b.pdf"
                                    << "b.pdf" << QByteArray("%PDF");
}

void tst_UnTRAXOWindow::exportNames()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QString, written);
    QFETCH(QByteArray, start);
    const QString path = m_dir.filePath("export.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    QTemporaryDir out;
    const QString target = out.filePath(name);
    bool ok = false;
    if (kind == "html")
        ok = window->exportAsHtml(target);
    else if (kind == "raw")
        ok = window->exportAsRawHtml(target);
    else if (kind == "text")
        ok = window->exportAsPlainText(target);
    else
        ok = window->exportAsPdf(target);
    QVERIFY(ok);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList { written });
    const QByteArray bytes = testcommon::readFile(out.filePath(written));
    QVERIFY2(bytes.trimmed().startsWith(start), bytes.left(40).constData());
    // The screen rendering is left as it was.
    QCOMPARE(window->browser()->zoom(), 0);
}

void tst_UnTRAXOWindow::unwritableExportIsLogged()
{
    const QString path = m_dir.filePath("export.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    QVERIFY(!window->exportAsHtml(m_dir.filePath("no/such/dir/x")));
    QVERIFY(window->m_log->textBrowser()->toPlainText().contains("*** ERROR: file could not be opened for writing."));
    QVERIFY(!window->exportAsPdf(m_dir.filePath("no/such/dir/x")));
}

void tst_UnTRAXOWindow::templateMenuRerenders()
{
    const QString path = m_dir.filePath("menu.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    QCOMPARE(window->m_templateMenu->currentText(), QStringLiteral("plain.htm"));
    QVERIFY(window->html().contains("End of history"));
    window->m_templateMenu->setCurrentIndex(1);
    QVERIFY(window->html().contains("The second template"));
    QCOMPARE(Preferences::browTemplate(), QStringLiteral("second.htm"));
}

void tst_UnTRAXOWindow::extractDirectorySelection_data()
{
    QTest::addColumn<bool>("adjust");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("written");
    QTest::addRow("without mask keeps the directory below its parent")
        << false << QString() << QStringList { "raw/a.nii", "raw/b.nii", "raw/sub/c.nii" };
    QTest::addRow("with mask numbers the files")
        << true << "%*d-%f" << QStringList { "raw/1-a.nii", "raw/2-b.nii", "raw/sub/3-c.nii" };
}

void tst_UnTRAXOWindow::extractDirectorySelection()
{
    QFETCH(bool, adjust);
    QFETCH(QString, mask);
    QFETCH(QStringList, written);
    const QString path = m_dir.filePath("extract.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    waitIdle(window);
    window->m_outlineTree->clearSelection();
    findItem(window->m_outlineTree, "data/raw/")->setSelected(true);
    QTemporaryDir target;
    window->extractSelectedTo(target.path(), false, true, adjust, mask);
    waitIdle(window);
    QStringList found;
    QDirIterator it(target.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(target.path()).relativeFilePath(it.next());
    found.sort();
    QCOMPARE(found, written);
    QCOMPARE(testcommon::readFile(target.filePath(written.at(0))), QByteArray("AAAA"));
    QCOMPARE(testcommon::readFile(target.filePath(written.at(2))), QByteArray("CC"));
    const QString log = window->m_log->textBrowser()->toPlainText();
    QVERIFY2(log.contains("Checksum of file " + target.filePath(written.at(1)) + " is correct"), qPrintable(log));
}

void tst_UnTRAXOWindow::overwriteQuestion_data()
{
    QTest::addColumn<bool>("ask");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("questions");
    QTest::addRow("answer no keeps the file") << true << int(QMessageBox::No) << QByteArray("old") << 1;
    QTest::addRow("answer yes overwrites") << true << int(QMessageBox::Yes) << QByteArray("the report") << 1;
    QTest::addRow("without asking overwrites") << false << int(QMessageBox::No) << QByteArray("the report") << 0;
}

void tst_UnTRAXOWindow::overwriteQuestion()
{
    QFETCH(bool, ask);
    QFETCH(int, answer);
    QFETCH(QByteArray, content);
    QFETCH(int, questions);
    const QString path = m_dir.filePath("overwrite.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    QTemporaryDir target;
    QVERIFY(testcommon::writeFile(target.filePath("report.txt"), "old"));
    window->m_outlineTree->clearSelection();
    findItem(window->m_outlineTree, "report.txt")->setSelected(true);
    BoxAnswerer answerer { QMessageBox::StandardButton(answer) };
    window->extractSelectedTo(target.path(), ask, false);
    waitIdle(window);
    QCOMPARE(answerer.texts.size(), questions);
    if (questions > 0) {
        QCOMPARE(answerer.titles.first(), QStringLiteral("Overwrite File?"));
        QCOMPARE(answerer.texts.first(),
            QString("The file %1 does already exist. Do you want to overwrite it?").arg(target.filePath("report.txt")));
    }
    QCOMPARE(testcommon::readFile(target.filePath("report.txt")), content);
}

void tst_UnTRAXOWindow::extractionStaysInsideTarget_data()
{
    QTest::addColumn<QString>("recordedPath");
    QTest::addColumn<QString>("markerName");
    QTest::addColumn<QString>("written");
    QTest::addRow("parent steps in the marker name") << "d/x.txt"
                                                     << "../../escape.txt"
                                                     << "d/escape.txt";
    QTest::addRow("absolute marker name") << "d/x.txt"
                                          << "/tmp/abs.txt"
                                          << "d/abs.txt";
    QTest::addRow("drive letter") << "d/x.txt"
                                  << "C:win.ini"
                                  << "d/C_win.ini";
    QTest::addRow("name of dots only") << "d/x.txt"
                                       << ".."
                                       << "d/_..";
    QTest::addRow("parent steps in the recorded path") << "../../d/x.txt" << QString() << "d/x.txt";
    QTest::addRow("recorded path with a drive") << "C:/d/x.txt" << QString() << "d/x.txt";
}

void tst_UnTRAXOWindow::extractionStaysInsideTarget()
{
    QFETCH(QString, recordedPath);
    QFETCH(QString, markerName);
    QFETCH(QString, written);
    const QString path = m_dir.filePath("hostile.traxo");
    QVERIFY(buildSteps(path, { { "hostile", { { recordedPath, "payload" } } } }, markerName));
    UnTRAXOWindow *window = openWindow(path);
    waitIdle(window);
    window->m_outlineTree->clearSelection();
    // Select the outermost directory of the recorded path.
    QTreeWidgetItem *files = window->m_outlineTree->topLevelItem(0)->child(0);
    QTreeWidgetItem *directory = files;
    for (int i = 0; i < files->childCount(); ++i) {
        if (files->child(i)->data(0, TagTypeRole).toInt() == TagDirectory)
            directory = files->child(i);
    }
    directory->setSelected(true);
    QTemporaryDir outer;
    const QString target = outer.filePath("a/b/target");
    QVERIFY(QDir().mkpath(target));
    window->extractSelectedTo(target, false, false);
    waitIdle(window);
    QStringList everything;
    QDirIterator it(outer.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        everything << QDir(outer.path()).relativeFilePath(it.next());
    QCOMPARE(everything.size(), 1);
    QVERIFY2(everything.first().startsWith("a/b/target/"), qPrintable(everything.first()));
    QCOMPARE(everything.first().mid(QString("a/b/target/").size()).section('/', -1), written.section('/', -1));
    QCOMPARE(testcommon::readFile(outer.filePath(everything.first())), QByteArray("payload"));
}

void tst_UnTRAXOWindow::extractionReplacesLinkAtTarget()
{
    const QString path = m_dir.filePath("link.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    QTemporaryDir target;
    QTemporaryDir outside;
    const QString victim = outside.filePath("victim.txt");
    QVERIFY(testcommon::writeFile(victim, "keep me"));
    QVERIFY(QFile::link(victim, target.filePath("report.txt")));
    window->m_outlineTree->clearSelection();
    findItem(window->m_outlineTree, "report.txt")->setSelected(true);
    window->extractSelectedTo(target.path(), false, false);
    waitIdle(window);
    QCOMPARE(testcommon::readFile(victim), QByteArray("keep me"));
    QVERIFY(!QFileInfo(target.filePath("report.txt")).isSymLink());
    QCOMPARE(testcommon::readFile(target.filePath("report.txt")), QByteArray("the report"));
}

void tst_UnTRAXOWindow::missingTemplatesKeepTheWindow()
{
    QTemporaryDir noTemplates;
    const QString path = m_dir.filePath("notemplates.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    BoxAnswerer answerer(QMessageBox::Ok);
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    auto *window = new UnTRAXOWindow(path, noTemplates.path());
    m_windows.append(window);
    window->show();
    QTRY_COMPARE(answerer.texts.size(), 1);
    QCOMPARE(answerer.titles.first(), QStringLiteral("TRAXO"));
    QCOMPARE(answerer.texts.first(), QString("No templates have been found in dir:\n\"%1\"").arg(noTemplates.path()));
    QTest::qWait(50);
    QVERIFY(window->isVisible());
    QCOMPARE(quitting.count(), 0);
    QVERIFY(window->html().isEmpty());
    // Opening again does not pile up more boxes.
    window->setTRAXOFile(path);
    QTest::qWait(100);
    QCOMPARE(answerer.texts.size(), 1);
}

void tst_UnTRAXOWindow::closeDuringExtractionAsks()
{
    const QString path = m_dir.filePath("close.traxo");
    // Incompressible, so that the extraction takes hundreds of slices.
    QByteArray big(24 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(big.data()), big.size() / 4);
    QVERIFY(buildSteps(path, { { "big", { { "big.bin", big } } } }));
    UnTRAXOWindow *window = openWindow(path);
    window->show();
    window->m_outlineTree->clearSelection();
    findItem(window->m_outlineTree, "big.bin")->setSelected(true);
    QTemporaryDir target;
    window->extractSelectedTo(target.path(), false, false);
    QCOMPARE(window->extractionState(), int(UnTRAXOWindow::Running));
    BoxAnswerer answerer(QMessageBox::No, 1);
    QVERIFY(!window->close());
    QCOMPARE(answerer.titles, QStringList { "extraction is running" });
    QVERIFY(window->isVisible());
    QCOMPARE(window->extractionState(), int(UnTRAXOWindow::Running));
    answerer.setButton(QMessageBox::Yes);
    QPointer<UnTRAXOWindow> guard(window);
    QVERIFY(window->close());
    QCOMPARE(window->extractionState(), int(UnTRAXOWindow::Idle));
}

void tst_UnTRAXOWindow::reloadWithControlU()
{
    const QString path = m_dir.filePath("reload.traxo");
    QVERIFY(buildSteps(path, TwoSteps));
    UnTRAXOWindow *window = openWindow(path);
    QVERIFY(buildSteps(path, { { "replaced", { { "new.txt", "n" } } } }));
    QTest::keyClick(window, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(window->m_outlineTree->topLevelItemCount(), 1);
    QCOMPARE(window->m_outlineTree->topLevelItem(0)->text(0), QStringLiteral("replaced"));
}

void tst_UnTRAXOWindow::stopEndsTheWorkersAndValidatingAgainWorks()
{
    const QString path = m_dir.filePath("stop.traxo");
    // Inflating and hashing 64 MiB takes far longer than one slice.
    QVERIFY(buildSteps(path, { { "big", { { "big.bin", QByteArray(64 << 20, 'q') } } } }));
    UnTRAXOWindow *window = openWindow(path);
    window->show();
    QElapsedTimer waited;
    waited.start();
    while (traxo::ValidationSweep::runningThreads() == 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QVERIFY(traxo::ValidationSweep::runningThreads() > 0);
    QTest::mouseClick(window->m_stopButton, Qt::LeftButton);
    QCOMPARE(traxo::ValidationSweep::runningThreads(), 0);
    QCOMPARE(window->validationState(), int(UnTRAXOWindow::Idle));
    QVERIFY(window->m_stopButton->isHidden());
    QVERIFY(iconStates(window->m_outlineTree).contains("big.bin=other"));

    window->m_outlineTree->selectAll();
    window->m_validateAction->trigger();
    waitIdle(window);
    QCOMPARE(iconStates(window->m_outlineTree), (QStringList { "big=valid", "big.bin=valid", "ws_summary.xml=valid" }));
    QCOMPARE(traxo::ValidationSweep::runningThreads(), 0);
}

QTEST_MAIN(tst_UnTRAXOWindow)
#include "tst_untraxowindow.moc"
