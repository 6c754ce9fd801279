#include "viewer/untraxowindow.h"

#include "container/extractionpaths.h"
#include "frame/elidedlabel.h"
#include "frame/findtextbrowser.h"
#include "frame/helpviewer.h"
#include "frame/preferences.h"
#include "frame/traxobench.h"
#include "frame/untraxopreferenceswindow.h"
#include "frame/utilities.h"
#include "frame/vwaitcursor.h"
#include "logging/stopwatch.h"
#include "shared/parsetemplate.h"
#include "shared/paths.h"
#include "report/reportexporter.h"
#include "summary/summarycreator.h"
#include "summary/summaryreader.h"
#include "viewer/comparewindow.h"
#include "viewer/extractdialog.h"
#include "viewer/provenanceexportdialog.h"
#include "viewer/traxobrowser.h"
#include "viewer/viewerlogging.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString NotValidatedIcon = QStringLiteral(":/resources/not-validated.png");
const QString SectionValidIcon = QStringLiteral(":/resources/section-valid.png");
const QString SectionInvalidIcon = QStringLiteral(":/resources/section-invalid.png");
const QString FileValidIcon = QStringLiteral(":/resources/file-valid.png");
const QString FileInvalidIcon = QStringLiteral(":/resources/file-invalid.png");

QAction *makeAction(QObject *parent, const char *objectName, const QString &text)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QLatin1String(objectName));
    return action;
}

QIcon themeIcon(const QString &name, const QString &fallback)
{
    return QIcon::fromTheme(name, QIcon(fallback));
}

void appendUnique(QList<int> *ids, int id)
{
    if (!ids->contains(id))
        ids->append(id);
}

// How often a slice looks after work on other threads (the validation's
// workers, the commit of an extracted file): often enough for prompt icons,
// rare enough to leave the event loop free.
constexpr int PollMilliseconds = 10;

// Bytes hashed per slice for the "Buffer size" preference: larger slices
// validate faster and make the window answer more slowly.
qint64 validationSliceBytes(int sizeChoice)
{
    switch (sizeChoice) {
    case SizeSmall:
        return 25000;
    case SizeLarge:
        return 1000000;
    default:
        return 100000;
    }
}

// Whether the automatic validation takes an item of size bytes: the choice
// of the preferences ("Always", "Never", "If ... is smaller than" limit MB).
bool validatesAutomatically(int choice, int limitMB, qint64 size)
{
    if (choice == ActionNever)
        return false;
    return choice != ActionDependsOnSize || size < qint64(limitMB) * 1024 * 1024;
}

QString countedText(const QString &pattern, int count)
{
    return pattern.arg(count) + (count == 1 ? QStringLiteral("...") : QStringLiteral("s..."));
}

} // namespace

QString getUnTraxoHelloMessage()
{
    return QStringLiteral(
        "<table><tr><td><a href=\"%3\"><img src=\":/resources/traxobench1-64.png\" width=\"64\" "
        "height=\"64\"></a></td>"
        "<td><h2>%1.</h2><small>&copy; %2 %4, %5 &middot; <a href=\"%3\">%3</a> &middot; "
        "<a href=\"mailto:%6\">%6</a></small></td></tr></table>"
        "<p>You can <b>drag &amp; drop</b> a TRAXO file onto this window to create a HTML listing of its "
        "contents and extract any embedded data.</p>"
        "<p><a href=\"doc://theindex.html\">Local Help</a> (F1) &middot; "
        "<a href=\"doc://disclaimer.html\">Disclaimer</a> &middot; "
        "<a href=\"doc://license.html\">License</a></p>")
        .arg(QStringLiteral("%1"), QStringLiteral("%2"), TRAXOBENCH_WEBPAGE.toHtmlEscaped(),
            TRAXOBENCH_MAKER.toHtmlEscaped(), TRAXOBENCH_MAKER_CITY.toHtmlEscaped(), TRAXOBENCH_EMAIL.toHtmlEscaped());
}

UnTRAXOWindow::UnTRAXOWindow(const QString &filename, QString templateDir)
    : m_parser(traxo::ParseTolerant)
    , m_validationQueue(nullptr, validationSliceBytes(Preferences::valPerformance()))
    , m_extractionQueue(nullptr)
    , m_sectionValidIcon(SectionValidIcon)
    , m_sectionInvalidIcon(SectionInvalidIcon)
    , m_fileValidIcon(FileValidIcon)
    , m_fileInvalidIcon(FileInvalidIcon)
{
    // The window polls other threads from a timer instead of waiting for them.
    m_validationQueue.setWaitMilliseconds(0);
    m_extractionQueue.setBackgroundCommit(true);
    setupUi();
    m_browser = new TraxoBrowser;
    m_browser->setObjectName(QStringLiteral("browser"));
    m_infoViewer->setTextBrowser(m_browser);
    m_pdfBrowser = new TraxoBrowser(this);
    m_pdfBrowser->hide();

    m_templateDir = templateDir.isEmpty() ? getTemplatesDir() : templateDir;

    createContextMenus();
    m_preferencesWindow = new UnTRAXOPreferencesWindow(this);
    createMenus();
    initSharedMenu(QStringLiteral("Untraxo/RecentFiles"));
    connectSignals();

    m_openAction->setShortcut(QKeySequence::Open);
    m_findAction->setShortcut(QKeySequence::Find);
    m_findNextAction->setShortcut(QKeySequence::FindNext);
    m_findPrevAction->setShortcut(QKeySequence::FindPrevious);
    actionIncrease_Text_Size_zoom_in->setShortcut(QKeySequence::ZoomIn);
    actionDecrease_Text_Size_zoom_out->setShortcut(QKeySequence::ZoomOut);

    fillTemplateMenu();

    m_outlineTree->setIndentation(10);
    m_splitter->setCollapsible(0, true);
    m_splitter->setCollapsible(1, false);
    m_splitter->setStretchFactor(1, 10);
    // The whole pane, not only the tree: an empty viewer has nothing to outline.
    m_outlinePane->hide();
    m_splitterLog->setCollapsible(0, false);
    m_splitterLog->setCollapsible(1, true);
    m_log->hide();
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    m_browser->setFocusPolicy(Qt::StrongFocus);
    m_browser->setReadOnly(true);
    m_log->textBrowser()->setReadOnly(true);
    m_log->textBrowser()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_log->textBrowser(), &QWidget::customContextMenuRequested, this, &UnTRAXOWindow::createLogContextMenu);
    m_progress->hide();
    m_stopButton->hide();
    m_currentJobLabel->hide();
    outlineSelectionChanged();

    showHelloMessage();

    toolTip2WhatsThis(m_outlineTree);
    toolTip2WhatsThis(m_templateMenu);
    toolTip2WhatsThis(m_browser);
    toolTip2WhatsThis(m_zoomPlus);
    toolTip2WhatsThis(m_zoomMinus);

    setupIcons();
    loadSettings();

    if (!filename.isEmpty())
        openFile(filename, false);

    setAcceptDrops(true);
    QTimer::singleShot(10, this, &UnTRAXOWindow::vneIncrementally);
}

