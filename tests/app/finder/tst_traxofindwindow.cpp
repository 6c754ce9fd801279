#include "finder/queryeditor.h"
#include "finder/traxofindwindow.h"
#include "findfixture.h"
#include "frame/findtextbrowser.h"
#include "frame/helpviewer.h"
#include "frame/windowlist.h"
#include "messageboxanswerer.h"
#include "recordinghelpviewer.h"
#include "viewer/untraxowindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

namespace {

template<class T>
T *part(const TraxoFindWindow &window, const char *name)
{
    T *widget = window.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("the finder has no %s", name);
    return widget;
}

QTextBrowser *browserOf(const TraxoFindWindow &window)
{
    return part<FindTextBrowser>(window, "m_resultsBrowser")->textBrowser();
}

QString statusOf(const TraxoFindWindow &window)
{
    return part<QLabel>(window, "m_statusLabel")->text();
}

// Hits as paths relative to root, each followed by its binding lines as
// "<path>: <line>", sorted since the walk keeps the file system's order.
// Every link must point at the path it shows.
QStringList resultsOf(const TraxoFindWindow &window, const QString &root)
{
    QStringList results;
    QString hit;
    const QTextDocument *document = browserOf(window)->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text().trimmed();
        if (text.isEmpty())
            continue;
        const QTextCharFormat format = block.begin().fragment().charFormat();
        if (format.isAnchor()) {
            if (format.anchorHref() != QStringLiteral("traxofile://") + text)
                return { QStringLiteral("bad link %1 for %2").arg(format.anchorHref(), text) };
            hit = QDir(root).relativeFilePath(text);
            results.append(hit);
        } else {
            results.append(hit + QStringLiteral(": ") + text);
        }
    }
    results.sort();
    return results;
}

void startSearch(TraxoFindWindow &window, const QString &query, const QString &directory, bool invert = false)
{
    part<QueryEditor>(window, "m_queryEditor")->setQuery(query);
    part<QComboBox>(window, "m_dirCombo")->setEditText(directory);
    part<QCheckBox>(window, "m_invertQueryBox")->setChecked(invert);
    QTest::mouseClick(part<QPushButton>(window, "m_findButton"), Qt::LeftButton);
}

// Clicks the first link whose target begins with href, where a user would.
bool clickLink(TraxoFindWindow &window, const QString &href)
{
    QTextBrowser *browser = browserOf(window);
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().anchorHref().startsWith(href))
                continue;
            QTextCursor cursor(browser->document());
            cursor.setPosition(fragment.position() + fragment.length() / 2);
            browser->ensureCursorVisible();
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(cursor).center());
            return true;
        }
    }
    return false;
}

} // namespace

class tst_TraxoFindWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void search_data();
    void search();
    void enterAndFind_data();
    void enterAndFind();
    void newSearchReplacesTheRunningOne();
    void closingEndsTheSearch();
    void resultLinkOpensAViewer_data();
    void resultLinkOpensAViewer();
    void helpLinksOpenTheirPages();
    void browseForDir_data();
    void browseForDir();
    void factoryReadsItsOptions_data();
    void factoryReadsItsOptions();

private:
    QTemporaryDir m_root;
    QString m_three;
};

void tst_TraxoFindWindow::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_three = m_root.filePath("three");
    QVERIFY(findfixture::writeThreeContainers(m_three));
    QVERIFY(findfixture::writeThreeContainers(m_root.filePath("damaged")));
    QVERIFY(findfixture::writeDamagedFile(m_root.filePath("damaged/broken.pdf")));
    QVERIFY(findfixture::writeBytes(m_root.filePath("damaged/cut.traxo"), "%<--! $TRAXO_P"));
    QVERIFY(QDir().mkpath(m_root.filePath("empty")));
    for (int i = 0; i < 6; ++i)
        QVERIFY(findfixture::writeContainer(m_root.filePath("six/%1.traxo").arg(i), { "Fit", "fitter", {} }));
    QVERIFY(findfixture::writeContainer(m_root.filePath("marked/fit.traxo"), { "Fit & plot <b>2</b>", "fitter", {} }));
    QVERIFY(findfixture::writeContainer(m_root.filePath("odd/with blank #1/100%.traxo"), { "Fit", "fitter", {} }));
}

