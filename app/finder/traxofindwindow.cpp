#include "traxofindwindow.h"

#include "frame/findtextbrowser.h"
#include "frame/helpviewer.h"
#include "frame/traxobench.h"
#include "frame/utilities.h"
#include "frame/windowlist.h"
#include "queryeditor.h"
#include "queryhighlighter.h"
#include "summary/summaryreader.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString traxofileScheme = QStringLiteral("traxofile");

// The link of a hit: "traxofile://" and the path, encoded like a file URL so
// that "#", "%" or blanks in a path survive the round trip through the page.
QString traxofileLink(const QString &path)
{
    const QString file = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    return traxofileScheme + file.mid(int(qstrlen("file")));
}

// Summary texts keep the entities they were written with ("Fit &amp; plot"):
// decoded once like everywhere else, then escaped for the page, so that no
// text from a container can become markup.
QString summaryTextAsHtml(const QString &text)
{
    return escapeHtml(traxo::SummaryReader::decodeText(text));
}

QString oneLine(const QString &message)
{
    return QString(message).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
}

} // namespace

TraxoFindWindow::TraxoFindWindow(const QString &query, const QString &directory, QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("TraxoFindWindow"));
    buildUi();
    buildMenus();
    initSharedMenu(QString());
    setWindowTitle(windowName());

    QTextBrowser *browser = m_resultsBrowser->textBrowser();
    browser->setAcceptRichText(true);
    browser->setOpenLinks(false);
    browser->setOpenExternalLinks(false);
    m_resultsBrowser->setShortcutsActive(true);
    browser->setHtml(getTraxoFindHelloMessage());

    m_dirCombo->setDuplicatesEnabled(false);

    connect(m_findButton, &QPushButton::clicked, this, &TraxoFindWindow::findClicked);
    connect(m_browseDirsButton, &QToolButton::clicked, this, &TraxoFindWindow::browseForDir);
    connect(browser, &QTextBrowser::anchorClicked, this, &TraxoFindWindow::openTraxoFile);
    connect(m_queryEditor, &QueryEditor::enterPressed, this, &TraxoFindWindow::handleEnterPress);
    connect(m_helpContent, &QAction::triggered, this, &TraxoFindWindow::showHelp);
    connect(this, &TraxoFindWindow::processMoreFiles, this, &TraxoFindWindow::processSomeFiles, Qt::QueuedConnection);
    connect(m_queryEditor, &QueryEditor::errorOccured, this, &TraxoFindWindow::handleError);

    if (!query.isEmpty())
        m_queryEditor->setQuery(query);
    if (!directory.isEmpty())
        m_dirCombo->setEditText(directory);
    // The highlighter checks a new document only once the event loop runs;
    // the Find button must be right from the start.
    m_queryEditor->recheck();
    m_queryEditor->setFocus();
}

ManagedWindow *TraxoFindWindow::createTRAXOFindWindow(const QString &filename, const QVariantHash &parameters)
{
    Q_UNUSED(filename);
    return new TraxoFindWindow(
        parameters.value(QStringLiteral("Query")).toString(), parameters.value(QStringLiteral("Directory")).toString());
}