UnTRAXOWindow::~UnTRAXOWindow()
{
    Preferences::setBrowZoomLevel(m_browser->zoom());
}

ManagedWindow *UnTRAXOWindow::createUnTRAXOWindow(const QString &filename, const QVariantHash &parameters)
{
    return new UnTRAXOWindow(filename, parameters.value(QStringLiteral("TemplateDir")).toString());
}

void UnTRAXOWindow::setupUi()
{
    setObjectName(QStringLiteral("UnTRAXOWindow"));
    setWindowTitle(windowName());
    resize(1100, 760);

    m_openAction = makeAction(this, "m_openAction", QStringLiteral("&Open..."));
    m_helpAction = makeAction(this, "m_helpAction", QStringLiteral("Help Content"));
    m_helpAction->setShortcut(QKeySequence(QStringLiteral("F1")));
    actionOpen_Template_Directory
        = makeAction(this, "actionOpen_Template_Directory", QStringLiteral("Open Template Directory"));
    actionExport_as_PDF = makeAction(this, "actionExport_as_PDF", QStringLiteral("Export as PDF..."));
    m_findAction = makeAction(this, "m_findAction", QStringLiteral("&Find"));
    m_findNextAction = makeAction(this, "m_findNextAction", QStringLiteral("Find Next"));
    m_findPrevAction = makeAction(this, "m_findPrevAction", QStringLiteral("Find Previous"));
    actionExport_as_HTML = makeAction(this, "actionExport_as_HTML", QStringLiteral("Export as HTML..."));
    actionExport_as_Plain_Text
        = makeAction(this, "actionExport_as_Plain_Text", QStringLiteral("Export as Plain Text..."));
    actionExport_as_Raw_HTML = makeAction(this, "actionExport_as_Raw_HTML", QStringLiteral("Export as Raw HTML..."));
    actionIncrease_Text_Size_zoom_in
        = makeAction(this, "actionIncrease_Text_Size_zoom_in", QStringLiteral("Increase Font Size"));
    actionDecrease_Text_Size_zoom_out
        = makeAction(this, "actionDecrease_Text_Size_zoom_out", QStringLiteral("Decrease Font Size"));
    m_validateAction = makeAction(this, "m_validateAction", QStringLiteral("Validate"));
    m_validateAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+K")));
    m_actionShow_log = makeAction(this, "m_actionShow_log", QStringLiteral("Log"));
    m_actionShow_log->setCheckable(true);
    m_actionShow_preferences = makeAction(this, "m_actionShow_preferences", QStringLiteral("Preferences..."));
    m_extractAction = makeAction(this, "m_extractAction", QStringLiteral("Extract..."));
    m_extractAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));

    auto *central = new QWidget(this);
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(4, 4, 4, 4);

    m_splitter = new QSplitter(Qt::Horizontal, central);
    m_splitter->setObjectName(QStringLiteral("m_splitter"));

    auto *outlinePane = new QWidget(m_splitter);
    m_outlinePane = outlinePane;
    outlinePane->setObjectName(QStringLiteral("outlinePane"));
    auto *outlineLayout = new QVBoxLayout(outlinePane);
    outlineLayout->setContentsMargins(0, 0, 0, 0);
    m_outlineTree = new OutlineTree(outlinePane);
    m_outlineTree->setObjectName(QStringLiteral("m_outlineTree"));
    m_outlineTree->setColumnCount(1);
    m_outlineTree->setHeaderLabels({ QStringLiteral("Name") });
    m_outlineTree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_outlineTree->setToolTip(QStringLiteral(
        "Double click to navigate to a\nspecific section or file or right\nclick to show a context menu."));
    outlineLayout->addWidget(m_outlineTree, 1);
    m_progress = new QProgressBar(outlinePane);
    m_progress->setObjectName(QStringLiteral("m_progress"));
    m_progress->setRange(0, 100);
    outlineLayout->addWidget(m_progress);
    auto *jobRow = new QHBoxLayout;
    m_currentJobLabel = new ElidedLabel(QStringLiteral("Validating..."), outlinePane);
    m_currentJobLabel->setObjectName(QStringLiteral("m_currentJobLabel"));
    jobRow->addWidget(m_currentJobLabel, 1);
    m_stopButton = new QPushButton(QStringLiteral("Stop"), outlinePane);
    m_stopButton->setObjectName(QStringLiteral("m_stopButton"));
    jobRow->addWidget(m_stopButton);
    outlineLayout->addLayout(jobRow);
    m_splitter->addWidget(outlinePane);

    auto *browserPane = new QWidget(m_splitter);
    auto *browserLayout = new QVBoxLayout(browserPane);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    auto *toolRow = new QHBoxLayout;
    m_zoomMinus = new QToolButton(browserPane);
    m_zoomMinus->setObjectName(QStringLiteral("m_zoomMinus"));
    m_zoomMinus->setToolTip(QStringLiteral("Decrease the font size of the listing"));
    m_zoomPlus = new QToolButton(browserPane);
    m_zoomPlus->setObjectName(QStringLiteral("m_zoomPlus"));
    m_zoomPlus->setToolTip(QStringLiteral("Increase the font size of the listing"));
    m_templateLabel = new QLabel(QStringLiteral("Template:"), browserPane);
    m_templateLabel->setObjectName(QStringLiteral("m_templateLabel"));
    m_templateMenu = new QComboBox(browserPane);
    m_templateMenu->setObjectName(QStringLiteral("m_templateMenu"));
    m_templateMenu->setToolTip(
        QStringLiteral("Select a template (theme) to create\na HTML or PDF rendering of a TRAXO file."));
    m_templateMenu->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_helpAction_2 = new QPushButton(QStringLiteral("Help"), browserPane);
    m_helpAction_2->setObjectName(QStringLiteral("m_helpAction_2"));
    toolRow->addWidget(m_zoomMinus);
    toolRow->addWidget(m_zoomPlus);
    toolRow->addSpacing(12);
    toolRow->addWidget(m_templateLabel);
    toolRow->addWidget(m_templateMenu);
    toolRow->addStretch(1);
    toolRow->addWidget(m_helpAction_2);
    browserLayout->addLayout(toolRow);

    m_splitterLog = new QSplitter(Qt::Vertical, browserPane);
    m_splitterLog->setObjectName(QStringLiteral("m_splitterLog"));
    m_infoViewer = new FindTextBrowser(m_splitterLog, nullptr);
    m_infoViewer->setObjectName(QStringLiteral("m_infoViewer"));
    m_log = new FindTextBrowser(m_splitterLog, nullptr);
    m_log->setObjectName(QStringLiteral("m_log"));
    m_splitterLog->addWidget(m_infoViewer);
    m_splitterLog->addWidget(m_log);
    m_splitterLog->setStretchFactor(0, 4);
    m_splitterLog->setStretchFactor(1, 1);
    browserLayout->addWidget(m_splitterLog, 1);
    m_splitter->addWidget(browserPane);
    m_splitter->setSizes({ 280, 820 });

    centralLayout->addWidget(m_splitter);
    setCentralWidget(central);
}