void tst_TraxoFindWindow::search_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QString>("status");

    const QStringList fit { "fit.traxo", "fit.traxo: s = workflowstep: Fit the curve" };
    const QStringList others { "smooth.traxo", "sub/plot.pdf" };
    QTest::addRow("one of three matches: a link with its binding line")
        << "three"
        << "s:tool == fitter" << false << fit << "3/3 files checked";
    QTest::addRow("Invert Results lists the other two") << "three"
                                                        << "s:tool == fitter" << true << others << "3/3 files checked";
    QTest::addRow("a damaged file is no hit") << "damaged"
                                              << "s:tool == fitter" << false << fit << "5/5 files checked";
    QTest::addRow("a damaged file is no inverted hit either")
        << "damaged"
        << "s:tool == fitter" << true << others << "5/5 files checked";
    QTest::addRow("plain words: a link without binding lines")
        << "three"
        << "Preprocessing Postprocessing" << false << QStringList { "smooth.traxo" } << "3/3 files checked";
    QTest::addRow("a binding in a subdirectory")
        << "three"
        << "f:filename == plot.png" << false << QStringList { "sub/plot.pdf", "sub/plot.pdf: f = file: plot.png" }
        << "3/3 files checked";
    QTest::addRow("markup in a step title shown as text")
        << "marked"
        << "s:tool == fitter" << false
        << QStringList { "fit.traxo", "fit.traxo: s = workflowstep: Fit & plot <b>2</b>" } << "1/1 files checked";
    QTest::addRow("no container in the directory") << "empty"
                                                   << "fitter" << false << QStringList() << "0/0 files checked";
    QTest::addRow("missing directory is named")
        << "missing"
        << "fitter" << false << QStringList() << "\"%1\" is not a readable directory.";
}

void tst_TraxoFindWindow::search()
{
    QFETCH(QString, directory);
    QFETCH(QString, query);
    QFETCH(bool, invert);
    QFETCH(QStringList, results);
    QFETCH(QString, status);

    const QString path = m_root.filePath(directory);
    TraxoFindWindow window;
    startSearch(window, query, path, invert);
    QTRY_VERIFY(!window.isSearching());
    QCOMPARE(resultsOf(window, path), results);
    QCOMPARE(statusOf(window), status.replace(QLatin1String("%1"), path));
    // Every search lists its directory in the combo box.
    QComboBox *combo = part<QComboBox>(window, "m_dirCombo");
    QCOMPARE(combo->itemText(combo->count() - 1), path);
}

void tst_TraxoFindWindow::enterAndFind_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("useReturn"); // else the Find button
    QTest::addColumn<bool>("searches");
    QTest::addColumn<QString>("message"); // shown under the query; empty: none

    const QString quote = QStringLiteral("Error while reading text at position 10");
    QTest::addRow("Return runs a valid query") << "s:tool == fitter" << true << true << "";
    QTest::addRow("Return ignores a query with an error") << "s:tool == 'fitter" << true << false << quote;
    QTest::addRow("Find is disabled for a query with an error") << "s:tool == 'fitter" << false << false << quote;
    QTest::addRow("Find runs a query with a warning")
        << "x:user:Temp > 30" << false << true << "warning at pos 12: operator > requires";
}