void TraxoFindWindow::buildUi()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    // Both inputs are labelled and show an example while empty, so a new
    // user sees at once where the query and where the folder go.
    auto *queryRow = new QHBoxLayout;
    auto *queryLabel = new QLabel(tr("&Query:"), central);
    queryRow->addWidget(queryLabel);
    m_queryEditor = new QueryEditor(central);
    m_queryEditor->setObjectName(QStringLiteral("m_queryEditor"));
    m_queryEditor->textField()->setPlaceholderText(tr("words to find, or a query such as x:filename == output.dat"));
    queryLabel->setBuddy(m_queryEditor->textField());
    queryRow->addWidget(m_queryEditor, 1);
    layout->addLayout(queryRow);

    // The message of the first error (red) or warning (blue) of the query.
    m_queryMessageLabel = new QLabel(central);
    m_queryMessageLabel->setObjectName(QStringLiteral("m_queryMessageLabel"));
    m_queryMessageLabel->setWordWrap(true);
    m_queryMessageLabel->setTextFormat(Qt::PlainText);
    m_queryMessageLabel->hide();
    layout->addWidget(m_queryMessageLabel);

    auto *dirRow = new QHBoxLayout;
    auto *dirLabel = new QLabel(tr("&Directory:"), central);
    dirRow->addWidget(dirLabel);
    m_dirCombo = new QComboBox(central);
    m_dirCombo->setObjectName(QStringLiteral("m_dirCombo"));
    m_dirCombo->setEditable(true);
    m_dirCombo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Directories are listed by the search itself, not by pressing Return.
    m_dirCombo->setInsertPolicy(QComboBox::NoInsert);
    m_dirCombo->lineEdit()->setPlaceholderText(tr("folder whose TRAXO files are searched, with its subfolders"));
    dirLabel->setBuddy(m_dirCombo);
    dirRow->addWidget(m_dirCombo);
    m_browseDirsButton = new QToolButton(central);
    m_browseDirsButton->setObjectName(QStringLiteral("m_browseDirsButton"));
    m_browseDirsButton->setText(QStringLiteral("..."));
    dirRow->addWidget(m_browseDirsButton);
    layout->addLayout(dirRow);

    auto *findRow = new QHBoxLayout;
    m_invertQueryBox = new QCheckBox(tr("Invert Results"), central);
    m_invertQueryBox->setObjectName(QStringLiteral("m_invertQueryBox"));
    findRow->addWidget(m_invertQueryBox);
    findRow->addStretch();
    m_findButton = new QPushButton(tr("Find"), central);
    m_findButton->setObjectName(QStringLiteral("m_findButton"));
    findRow->addWidget(m_findButton);
    layout->addLayout(findRow);

    m_resultsBrowser = new FindTextBrowser(central);
    m_resultsBrowser->setObjectName(QStringLiteral("m_resultsBrowser"));
    layout->addWidget(m_resultsBrowser, 1);

    m_statusLabel = new QLabel(central);
    m_statusLabel->setObjectName(QStringLiteral("m_statusLabel"));
    layout->addWidget(m_statusLabel);

    setCentralWidget(central);
    resize(640, 560);
}

void TraxoFindWindow::buildMenus()
{
    menu_File = menuBar()->addMenu(tr("&File"));
    menu_File->setObjectName(QStringLiteral("menu_File"));
    menu_Help = menuBar()->addMenu(tr("&Help"));
    menu_Help->setObjectName(QStringLiteral("menu_Help"));
    m_helpContent = menu_Help->addAction(tr("&Help Content"));
    m_helpContent->setObjectName(QStringLiteral("m_helpContent"));
    m_helpContent->setShortcut(QKeySequence::HelpContents);
}

QString TraxoFindWindow::getTraxoFindHelloMessage()
{
    const QString header
        = QStringLiteral("<table><tr><td><img src=\":/resources/traxobench1-64.png\" /></td><td>"
                         "<p><b>%1</b><br />&copy; %2 %3, %4<br /><a href=\"%5\">%5</a><br />"
                         "<a href=\"mailto:%6\">%6</a></p></td></tr></table>")
              .arg(escapeHtml(TRAXOBENCH_FULLNAME), escapeHtml(TRAXOBENCH_YEARS), escapeHtml(TRAXOBENCH_MAKER),
                  escapeHtml(TRAXOBENCH_MAKER_CITY), escapeHtml(TRAXOBENCH_WEBPAGE), escapeHtml(TRAXOBENCH_EMAIL));
    return header
        + tr("<p>Type some <b>search terms</b> and select a <b>directory</b> to search for all TRAXO files in this "
             "directory containing the typed words. For more complex queries, you can use a more powerful query "
             "language. The following listing gives some examples of possible queries:</p>"
             "<ol>"
             "<li><code>Preprocessing Postprocessing</code></li>"
             "<li><code>\"Validate Results\"</code></li>"
             "<li><code>:timestamp &gt;= 2011-04-29</code></li>"
             "<li><code>x:filename == output.dat x:filesize &gt; 10mb</code></li>"
             "<li><code>x:title == \"A Section\" y:filename == some-file.txt x:tagid == y:parentid</code></li>"
             "</ol>"
             "<p>The <a href=\"doc://traxo-usage.htm#sec:query\">query language</a> is described in the "
             "<a href=\"doc://theindex.html\">Local Help</a> (F1). "
             "<a href=\"doc://disclaimer.html\">Disclaimer</a> &middot; "
             "<a href=\"doc://license.html\">License</a></p>");
}