void UnTRAXOWindow::createMenus()
{
    QMenuBar *bar = menuBar();
    menu_File = bar->addMenu(QStringLiteral("&File"));
    menu_File->setObjectName(QStringLiteral("menu_File"));
    menu_File->addAction(m_openAction);
    menu_File->addAction(
        QStringLiteral("Compare With…"), this, [this] { CompareWindow::compareWithChosenFile(this, m_currentFile); });
    menu_File->addSeparator();
    menu_File->addAction(actionOpen_Template_Directory);
    menu_File->addSeparator();
    menu_File->addAction(actionExport_as_PDF);
    menu_File->addAction(actionExport_as_HTML);
    menu_File->addAction(actionExport_as_Raw_HTML);
    menu_File->addAction(actionExport_as_Plain_Text);
    QAction *exportProvenance = menu_File->addAction(QStringLiteral("Export Provenance\u2026"));
    exportProvenance->setObjectName(QStringLiteral("actionExport_Provenance"));
    connect(exportProvenance, &QAction::triggered, this, [this] {
        if (m_currentFile.isEmpty())
            QMessageBox::information(this, QStringLiteral("TRAXO"), QStringLiteral("Open a TRAXO file first."));
        else
            ProvenanceExportDialog(this, m_currentFile).exec();
    });

    menu_Edit = bar->addMenu(QStringLiteral("&Edit"));
    menu_Edit->setObjectName(QStringLiteral("menu_Edit"));
    menu_Edit->addAction(m_findAction);
    menu_Edit->addAction(m_findNextAction);
    menu_Edit->addAction(m_findPrevAction);
    menu_Edit->addSeparator();
    menu_Edit->addAction(actionIncrease_Text_Size_zoom_in);
    menu_Edit->addAction(actionDecrease_Text_Size_zoom_out);
    menu_Edit->addSeparator();
    menu_Edit->addAction(m_validateAction);
    menu_Edit->addAction(m_extractAction);

    menuView = bar->addMenu(QStringLiteral("View"));
    menuView->setObjectName(QStringLiteral("menuView"));
    menuView->addAction(m_actionShow_log);
    menuView->addAction(m_actionShow_preferences);

    m_helpMenu = bar->addMenu(QStringLiteral("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("m_helpMenu"));
    m_helpMenu->addAction(m_helpAction);
}

void UnTRAXOWindow::createContextMenus()
{
    m_logContextMenu = new QMenu(this);
    QAction *copy = m_logContextMenu->addAction(QStringLiteral("Copy"));
    connect(copy, &QAction::triggered, this, [this] { m_log->textBrowser()->copy(); });
    m_logContextMenu->addAction(QStringLiteral("Set Font ..."), this, &UnTRAXOWindow::setLogFont);
    m_logContextMenu->addAction(QStringLiteral("Increase Font Size"), this, &UnTRAXOWindow::increaseLogFontSize);
    m_logContextMenu->addAction(QStringLiteral("Decrease Font Size"), this, &UnTRAXOWindow::decreaseLogFontSize);

    m_browserContextMenu = new QMenu(this);
    m_browserContextMenu->addAction(QStringLiteral("Find"), this, &UnTRAXOWindow::showFindBar);
    m_browserContextMenu->addAction(QStringLiteral("Find Next"), this, &UnTRAXOWindow::findNext);
    m_browserContextMenu->addAction(QStringLiteral("Find Previous"), this, &UnTRAXOWindow::findPrev);
    m_browserContextMenu->addAction(
        QStringLiteral("Increase Font Size"), m_browser, qOverload<>(&TraxoBrowser::zoomIn));
    m_browserContextMenu->addAction(
        QStringLiteral("Decrease Font Size"), m_browser, qOverload<>(&TraxoBrowser::zoomOut));
    m_browser->setContextMenu(m_browserContextMenu);

    m_outlineContextMenu = new QMenu(this);
    m_outlineExtractAction = m_outlineContextMenu->addAction(QStringLiteral("Extract..."));
    m_outlineValidateAction = m_outlineContextMenu->addAction(QStringLiteral("Validate selected items"));
    connect(m_outlineExtractAction, &QAction::triggered, m_extractAction, &QAction::trigger);
    connect(m_outlineValidateAction, &QAction::triggered, m_validateAction, &QAction::trigger);
    m_outlineTree->setContextMenu(m_outlineContextMenu);
}

void UnTRAXOWindow::connectSignals()
{
    m_parser.publishToLogSlot(this);
    m_validationQueue.publishToLogSlot(this);
    m_extractionQueue.publishToLogSlot(this);
    connect(&m_validationQueue, &traxo::ValidationQueue::fileProcessed, this, &UnTRAXOWindow::fileValidated);
    connect(&m_validationQueue, &traxo::ValidationQueue::sectionProcessed, this, &UnTRAXOWindow::sectionValidated);
    connect(
        &m_validationQueue, &traxo::ValidationQueue::percentFinishedChanged, this, &UnTRAXOWindow::updateProgressBar);
    connect(
        &m_extractionQueue, &traxo::ExtractionQueue::percentFinishedChanged, this, &UnTRAXOWindow::updateProgressBar);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &UnTRAXOWindow::anchorClicked);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &UnTRAXOWindow::anchorClicked);
    connect(this, &ManagedWindow::recentFileSelected, this, &UnTRAXOWindow::setTRAXOFile);

    connect(m_openAction, &QAction::triggered, this, &UnTRAXOWindow::selectTRAXOFile);
    connect(m_helpAction, &QAction::triggered, this, &UnTRAXOWindow::showHelp);
    connect(actionOpen_Template_Directory, &QAction::triggered, this, &UnTRAXOWindow::openTemplateDir);
    connect(actionExport_as_PDF, &QAction::triggered, this, &UnTRAXOWindow::on_actionExport_as_PDF);
    connect(actionExport_as_HTML, &QAction::triggered, this, &UnTRAXOWindow::on_actionExport_as_HTML);
    connect(actionExport_as_Raw_HTML, &QAction::triggered, this, &UnTRAXOWindow::on_actionExport_as_Raw_HTML);
    connect(actionExport_as_Plain_Text, &QAction::triggered, this, &UnTRAXOWindow::on_actionExport_as_Plain_Text);
    connect(m_findAction, &QAction::triggered, this, &UnTRAXOWindow::showFindBar);
    connect(m_findNextAction, &QAction::triggered, this, &UnTRAXOWindow::findNext);
    connect(m_findPrevAction, &QAction::triggered, this, &UnTRAXOWindow::findPrev);
    connect(actionIncrease_Text_Size_zoom_in, &QAction::triggered, m_browser, qOverload<>(&TraxoBrowser::zoomIn));
    connect(actionDecrease_Text_Size_zoom_out, &QAction::triggered, m_browser, qOverload<>(&TraxoBrowser::zoomOut));
    connect(m_validateAction, &QAction::triggered, this, &UnTRAXOWindow::validateSelected);
    connect(m_actionShow_log, &QAction::triggered, this, &UnTRAXOWindow::showLog);
    connect(m_actionShow_preferences, &QAction::triggered, this, &UnTRAXOWindow::showPreferences);
    connect(m_extractAction, &QAction::triggered, this, &UnTRAXOWindow::extractSelected);
    connect(m_outlineTree, &QTreeWidget::itemDoubleClicked, this, &UnTRAXOWindow::outlineDoubleClicked);
    connect(m_outlineTree, &QTreeWidget::itemSelectionChanged, this, &UnTRAXOWindow::outlineSelectionChanged);
    connect(m_stopButton, &QPushButton::pressed, this, &UnTRAXOWindow::stopCurrentWork);
    connect(m_zoomPlus, &QToolButton::clicked, m_browser, qOverload<>(&TraxoBrowser::zoomIn));
    connect(m_zoomMinus, &QToolButton::clicked, m_browser, qOverload<>(&TraxoBrowser::zoomOut));
    connect(m_helpAction_2, &QPushButton::clicked, this, &UnTRAXOWindow::showHelp);
}