void tst_TraxoFindWindow::enterAndFind()
{
    QFETCH(QString, query);
    QFETCH(bool, useReturn);
    QFETCH(bool, searches);

    QFETCH(QString, message);

    TraxoFindWindow window(query, m_three);
    QPushButton *find = part<QPushButton>(window, "m_findButton");
    QCOMPARE(find->isEnabled(), searches);
    const QLabel *shown = part<QLabel>(window, "m_queryMessageLabel");
    QCOMPARE(!shown->isHidden(), !message.isEmpty());
    QVERIFY2(message.isEmpty() || shown->text().startsWith(message), qPrintable(shown->text()));
    if (useReturn)
        QTest::keyClick(part<QueryEditor>(window, "m_queryEditor")->textField(), Qt::Key_Return);
    else
        QTest::mouseClick(find, Qt::LeftButton);
    QCOMPARE(part<QueryEditor>(window, "m_queryEditor")->query(), query);
    if (searches) {
        QTRY_COMPARE(statusOf(window), QStringLiteral("3/3 files checked"));
    } else {
        QTest::qWait(20);
        QCOMPARE(statusOf(window), QString());
        QVERIFY(browserOf(window)->toPlainText().contains("search terms"));
    }
}

void tst_TraxoFindWindow::newSearchReplacesTheRunningOne()
{
    TraxoFindWindow window;
    window.setSliceMilliseconds(0); // one container per slice
    startSearch(window, QStringLiteral("fitter"), m_root.filePath("six"));
    QVERIFY(window.isSearching());
    QCoreApplication::sendPostedEvents(&window, QEvent::MetaCall); // the first slice only
    QCOMPARE(statusOf(window), QStringLiteral("1/6 files checked"));
    QCOMPARE(resultsOf(window, m_root.filePath("six")).size(), 1);

    startSearch(window, QStringLiteral("s:tool == smoother"), m_three);
    QTRY_VERIFY(!window.isSearching());
    QCOMPARE(resultsOf(window, m_three),
        QStringList({ "smooth.traxo", "smooth.traxo: s = workflowstep: Preprocessing before Postprocessing" }));
    QCOMPARE(statusOf(window), QStringLiteral("3/3 files checked"));
}

void tst_TraxoFindWindow::closingEndsTheSearch()
{
    TraxoFindWindow window;
    window.setSliceMilliseconds(0);
    window.show();
    startSearch(window, QStringLiteral("fitter"), m_root.filePath("six"));
    QCoreApplication::sendPostedEvents(&window, QEvent::MetaCall);
    window.close();
    QTRY_VERIFY(!window.isSearching());
    QTest::qWait(20);
    QCOMPARE(statusOf(window), QStringLiteral("1/6 files checked"));

    // A window that deletes itself on close leaves no slice behind.
    QPointer<TraxoFindWindow> deleted = new TraxoFindWindow;
    deleted->setAttribute(Qt::WA_DeleteOnClose);
    deleted->setSliceMilliseconds(0);
    deleted->show();
    startSearch(*deleted, QStringLiteral("fitter"), m_root.filePath("six"));
    deleted->close();
    QTRY_VERIFY(deleted.isNull());
    QTest::qWait(20);
}

void tst_TraxoFindWindow::resultLinkOpensAViewer_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("container");

    QTest::addRow("a plain path") << "three"
                                  << "three/fit.traxo";
    QTest::addRow("blank, hash and percent in the path") << "odd"
                                                         << "odd/with blank #1/100%.traxo";
}

void tst_TraxoFindWindow::resultLinkOpensAViewer()
{
    QFETCH(QString, directory);
    QFETCH(QString, container);

    WindowList list;
    WindowList::setGlobalInstance(&list);
    list.registerWindowType(
        WindowType::fromClass<UnTRAXOWindow>({ "traxo", "pdf" }, &UnTRAXOWindow::createUnTRAXOWindow));

    TraxoFindWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    startSearch(window, QStringLiteral("s:tool == fitter"), m_root.filePath(directory));
    QTRY_VERIFY(!window.isSearching());
    QVERIFY(clickLink(window, QStringLiteral("traxofile:")));
    QTRY_COMPARE(list.windowCount(), 1);
    auto *viewer = qobject_cast<UnTRAXOWindow *>(list.windows().first());
    QVERIFY(viewer);
    QCOMPARE(QFileInfo(viewer->currentFile()).canonicalFilePath(),
        QFileInfo(m_root.filePath(container)).canonicalFilePath());

    list.removeAllWindows();
    QTRY_COMPARE(list.windowCount(), 0);
    WindowList::setGlobalInstance(nullptr);
}