void TraxoFindWindow::findClicked()
{
    const QString query = m_queryEditor->query();
    const QString directory = m_dirCombo->currentText();
    const bool invert = m_invertQueryBox->isChecked();

    m_dirCombo->addItem(directory);
    m_dirCombo->setEditText(directory);
    m_statusLabel->setText(tr("initializing query and browsing directory..."));
    m_resultsBrowser->textBrowser()->clear();
    // The directory walk below blocks; show the cleared page first.
    repaint();

    // Replaces the running search, if any: a slice still queued continues
    // with the new file list, so the old search yields nothing more.
    const QList<traxo::QueryError> errors = m_finder.init(query, directory, invert);
    const int error = findError(errors);
    if (error >= 0) {
        m_statusLabel->setText(tr("The query cannot run: %1").arg(oneLine(errors.at(error).errorMessage())));
        return;
    }
    const QFileInfo info(directory);
    if (directory.isEmpty() || !info.isDir() || !info.isReadable()) {
        m_statusLabel->setText(tr("\"%1\" is not a readable directory.").arg(directory));
        return;
    }
    if (m_finder.numberOfFiles() == 0) {
        m_statusLabel->setText(tr("%1/%2 files checked").arg(0).arg(0));
        return;
    }
    scheduleSlice();
}

void TraxoFindWindow::handleEnterPress()
{
    if (m_findButton->isEnabled())
        findClicked();
}

void TraxoFindWindow::handleError(const QString &message, bool isError)
{
    m_findButton->setEnabled(!isError);
    // An empty field needs no scolding: its placeholder says what to type.
    const bool show = !message.isEmpty() && !m_queryEditor->query().isEmpty();
    m_queryMessageLabel->setVisible(show);
    m_queryMessageLabel->setText(oneLine(message));
    const QColor color = isError ? QueryHighlighter::errorColor() : QueryHighlighter::warningColor();
    m_queryMessageLabel->setStyleSheet(QStringLiteral("color: %1;").arg(color.name()));
}

void TraxoFindWindow::scheduleSlice()
{
    if (m_slicePending)
        return;
    m_slicePending = true;
    emit processMoreFiles();
}

void TraxoFindWindow::processSomeFiles()
{
    m_slicePending = false;
    if (!m_finder.initialized())
        return;
    // Opening and summarising one container is never interrupted, so a slice
    // lasts its budget plus at most one container.
    QElapsedTimer slice;
    slice.start();
    while (m_finder.hasMoreFiles()) {
        EvaluationResult result = m_finder.findNext();
        handleResult(result, m_finder.nextFileNumber(), m_finder.numberOfFiles());
        if (slice.elapsed() >= m_sliceMilliseconds)
            break;
    }
    if (m_finder.hasMoreFiles())
        scheduleSlice();
}

void TraxoFindWindow::handleResult(EvaluationResult &result, int current, int total)
{
    if (result.matched) {
        QString html = QStringLiteral("<a href=\"%1\">%2</a>\n")
                           .arg(escapeHtml(traxofileLink(result.fileName)), escapeHtml(result.fileName));
        // Sorted, so that the same hit reads the same in every run.
        QStringList names = result.bindings.keys();
        names.sort();
        for (const QString &name : std::as_const(names)) {
            html += QStringLiteral("<div><b>%1</b> = %2</div>\n")
                        .arg(escapeHtml(name), summaryTextAsHtml(result.bindings.value(name)));
        }
        m_resultsBrowser->textBrowser()->append(html);
    } else if (result.undecided) {
        // Said out loud: the container may hold a match the search could not
        // afford to find.
        m_resultsBrowser->textBrowser()->append(
            QStringLiteral("<div style=\"color:#c05000\">%1</div>\n")
                .arg(escapeHtml(tr("%1: the query is too complex to decide for this container; it was skipped.")
                                    .arg(result.fileName))));
    }
    m_statusLabel->setText(tr("%1/%2 files checked").arg(current).arg(total));
}

void TraxoFindWindow::openTraxoFile(const QUrl &url)
{
    if (HelpViewer::openDocLink(url.toString()))
        return;
    if (url.scheme() != traxofileScheme || !WindowList::globalInstance())
        return;
    QUrl file = url;
    file.setScheme(QStringLiteral("file"));
    WindowList::globalInstance()->openFile(file.toLocalFile());
}

void TraxoFindWindow::browseForDir()
{
    const QString directory
        = QFileDialog::getExistingDirectory(this, tr("Select a Directory"), m_dirCombo->currentText());
    if (directory.isEmpty())
        return;
    m_dirCombo->addItem(directory);
    m_dirCombo->setEditText(directory);
}

void TraxoFindWindow::showHelp()
{
    HelpViewer::globalOpenPage(QStringLiteral("traxofind.html"));
}

void TraxoFindWindow::closeEvent(QCloseEvent *event)
{
    // A slice may still be queued; it must find nothing left to check.
    m_finder.stop();
    ManagedWindow::closeEvent(event);
}