void UnTRAXOWindow::fillTemplateMenu()
{
    const QStringList names = QDir(m_templateDir).entryList(QDir::Files);
    for (const QString &name : names)
        m_templateMenu->addItem(name);
    connect(m_templateMenu, &QComboBox::currentTextChanged, this, &UnTRAXOWindow::on_templateMenu_currentIndexChanged);
    if (names.isEmpty()) {
        // Shown once the window is up; quitting here would take every other
        // window (and its unsaved work) with it, so this viewer just stays
        // without a rendering.
        QTimer::singleShot(0, this, &UnTRAXOWindow::showNoTemplatesMessage);
    }
}

void UnTRAXOWindow::showNoTemplatesMessage()
{
    if (m_noTemplatesReported)
        return;
    m_noTemplatesReported = true;
    log(makeRed(QStringLiteral("*** ERROR: no templates in \"%1\"").arg(m_templateDir)));
    QMessageBox::critical(this, QStringLiteral("TRAXO"),
        QStringLiteral("No templates have been found in dir:\n\"%1\"").arg(m_templateDir));
}

void UnTRAXOWindow::showHelloMessage()
{
    m_browser->setHtml(getUnTraxoHelloMessage().arg(TRAXOBENCH_FULLNAME.toHtmlEscaped(), TRAXOBENCH_YEARS));
    m_browser->setVisible(true);
    log(QStringLiteral("<b>%1</b><p>started at: %2</p>")
            .arg(TRAXOBENCH_FULLNAME.toHtmlEscaped(), getCurrentDateTimeAsString()));
}

void UnTRAXOWindow::setupIcons()
{
    m_zoomPlus->setIcon(themeIcon(QStringLiteral("zoom-in"), QStringLiteral(":/resources/zoom-plus.png")));
    m_zoomMinus->setIcon(themeIcon(QStringLiteral("zoom-out"), QStringLiteral(":/resources/zoom-minus.png")));
    m_zoomPlus->setIconSize(QSize(16, 16));
    m_zoomMinus->setIconSize(QSize(16, 16));
}

void UnTRAXOWindow::loadSettings()
{
    QFont font(Preferences::logFontFamily());
    font.setPointSizeF(Preferences::logFontPointSize());
    m_log->textBrowser()->setFont(font);
    m_browser->setZoom(Preferences::browZoomLevel());
    const QString wanted = Preferences::browTemplate();
    int found = -1;
    for (int i = 0; i < m_templateMenu->count(); ++i) {
        if (m_templateMenu->itemText(i) == wanted)
            found = i;
    }
    if (found >= 0) {
        const QSignalBlocker blocker(m_templateMenu);
        m_templateMenu->setCurrentIndex(found);
    }
}

void UnTRAXOWindow::selectTRAXOFile()
{
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Select a TRAXO File"), QString(),
        QStringLiteral("TRAXO File (*.traxo *.pdf);;All files (*)"));
    if (!name.isEmpty())
        openFile(name, false);
}

void UnTRAXOWindow::setTRAXOFile(const QString &filename)
{
    openFile(filename, false);
}

void UnTRAXOWindow::log(const QString &szT)
{
    m_log->textBrowser()->append(QStringLiteral("<small>%1</small>").arg(szT.trimmed()));
}

void UnTRAXOWindow::openFile(const QString &filename, bool bGeneratePDF)
{
    log(QStringLiteral("[open] file: \"%1\"\n").arg(filename));
    traxo::StopWatch total(this);
    total.start(QStringLiteral("[open] total"));
    traxo::StopWatch step(this);

    if (filename.isEmpty())
        return;
    if (m_templateMenu->count() == 0) {
        showNoTemplatesMessage();
        return;
    }
    if (!mayStopExtraction(QStringLiteral("Opening a file")))
        return;
    VWaitCursor waitCursor;

    m_currentFile = filename;
    step.start(QStringLiteral("parsing TRAXO file"));
    m_parser.open(filename);
    log(QStringLiteral("found sections: %1, files: %2\n").arg(m_parser.getNumSections()).arg(m_parser.getNumFiles()));

    TraxoBrowser *target = bGeneratePDF ? m_pdfBrowser : m_browser;
    target->setParser(&m_parser);

    step.start(QStringLiteral("createSummaries"));
    traxo::SummaryCreator creator;
    const traxo::Summaries summaries = creator.createSummaries(m_parser);
    if (summaries.isEmpty()) {
        QMessageBox::warning(nullptr, QStringLiteral("TRAXO"),
            QStringLiteral("\"%1\"\ndoes not appear to be a TRAXO file, sorry.").arg(filename), QMessageBox::Ok);
        return;
    }

    step.start(QStringLiteral("initOutline"));
    initOutline(summaries);
    m_summaries = summaries;

    step.start(QStringLiteral("makeHtmlListing"));
    renderSummaries(bGeneratePDF);
    step.stop();

    if (!bGeneratePDF) {
        step.start(QStringLiteral("setHTML"));
        m_browser->setHtml(m_html);
        if (m_outlinePane->isHidden()) {
            m_outlinePane->show();
            const bool showLog = Preferences::logShow() == 1;
            m_log->setVisible(showLog);
            m_actionShow_log->setChecked(showLog);
        }
        setWindowTitle(QStringLiteral("View TRAXO File - %1").arg(QFileInfo(filename).fileName()));
        addRecentFile(QFileInfo(filename).absoluteFilePath());
    }

    queueAutomaticValidation();
    m_extractionQueue.reset(&m_parser);
    continueValidation();
}