void tst_TraxoFindWindow::helpLinksOpenTheirPages()
{
    RecordingHelpViewer help;
    HelpViewer::setGlobalInstance(&help);
    TraxoFindWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(clickLink(window, QStringLiteral("doc://traxo-usage.htm#")));
    part<QAction>(window, "m_helpContent")->trigger();
    HelpViewer::setGlobalInstance(nullptr);

    QCOMPARE(help.opened.size(), 2);
    QCOMPARE(help.opened.at(0).toLocalFile(), HelpViewer::getDocPath("traxo-usage.htm"));
    QCOMPARE(help.opened.at(0).fragment(), QStringLiteral("sec:query"));
    QCOMPARE(help.opened.at(1).toLocalFile(), HelpViewer::getDocPath("traxofind.html"));
    QVERIFY(!help.opened.at(1).hasFragment());
}

void tst_TraxoFindWindow::browseForDir_data()
{
    QTest::addColumn<bool>("choose");

    QTest::addRow("a chosen directory is listed and shown") << true;
    QTest::addRow("a cancelled dialog changes nothing") << false;
}

void tst_TraxoFindWindow::browseForDir()
{
    QFETCH(bool, choose);

    TraxoFindWindow window(QString(), m_three);
    QComboBox *combo = part<QComboBox>(window, "m_dirCombo");
    const int listed = combo->count();
    const QString chosen = m_root.filePath("six");
    MessageBoxAnswerer answerer(QString(), choose ? chosen : QString());
    window.browseForDir();
    QCOMPARE(answerer.fileDialogs, 1);
    QCOMPARE(combo->currentText(), choose ? chosen : m_three);
    QCOMPARE(combo->count(), listed + (choose ? 1 : 0));
}

void tst_TraxoFindWindow::factoryReadsItsOptions_data()
{
    QTest::addColumn<QVariantHash>("options");
    QTest::addColumn<bool>("findEnabled");

    QTest::addRow("query and directory") << QVariantHash { { "Query", "s:tool == fitter" }, { "Directory", "/data" } }
                                         << true;
    QTest::addRow("no options: the empty query cannot run") << QVariantHash() << false;
}

void tst_TraxoFindWindow::factoryReadsItsOptions()
{
    QFETCH(QVariantHash, options);
    QFETCH(bool, findEnabled);

    const WindowType type = WindowType::fromClass<TraxoFindWindow>({}, &TraxoFindWindow::createTRAXOFindWindow);
    QCOMPARE(type.name(), QStringLiteral("Find TRAXO Files"));
    QCOMPARE(type.shortcut(), QStringLiteral("ctrl+D"));
    std::unique_ptr<ManagedWindow> created(type.windowCreator()(QStringLiteral("ignored.traxo"), options));
    auto *window = qobject_cast<TraxoFindWindow *>(created.get());
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("Find TRAXO Files"));
    QCOMPARE(part<QueryEditor>(*window, "m_queryEditor")->query(), options.value("Query").toString());
    QCOMPARE(part<QComboBox>(*window, "m_dirCombo")->currentText(), options.value("Directory").toString());
    QCOMPARE(part<QPushButton>(*window, "m_findButton")->isEnabled(), findEnabled);
    QCOMPARE(statusOf(*window), QString());

    const QString welcome = browserOf(*window)->toPlainText();
    for (const char *example : { "Preprocessing Postprocessing", "\"Validate Results\"", ":timestamp >= 2011-04-29",
             "x:filename == output.dat x:filesize > 10mb",
             "x:title == \"A Section\" y:filename == some-file.txt x:tagid == y:parentid" })
        QVERIFY2(welcome.contains(QLatin1String(example)), example);
}

QTEST_MAIN(tst_TraxoFindWindow)
#include "tst_traxofindwindow.moc"