void UnTRAXOWindow::renderSummaries(bool bGeneratePDF)
{
    const QString templatePath = m_templateDir + QDir::separator() + m_templateMenu->currentText();
    {
        ParseTemplate engine(this);
        if (!engine.loadTemplateFile(templatePath))
            log(makeRed(QStringLiteral("*** ERROR: the template \"%1\" could not be read.").arg(templatePath)));
        m_html = engine.generateHtml(m_currentFile, templatePath, m_summaries, bGeneratePDF);
    }
    if (bGeneratePDF) {
        m_pdfBrowser->setParser(&m_parser);
        m_pdfBrowser->setHtml(m_html);
        m_pdfBrowser->zoomOut(3);
    }
}

void UnTRAXOWindow::queueAutomaticValidation()
{
    const int sectionChoice = Preferences::valAutomaticSectionValidation();
    const int fileChoice = Preferences::valAutomaticFileValidation();
    QList<int> sectionIds, fileIds;
    const QList<traxo::SectionTag> sections = m_parser.getSections();
    for (const traxo::SectionTag &section : sections) {
        if (validatesAutomatically(sectionChoice, Preferences::valASVLimit(), section.size))
            sectionIds << section.id;
    }
    const QList<traxo::FileTag> files = m_parser.getFiles();
    for (const traxo::FileTag &file : files) {
        if (validatesAutomatically(fileChoice, Preferences::valAFVLimit(), file.filesize))
            fileIds << file.id;
    }
    m_validationQueue.reset(&m_parser);
    m_validationQueue.addValidatees(fileIds, sectionIds);
    const qsizetype left = sections.size() + files.size() - sectionIds.size() - fileIds.size();
    if (left > 0)
        log(QStringLiteral("[validate] %1 of the sections and files are not checked automatically (see "
                           "Preferences); select them and validate them when needed.")
                .arg(left));
}

bool UnTRAXOWindow::mayStopExtraction(const QString &action)
{
    if (m_extractionState == Idle)
        return true;
    const auto answer = QMessageBox::question(this, QStringLiteral("extraction is running"),
        QStringLiteral("TRAXObench is currently extracting files from this container. %1 now cancels the "
                       "extraction, and the files being written stay incomplete. Do you want to cancel the "
                       "extraction?")
            .arg(action),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return false;
    cancelExtraction();
    log(makeRed(QStringLiteral("[extract] extraction canceled; the files being written are incomplete.")));
    return true;
}

void UnTRAXOWindow::initOutline(const traxo::Summaries &summaries)
{
    m_outlineTree->clear();
    m_sectionItems.clear();
    m_fileItems.clear();
    const int numSections = m_parser.getNumSections();
    for (int i = 0; i < summaries.size(); ++i) {
        const traxo::Summary &summary = summaries.at(i);
        // The files outside every section come last, in a summary of their
        // own whose id is no section's.
        const bool sectionless = i >= numSections;
        const int sectionId = sectionless ? -1 : summary.TagID;
        QTreeWidgetItem *section = makeOutlineItem(traxo::SummaryReader::decodeText(summary.Title), TagSection,
            sectionId, sectionless ? QString() : makeSectionAnchor(sectionId));
        m_outlineTree->addTopLevelItem(section);
        QList<FileData> files;
        for (int j = 0; j < summary.files.size(); ++j) {
            const traxo::FileSummary &file = summary.files.at(j);
            files.append(FileData { recordedPath(file), file.TagID, makeFileAnchor(summary.TagID, j) });
        }
        if (!files.isEmpty())
            section->addChild(treeFromFileList(files));
        indexOutlineItems(section);
        section->setIcon(0, QIcon(NotValidatedIcon));
        section->setExpanded(true);
        // Recorded paths are often deep: show every file at once.
        std::function<void(QTreeWidgetItem *)> expand = [&expand](QTreeWidgetItem *item) {
            item->setExpanded(true);
            for (int c = 0; c < item->childCount(); ++c)
                expand(item->child(c));
        };
        for (int c = 0; c < section->childCount(); ++c)
            expand(section->child(c));
    }
}

void UnTRAXOWindow::indexOutlineItems(QTreeWidgetItem *item)
{
    const int id = item->data(0, TagIdRole).toInt();
    switch (item->data(0, TagTypeRole).toInt()) {
    case TagSection:
        m_sectionItems.insert(id, item);
        break;
    case TagFile:
        m_fileItems.insert(id, item);
        break;
    default:
        break;
    }
    for (int i = 0; i < item->childCount(); ++i)
        indexOutlineItems(item->child(i));
}

QString UnTRAXOWindow::recordedPath(const traxo::FileSummary &file)
{
    // Summaries keep their entities; outline and extraction use the text.
    QString directory = traxo::SummaryReader::decodeText(file.Filepath);
    if (directory == QLatin1String(".") || directory == QLatin1String("./"))
        directory.clear();
    if (!directory.isEmpty() && !directory.endsWith(QLatin1Char('/')) && !directory.endsWith(QLatin1Char('\\')))
        directory += QLatin1Char('/');
    return directory + traxo::SummaryReader::decodeText(file.Filename);
}

QString UnTRAXOWindow::filepathForTagID(const traxo::Summaries &summaries, int tagID)
{
    for (const traxo::Summary &summary : summaries) {
        for (const traxo::FileSummary &file : summary.files) {
            if (file.TagID == tagID)
                return recordedPath(file);
        }
    }
    return QString();
}

QString UnTRAXOWindow::fixPath(const QString &filename)
{
    QStringList parts = splitPath(filename);
    for (QString &part : parts) {
        if (part.startsWith(QLatin1Char('.')))
            part.prepend(QLatin1Char('_'));
        part.replace(QLatin1Char(':'), QLatin1Char('_'));
        part.replace(QStringLiteral("\\\\"), QStringLiteral("/"));
        part.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    return parts.join(QString());
}

void UnTRAXOWindow::openTemplateDir()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_templateDir));
}

bool UnTRAXOWindow::exportAsPdf(QString filename)
{
    filename = ReportExporter::exportName(filename, { QStringLiteral(".pdf") }, QStringLiteral(".pdf"));
    log(QStringLiteral("[Export as PDF] file: \"%1\"").arg(filename));
    traxo::StopWatch watch(this);
    watch.start(QStringLiteral("[Export as PDF] total"));
    if (m_currentFile.isEmpty())
        return false;
    // A writable target is checked first, so a failed export says so in the
    // log instead of failing silently inside the writer.
    ReportExporter exporter;
    if (!exporter.checkWritable(filename)) {
        log(exporter.errorString());
        return false;
    }
    // Rendered again from the summaries read at opening: the container stays
    // open and a running extraction goes on.
    renderSummaries(true);
    return finishExport(exporter, exporter.writePdf(m_pdfBrowser->document(), filename));
}

bool UnTRAXOWindow::exportAsHtml(QString filename)
{
    filename = ReportExporter::exportName(
        filename, { QStringLiteral(".htm"), QStringLiteral(".html") }, QStringLiteral(".htm"));
    log(QStringLiteral("[Export as HTML] file: \"%1\"").arg(filename));
    traxo::StopWatch watch(this);
    watch.start(QStringLiteral("[Export as HTML] total"));
    log(QStringLiteral("[Save_as_HTML] file: \"%1\"\n").arg(filename));
    ReportExporter exporter;
    exporter.setResources(m_templateDir, &m_parser);
    return finishExport(exporter, exporter.writeHtml(*m_browser->document(), filename));
}

bool UnTRAXOWindow::exportAsRawHtml(QString filename)
{
    filename = ReportExporter::exportName(
        filename, { QStringLiteral(".htm"), QStringLiteral(".html") }, QStringLiteral(".htm"));
    log(QStringLiteral("[Export as Raw HTML] file: \"%1\"").arg(filename));
    traxo::StopWatch watch(this);
    watch.start(QStringLiteral("[Export as Raw HTML] total"));
    log(QStringLiteral("[Save_as_HTML] file: \"%1\"\n").arg(filename));
    ReportExporter exporter;
    exporter.setResources(m_templateDir, &m_parser);
    return finishExport(exporter, exporter.writeRawHtml(m_html, filename));
}

bool UnTRAXOWindow::exportAsPlainText(QString filename)
{
    filename = ReportExporter::exportName(filename, { QStringLiteral(".txt") }, QStringLiteral(".txt"));
    log(QStringLiteral("[Export as Plain Text] file: \"%1\"").arg(filename));
    traxo::StopWatch watch(this);
    watch.start(QStringLiteral("[Export as Plain Text] total"));
    log(QStringLiteral("[Save_as_PlainText] file: \"%1\"\n").arg(filename));
    ReportExporter exporter;
    return finishExport(exporter, exporter.writePlainText(*m_browser->document(), filename));
}

bool UnTRAXOWindow::finishExport(const ReportExporter &exporter, bool written)
{
    if (!written)
        log(exporter.errorString());
    return written;
}

void UnTRAXOWindow::on_actionExport_as_PDF()
{
    const QString name
        = QFileDialog::getSaveFileName(this, QStringLiteral("Please specify a filename for the new PDF file:"));
    if (!name.isEmpty())
        exportAsPdf(name);
}

void UnTRAXOWindow::on_actionExport_as_HTML()
{
    const QString name
        = QFileDialog::getSaveFileName(this, QStringLiteral("Please specify a filename for the new HTML file:"));
    if (!name.isEmpty())
        exportAsHtml(name);
}

void UnTRAXOWindow::on_actionExport_as_Raw_HTML()
{
    const QString name
        = QFileDialog::getSaveFileName(this, QStringLiteral("Please specify a filename for the new Raw HTML file:"));
    if (!name.isEmpty())
        exportAsRawHtml(name);
}

void UnTRAXOWindow::on_actionExport_as_Plain_Text()
{
    const QString name
        = QFileDialog::getSaveFileName(this, QStringLiteral("Please specify a filename for the new TEXT file:"));
    if (!name.isEmpty())
        exportAsPlainText(name);
}

void UnTRAXOWindow::on_templateMenu_currentIndexChanged(const QString &szSelected)
{
    Preferences::setBrowTemplate(szSelected);
    if (m_currentFile.isEmpty() || m_summaries.isEmpty())
        return;
    // Another look at the same summaries: nothing is read again, so a running
    // extraction or validation goes on undisturbed.
    log(QStringLiteral("[template] \"%1\"").arg(szSelected));
    traxo::StopWatch watch(this);
    watch.start(QStringLiteral("[template] total"));
    VWaitCursor waitCursor;
    renderSummaries(false);
    m_browser->setHtml(m_html);
}

void UnTRAXOWindow::outlineDoubleClicked(QTreeWidgetItem *item, int)
{
    if (item)
        m_browser->scrollToAnchor(item->data(0, AnchorRole).toString());
}

void UnTRAXOWindow::anchorClicked(const QUrl &link)
{
    QString text = link.toString();
    if (text.isEmpty())
        return;
    if (text.startsWith(QLatin1String("doc://"))) {
        text.remove(0, 6);
        QString page = text;
        QString anchor;
        const int hash = int(text.indexOf(QLatin1Char('#')));
        if (hash > 0) {
            page = text.left(hash);
            anchor = text.mid(hash + 1);
        }
        HelpViewer::globalOpenPage(page, anchor);
        return;
    }
    // The rendering's own anchors stay inside the pane.
    if (text.startsWith(QLatin1Char('#'))) {
        m_browser->scrollToAnchor(text.mid(1));
        return;
    }
    QDesktopServices::openUrl(link);
}

void UnTRAXOWindow::extractFiles()
{
    extractSelected();
}

QList<int> UnTRAXOWindow::getSelectedIDs(TagType type) const
{
    QList<int> ids;
    const QList<QTreeWidgetItem *> selected = m_outlineTree->selectedItems();
    for (QTreeWidgetItem *item : selected) {
        const int itemType = item->data(0, TagTypeRole).toInt();
        if (itemType == type) {
            // A file that is not embedded cannot be extracted or checked.
            const int id = item->data(0, TagIdRole).toInt();
            if (id >= 0)
                appendUnique(&ids, id);
        } else if (itemType == TagDirectory) {
            for (int id : getRecursiveIDs(type, item))
                appendUnique(&ids, id);
        }
    }
    return ids;
}

QList<int> UnTRAXOWindow::getSelectedSectionIDs() const
{
    return getSelectedIDs(TagSection);
}

QList<int> UnTRAXOWindow::getSelectedFileIDs() const
{
    return getSelectedIDs(TagFile);
}

QList<int> UnTRAXOWindow::getRecursiveIDs(TagType type, QTreeWidgetItem *item) const
{
    QList<int> ids;
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem *child = item->child(i);
        const int childType = child->data(0, TagTypeRole).toInt();
        const int id = child->data(0, TagIdRole).toInt();
        if (childType == type && id >= 0)
            ids.append(id);
        else if (childType == TagDirectory)
            ids.append(getRecursiveIDs(type, child));
    }
    return ids;
}

QStringList UnTRAXOWindow::getSelectedDirectories() const
{
    QStringList directories;
    const QList<QTreeWidgetItem *> selected = m_outlineTree->selectedItems();
    for (QTreeWidgetItem *item : selected) {
        if (item->data(0, TagTypeRole).toInt() == TagDirectory)
            directories.append(getFullpathForTreeNode(item));
    }
    return directories;
}

QString UnTRAXOWindow::getFullpathForTreeNode(const QTreeWidgetItem *item) const
{
    QString path;
    for (const QTreeWidgetItem *node = item; node; node = node->parent()) {
        if (node->data(0, TagTypeRole).toInt() != TagDirectory)
            break;
        const QString label = node->text(0);
        if (label == QLatin1String("<files>"))
            break;
        path.prepend(label);
    }
    return path;
}

void UnTRAXOWindow::outlineSelectionChanged()
{
    const int f = int(getSelectedFileIDs().size());
    const int n = f + int(getSelectedSectionIDs().size());
    const QString extractText = countedText(QStringLiteral("Extract %1 File"), f);
    const QString validateText = countedText(QStringLiteral("Validate %1 Item"), n);
    for (QAction *action : { m_extractAction, m_outlineExtractAction }) {
        action->setText(extractText);
        action->setEnabled(f > 0);
    }
    for (QAction *action : { m_validateAction, m_outlineValidateAction }) {
        action->setText(validateText);
        action->setEnabled(n > 0);
    }
}

void UnTRAXOWindow::showHelp()
{
    HelpViewer::globalOpenPage(QStringLiteral("untraxo.html"), QString());
}

void UnTRAXOWindow::showFindBar()
{
    FindTextBrowser::showFindBarForActiveWidget(m_infoViewer);
}

void UnTRAXOWindow::findNext()
{
    FindTextBrowser::findNextForActiveWidget(m_infoViewer);
}

void UnTRAXOWindow::findPrev()
{
    FindTextBrowser::findPrevForActiveWidget(m_infoViewer);
}

void UnTRAXOWindow::scheduleSlice(int delay)
{
    // One chain of slices at a time: several would only crowd the event loop.
    if (m_sliceScheduled)
        return;
    m_sliceScheduled = true;
    QTimer::singleShot(delay, this, &UnTRAXOWindow::vneIncrementally);
}

void UnTRAXOWindow::updateWorkWidgets()
{
    const bool busy = m_validationState != Idle || m_extractionState != Idle;
    m_progress->setVisible(busy);
    m_stopButton->setVisible(busy);
    m_currentJobLabel->setVisible(busy);
}

void UnTRAXOWindow::continueValidation()
{
    // While worker threads check, a slice only collects what they decided: a
    // chain of zero-delay slices would crowd out the timers and painting.
    scheduleSlice(m_validationQueue.isSweeping() ? PollMilliseconds : 0);
    m_validationState = Running;
    updateWorkWidgets();
    if (!m_currentJobLabel->fullText().startsWith(QLatin1String("Validating")))
        m_currentJobLabel->setText(QStringLiteral("Validating..."));
}

void UnTRAXOWindow::continueExtraction()
{
    // Committing a large file flushes it to disk, which is no work for us.
    scheduleSlice(m_extractionQueue.isCommitting() ? PollMilliseconds : 0);
    m_extractionState = Running;
    updateWorkWidgets();
    if (!m_currentJobLabel->fullText().startsWith(QLatin1String("Extracting")))
        m_currentJobLabel->setText(QStringLiteral("Extracting..."));
}

void UnTRAXOWindow::vneIncrementally()
{
    m_sliceScheduled = false;
    if (m_extractionState == Running) {
        if (m_extractionQueue.process()) {
            continueExtraction();
        } else {
            finishExtraction();
            // Files queued for checking after the extraction go on at once.
            if (m_validationState == Running)
                continueValidation();
        }
    } else if (m_validationState == Running) {
        if (m_validationQueue.process())
            continueValidation();
        else
            finishValidation();
    }
}

void UnTRAXOWindow::finishValidation()
{
    m_validationState = Idle;
    updateWorkWidgets();
}

void UnTRAXOWindow::pauseValidation()
{
    m_validationState = Paused;
}

void UnTRAXOWindow::finishExtraction()
{
    m_extractionState = Idle;
    updateWorkWidgets();
}

void UnTRAXOWindow::pauseExtraction()
{
    m_extractionState = Paused;
}

void UnTRAXOWindow::cancelValidation()
{
    m_validationState = Idle;
    updateWorkWidgets();
    m_validationQueue.cancelValidation();
}

void UnTRAXOWindow::cancelExtraction()
{
    m_extractionState = Idle;
    updateWorkWidgets();
    m_extractionQueue.cancelExtraction();
}

void UnTRAXOWindow::stopCurrentWork()
{
    if (m_extractionState != Idle)
        cancelExtraction();
    else if (m_validationState != Idle)
        cancelValidation();
}

void UnTRAXOWindow::fileValidated(int id, bool success)
{
    const QIcon &icon = success ? m_fileValidIcon : m_fileInvalidIcon;
    for (auto it = m_fileItems.constFind(id); it != m_fileItems.cend() && it.key() == id; ++it)
        it.value()->setIcon(0, icon);
}

void UnTRAXOWindow::sectionValidated(int id, bool success)
{
    const QIcon &icon = success ? m_sectionValidIcon : m_sectionInvalidIcon;
    for (auto it = m_sectionItems.constFind(id); it != m_sectionItems.cend() && it.key() == id; ++it)
        it.value()->setIcon(0, icon);
}

void UnTRAXOWindow::createLogContextMenu(const QPoint &position)
{
    m_logContextMenu->popup(m_log->textBrowser()->mapToGlobal(position));
}

void UnTRAXOWindow::setLogFont()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, m_log->textBrowser()->font(), this);
    if (!ok)
        return;
    m_log->textBrowser()->setFont(font);
    Preferences::setLogFontFamily(font.family());
    Preferences::setLogFontPointSize(font.pointSizeF());
}

void UnTRAXOWindow::increaseLogFontSize()
{
    QFont font = m_log->textBrowser()->font();
    font.setPointSizeF(font.pointSizeF() * 1.1);
    m_log->textBrowser()->setFont(font);
    Preferences::setLogFontPointSize(font.pointSizeF());
}

void UnTRAXOWindow::decreaseLogFontSize()
{
    QFont font = m_log->textBrowser()->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    m_log->textBrowser()->setFont(font);
    Preferences::setLogFontPointSize(font.pointSizeF());
}

void UnTRAXOWindow::showLog()
{
    const bool show = m_log->isHidden();
    m_log->setVisible(show);
    m_actionShow_log->setChecked(show);
}

void UnTRAXOWindow::showPreferences()
{
    Preferences::setBrowZoomLevel(m_browser->zoom());
    if (m_preferencesWindow->exec() != QDialog::Accepted)
        return;
    // What OK stored applies to this window at once, not only to later ones.
    const QString shownTemplate = m_templateMenu->currentText();
    loadSettings();
    if (!m_outlinePane->isHidden()) {
        const bool showLog = Preferences::logShow() == 1;
        m_log->setVisible(showLog);
        m_actionShow_log->setChecked(showLog);
    }
    if (m_templateMenu->currentText() != shownTemplate)
        on_templateMenu_currentIndexChanged(m_templateMenu->currentText());
}

void UnTRAXOWindow::updateProgressBar(int percent, const QString &name)
{
    m_progress->setValue(percent);
    if (m_currentJobLabel->fullText().startsWith(QLatin1String("Validating")))
        m_currentJobLabel->setText(QStringLiteral("Validating %1...").arg(name));
    else
        m_currentJobLabel->setText(QStringLiteral("Extracting %1...").arg(name));
}

void UnTRAXOWindow::setJobLabel(const QString &text)
{
    m_currentJobLabel->setText(text);
}

void UnTRAXOWindow::validateSelected()
{
    m_validationQueue.addValidatees(getSelectedFileIDs(), getSelectedSectionIDs());
    continueValidation();
}

UnTRAXOWindow::ExtractionPlan UnTRAXOWindow::planExtraction()
{
    ExtractionPlan plan;
    plan.ids = getSelectedFileIDs();
    traxo::SummaryCreator creator;
    const traxo::Summaries summaries = creator.createSummaries(m_parser);
    QStringList directories = getSelectedDirectories();
    std::sort(directories.begin(), directories.end());
    for (int id : plan.ids) {
        const QString path = filepathForTagID(summaries, id);
        QString output = lastPartOfPath(path);
        for (const QString &directory : directories) {
            if (!directory.isEmpty() && path.startsWith(directory)) {
                output = joinPaths(lastPartOfPath(directory), path.mid(directory.size()));
                break;
            }
        }
        plan.outputPaths.append(fixPath(QDir::toNativeSeparators(output)));
    }
    return plan;
}

void UnTRAXOWindow::extractSelected()
{
    const ExtractionPlan plan = planExtraction();
    if (plan.ids.isEmpty())
        return;
    ExtractDialog dialog(this, Preferences::extrDirectory(), int(plan.ids.size()));
    dialog.m_askCheck->setChecked(Preferences::extrAskBeforeOverwrite() != 0);
    dialog.m_validateCheck->setChecked(
        Preferences::extrValidateFiles() != 0 && Preferences::extrValidateAfter() != ActionNever);
    dialog.m_adjustNamesCheck->setChecked(Preferences::extrNumberFiles() != 0);
    if (dialog.exec() != QDialog::Accepted)
        return;
    queueExtraction(plan, dialog.getDirectory(), dialog.getAskBeforeOverwrite(), dialog.getValidateFiles(),
        [&dialog](const QString &name, int count, int number) { return dialog.adjustFilename(name, count, number); });
}

void UnTRAXOWindow::extractSelectedTo(
    const QString &directory, bool askBeforeOverwrite, bool validate, bool adjustNames, const QString &mask)
{
    const ExtractionPlan plan = planExtraction();
    if (plan.ids.isEmpty())
        return;
    ExtractDialog dialog(this, directory, int(plan.ids.size()));
    dialog.m_adjustNamesCheck->setChecked(adjustNames);
    if (!mask.isNull())
        dialog.m_filenameMaskEdit->setText(mask);
    if (!dialog.filenameMaskValid() || !dialog.directoryValid())
        return;
    queueExtraction(plan, dialog.getDirectory(), askBeforeOverwrite, validate,
        [&dialog](const QString &name, int count, int number) { return dialog.adjustFilename(name, count, number); });
}

void UnTRAXOWindow::queueExtraction(const ExtractionPlan &plan, const QString &directory, bool askBeforeOverwrite,
    bool validate, const std::function<QString(const QString &, int, int)> &adjust)
{
    const QString root = QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
    QHash<int, QString> targets;
    QList<traxo::SavedFile> savedFiles;
    const int count = int(plan.ids.size());
    // "Validate after Extraction: If file is smaller than" leaves larger files unchecked.
    const bool bySize = Preferences::extrValidateAfter() == ActionDependsOnSize;
    const qint64 sizeLimit = qint64(Preferences::extrVAELimit()) * 1024 * 1024;
    for (int k = 1; k <= count; ++k) {
        const int id = plan.ids.at(k - 1);
        const QSharedPointer<traxo::FileTag> tag = m_parser.getFile(id);
        if (!tag)
            continue;
        // Names and paths come from the container: whatever they hold, the
        // file lands inside the chosen directory under a plain name.
        const QString name = traxo::safeFileName(adjust(tag->filename, count, k));
        const QString outputPath = plan.outputPaths.at(k - 1);
        const QString last = lastPartOfPath(outputPath);
        const QString subdirectory
            = traxo::safeRelativeDirectory(makePathValid(outputPath.left(outputPath.size() - last.size())));
        if (!traxo::staysInside(root, subdirectory)) {
            log(makeRed(QStringLiteral("*** ERROR: \"%1\" leads out of the target directory through a link; "
                                       "file skipped.")
                            .arg(subdirectory)));
            continue;
        }
        const QString targetDirectory = subdirectory.isEmpty() ? root : root + QLatin1Char('/') + subdirectory;
        QDir().mkpath(targetDirectory);
        const QString target = targetDirectory + QLatin1Char('/') + name;
        const QFileInfo info(target);

        if (info.isDir() && !info.isSymLink()) {
            QMessageBox::critical(this, QStringLiteral("Could not write File"),
                QStringLiteral("A directory with the name %1 does already exist").arg(target));
            continue;
        }
        if (askBeforeOverwrite && (info.exists() || info.isSymLink())) {
            const auto answer = QMessageBox::question(this, QStringLiteral("Overwrite File?"),
                QStringLiteral("The file %1 does already exist. Do you want to overwrite it?").arg(target),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes)
                continue;
        }
        // A link standing at the target is replaced, never written through.
        if (info.isSymLink())
            QFile::remove(target);
        targets.insert(id, target);
        if (validate && (!bySize || tag->filesize < sizeLimit))
            savedFiles.append(traxo::SavedFile { target, tag->md5file, tag->filesize });
    }
    m_extractionQueue.addExtractees(targets);
    if (!savedFiles.isEmpty())
        m_validationQueue.addValidatees(savedFiles);
    continueExtraction();
    continueValidation();
}

void UnTRAXOWindow::closeEvent(QCloseEvent *event)
{
    if (m_extractionState == Running) {
        const auto answer = QMessageBox::question(this, QStringLiteral("extraction is running"),
            QStringLiteral("TRAXObench is currently extracting a file. If you close this window now, the extraction "
                           "will be canceled and the file may be incomplete. Do you really want to close the window?"),
            QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        cancelExtraction();
    }
    ManagedWindow::closeEvent(event);
}

void UnTRAXOWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier && event->key() == Qt::Key_U) {
        if (!m_currentFile.isEmpty())
            openFile(m_currentFile, false);
        event->accept();
        return;
    }
    ManagedWindow::keyPressEvent(event);
}

void UnTRAXOWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void UnTRAXOWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    const QString file = urls.first().toLocalFile();
    if (!file.isEmpty())
        openFile(file, false);
    event->acceptProposedAction();
}
