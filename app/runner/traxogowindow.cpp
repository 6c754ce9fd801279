#include "traxogowindow.h"

#include "editor/argfilehighlighter.h"
#include "frame/findtextbrowser.h"
#include "frame/helpviewer.h"
#include "frame/sharedmenu.h"
#include "frame/traxobench.h"
#include "frame/untraxopreferenceswindow.h"
#include "frame/utilities.h"
#include "frame/windowlist.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

namespace {

const QString editorWindowType = QStringLiteral("Create TRAXO Arg-File");
const QString viewerWindowType = QStringLiteral("View TRAXO File");

} // namespace

TRAXOgoWindow::TRAXOgoWindow(const QString &argfile, QWidget *parent)
    : ManagedWindow(parent)
{
    setObjectName(QStringLiteral("TRAXOgoWindow"));
    buildUi();
    buildMenus();
    initSharedMenu(QStringLiteral("Traxogo/RecentFiles"));
    // Close and Quit are the shared menu's entries.
    if (QMenu *file = SharedMenu::findMenu(*this, QStringLiteral("&File"))) {
        for (QAction *action : file->actions()) {
            if (action->text() == tr("&Close Window"))
                m_closeAction = action;
            else if (action->text() == tr("&Quit"))
                m_quitAction = action;
        }
    }

    // The window type's own Tools shortcut would make Ctrl+R ambiguous here,
    // and then neither would fire; inside this window Ctrl+R runs the job.
    if (QMenu *tools = SharedMenu::findMenu(*this, QStringLiteral("&Tools"))) {
        for (QAction *action : tools->actions()) {
            if (action->shortcut() == m_runAction->shortcut())
                action->setShortcut(QKeySequence());
        }
    }

    // Paints the syntax and the search matches: two highlighters on one
    // document would erase each other's colours.
    m_highlighter = new ArgFileHighlighter(m_argfileBrowser->textBrowser()->document());
    m_argfileBrowser->setSearchHighlighter(m_highlighter);
    setWindowTitle(windowName());
    setAcceptDrops(true);
    m_selectionDirectory = QDir::homePath();

    connect(m_argfileButton, &QToolButton::clicked, this, &TRAXOgoWindow::selectFile);
    connect(m_openAction, &QAction::triggered, this, &TRAXOgoWindow::selectFile);
    connect(m_cwdButton, &QToolButton::clicked, this, &TRAXOgoWindow::selectCwd);
    connect(m_argfileEdit, &QLineEdit::textChanged, this, &TRAXOgoWindow::autoAdjustCwd);
    connect(m_argfileEdit, &QLineEdit::textChanged, this, &TRAXOgoWindow::updateRunOption);
    connect(m_argfileEdit, &QLineEdit::textChanged, this, &TRAXOgoWindow::showArgfile);
    connect(m_argfileEdit, &QLineEdit::textChanged, this, &TRAXOgoWindow::modifyTitle);
    connect(m_argfileEdit, &QLineEdit::textChanged, this, &TRAXOgoWindow::argfileUpdated);
    connect(m_syncDirCheck, &QCheckBox::toggled, this, &TRAXOgoWindow::disableCwdUi);
    connect(m_runButton, &QPushButton::clicked, this, &TRAXOgoWindow::runTraxoadd);
    connect(m_runAction, &QAction::triggered, this, &TRAXOgoWindow::runTraxoadd);
    connect(m_editButton, &QPushButton::clicked, this, &TRAXOgoWindow::editArgFile);
    connect(m_traxoformAction, &QAction::triggered, this, &TRAXOgoWindow::editArgFile);
    connect(&m_runner, &TraxoaddRunner::outputUpdated, this, &TRAXOgoWindow::updateCommandlineOutput);
    connect(&m_runner, &TraxoaddRunner::traxoaddFinished, this, &TRAXOgoWindow::finishJob);
    connect(m_examplesAction, &QAction::triggered, this, &TRAXOgoWindow::installExamples);
    connect(m_helpAction, &QAction::triggered, this, &TRAXOgoWindow::showHelp);
    connect(m_outputBrowser->textBrowser(), &QTextBrowser::anchorClicked, this, &TRAXOgoWindow::anchorClicked);
    connect(this, &ManagedWindow::recentFileSelected, this, &TRAXOgoWindow::setArgfile);

    initHelloMessage();
    disableCwdUi(m_syncDirCheck->isChecked());
    updateRunOption();
    if (!argfile.isEmpty())
        setArgfile(argfile);
}

TRAXOgoWindow::~TRAXOgoWindow()
{
    // The runner's output must not reach a half-destroyed window.
    m_runner.disconnect(this);
    m_runner.stop();
}

ManagedWindow *TRAXOgoWindow::createTRAXOgoWindow(const QString &filename, const QVariantHash &parameters)
{
    Q_UNUSED(parameters);
    return new TRAXOgoWindow(filename);
}

void TRAXOgoWindow::buildUi()
{
    auto *central = new QWidget(this);
    auto *grid = new QGridLayout(central);

    grid->addWidget(new QLabel(tr("Arg-File"), central), 0, 0);
    m_argfileEdit = new QLineEdit(central);
    m_argfileEdit->setObjectName(QStringLiteral("m_argfileEdit"));
    grid->addWidget(m_argfileEdit, 0, 1);
    m_argfileButton = new QToolButton(central);
    m_argfileButton->setObjectName(QStringLiteral("m_argfileButton"));
    m_argfileButton->setText(QStringLiteral("..."));
    grid->addWidget(m_argfileButton, 0, 2);

    grid->addWidget(new QLabel(tr("Current Working Directory"), central), 1, 0);
    m_cwdEdit = new QLineEdit(central);
    m_cwdEdit->setObjectName(QStringLiteral("m_cwdEdit"));
    grid->addWidget(m_cwdEdit, 1, 1);
    m_cwdButton = new QToolButton(central);
    m_cwdButton->setObjectName(QStringLiteral("m_cwdButton"));
    m_cwdButton->setText(QStringLiteral("..."));
    grid->addWidget(m_cwdButton, 1, 2);

    m_syncDirCheck = new QCheckBox(tr("Use file's directory as working directory"), central);
    m_syncDirCheck->setObjectName(QStringLiteral("m_syncDirCheck"));
    m_syncDirCheck->setChecked(true);
    grid->addWidget(m_syncDirCheck, 2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_editButton = new QPushButton(tr("Edit"), central);
    m_editButton->setObjectName(QStringLiteral("m_editButton"));
    buttons->addWidget(m_editButton);
    m_runButton = new QPushButton(tr("Run"), central);
    m_runButton->setObjectName(QStringLiteral("m_runButton"));
    m_runButton->setDefault(true);
    buttons->addWidget(m_runButton);
    grid->addLayout(buttons, 3, 0, 1, 3);

    m_infoTabs = new QTabWidget(central);
    m_infoTabs->setObjectName(QStringLiteral("m_infoTabs"));
    m_outputBrowser = new FindTextBrowser(m_infoTabs);
    m_outputBrowser->setObjectName(QStringLiteral("m_outputBrowser"));
    m_outputBrowser->textBrowser()->setOpenLinks(false);
    m_outputBrowser->textBrowser()->setOpenExternalLinks(false);
    m_outputBrowser->setShortcutsActive(true);
    m_argfileBrowser = new FindTextBrowser(m_infoTabs);
    m_argfileBrowser->setObjectName(QStringLiteral("m_argfileBrowser"));
    m_argfileBrowser->setShortcutsActive(true);
    m_infoTabs->addTab(m_outputBrowser, tr("Commandline Output"));
    m_infoTabs->addTab(m_argfileBrowser, tr("File Content"));
    grid->addWidget(m_infoTabs, 4, 0, 1, 3);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);

    setCentralWidget(central);
    statusBar();
    resize(760, 600);
}

void TRAXOgoWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    m_openAction = file->addAction(tr("Open..."));
    m_openAction->setObjectName(QStringLiteral("m_openAction"));
    m_openAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    m_runAction = file->addAction(tr("&Run"));
    m_runAction->setObjectName(QStringLiteral("m_runAction"));
    m_runAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    m_traxoformAction = file->addAction(tr("Start TRAXOform"));
    m_traxoformAction->setObjectName(QStringLiteral("m_traxoformAction"));
    file->addSeparator();
    const auto newWindowAction = [this, file](const QString &text, const char *name, const QString &type) {
        QAction *action = file->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, type] { createWindow(type); });
        return action;
    };
    m_newTRAXOformAction = newWindowAction(tr("New TRAXOform"), "m_newTRAXOformAction", editorWindowType);
    m_newTRAXOgoAction = newWindowAction(tr("New TRAXOgo"), "m_newTRAXOgoAction", windowName());
    m_newUnTRAXOAction = newWindowAction(tr("New unTRAXO"), "m_newUnTRAXOAction", viewerWindowType);
    file->addSeparator();
    m_preferencesAction = file->addAction(tr("&Preferences"));
    m_preferencesAction->setObjectName(QStringLiteral("m_preferencesAction"));
    m_preferencesAction->setMenuRole(QAction::PreferencesRole);
    connect(m_preferencesAction, &QAction::triggered, this, &TRAXOgoWindow::showPreferences);

    QMenu *extras = menuBar()->addMenu(tr("Extras"));
    m_examplesAction = extras->addAction(tr("Install Examples..."));
    m_examplesAction->setObjectName(QStringLiteral("m_examplesAction"));

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    m_helpAction = help->addAction(tr("Help Content"));
    m_helpAction->setObjectName(QStringLiteral("m_helpAction"));
    m_helpAction->setShortcut(QKeySequence::HelpContents);
}

void TRAXOgoWindow::setArgfile(const QString &name)
{
    m_argfileEdit->setText(name);
    m_argfileEdit->setToolTip(name);
}

QString TRAXOgoWindow::getArgfile() const
{
    return m_argfileEdit->text();
}

void TRAXOgoWindow::setCwd(const QString &dir)
{
    m_cwdEdit->setText(dir);
    m_cwdEdit->setToolTip(dir);
}

QString TRAXOgoWindow::getCwd() const
{
    return m_cwdEdit->text();
}

void TRAXOgoWindow::selectFile()
{
    const QString name = QFileDialog::getOpenFileName(
        this, tr("select a TRAXO Argfile..."), m_selectionDirectory, tr("TRAXO Argfile (*.vcmd);;All files (*)"));
    if (!name.isEmpty())
        setArgfile(name);
}

void TRAXOgoWindow::selectCwd()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("select a working directory..."), getCwd());
    if (!dir.isEmpty())
        setCwd(dir);
}

void TRAXOgoWindow::autoAdjustCwd(const QString &path)
{
    if (m_syncDirCheck->isChecked())
        setCwd(QFileInfo(path).path());
}

void TRAXOgoWindow::disableCwdUi(bool checked)
{
    m_cwdEdit->setEnabled(!checked);
    m_cwdButton->setEnabled(!checked);
    if (checked)
        autoAdjustCwd(getArgfile());
}

void TRAXOgoWindow::updateRunOption()
{
    const bool enabled = !m_jobRunning && !getArgfile().isEmpty();
    m_runAction->setEnabled(enabled);
    m_runButton->setEnabled(enabled);
    m_editButton->setEnabled(enabled);
}

void TRAXOgoWindow::showArgfile(const QString &path)
{
    QTextBrowser *browser = m_argfileBrowser->textBrowser();
    browser->clear();
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const qint64 size = file.size();
    if (size >= previewLimit) {
        browser->setPlainText(
            tr("Probably no Argfile- File too large: %1 MB").arg(QString::number(double(size) / 1048576.0)));
        return;
    }
    browser->setPlainText(QString::fromUtf8(file.readAll()));
}

void TRAXOgoWindow::modifyTitle(const QString &path)
{
    setWindowTitle(QStringLiteral("Run TRAXO Arg File - ") + QFileInfo(path).fileName());
    updateWindowMenu();
}

void TRAXOgoWindow::updateCommandlineOutput(const QString &html)
{
    QTextBrowser *browser = m_outputBrowser->textBrowser();
    browser->setHtml(html);
    QScrollBar *bar = browser->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TRAXOgoWindow::startJob()
{
    m_jobRunning = true;
    statusBar()->showMessage(tr("Job running..."));
    updateRunOption();
}

void TRAXOgoWindow::runTraxoadd()
{
    if (m_jobRunning || getArgfile().isEmpty())
        return;
    m_infoTabs->setCurrentIndex(0);
    m_outputBrowser->textBrowser()->clear();
    addRecentFile(getArgfile());
    startJob();
    m_runner.runTraxoadd(getArgfile(), getCwd());
}

void TRAXOgoWindow::finishJob()
{
    m_jobRunning = false;
    updateRunOption();
    statusBar()->showMessage(tr("job finished"));
}

void TRAXOgoWindow::editArgFile()
{
    if (WindowList *list = WindowList::globalInstance())
        list->createWindow(editorWindowType, getArgfile());
}

void TRAXOgoWindow::installExamples()
{
    QMessageBox::information(this, tr("How to install examples"),
        tr("In the following dialog, select a directory into which the examples should be installed. A directory "
           "\"examples\" will be created inside the selected directory and will contain all the example files. "
           "Afterwards, a dialog for selecting one of the examples will be opened."));
    const QString parent = QFileDialog::getExistingDirectory(
        this, tr("Select a directory into which the examples shouldbe installed"), m_selectionDirectory);
    if (parent.isEmpty())
        return;

    QDir parentDir(parent);
    const QString target = parentDir.absoluteFilePath(QStringLiteral("examples"));
    if (QFileInfo::exists(target)) {
        const auto answer = QMessageBox::question(this, tr("Directory already exists"),
            tr("The selected directory (%1) does already exist. Do you want to overwrite it?").arg(target),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        removeDirectory(target);
    }
    if (!parentDir.mkdir(QStringLiteral("examples"))) {
        QMessageBox::critical(
            this, tr("Could not create directory"), tr("Could not create directory (%1)").arg(target));
        return;
    }
    const QString source = QDir(getExamplesDir()).absolutePath();
    if (!copyDirectory(source, target)) {
        QMessageBox::critical(
            this, tr("Could not copy directory"), tr("Could not copy directory (%1) to (%2)").arg(source, target));
        return;
    }
    // The examples append to their containers, so they must start without
    // history: the demo container the build keeps beside them stays behind.
    for (QDirIterator it(target, { QStringLiteral("*.traxo") }, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString container = it.next();
        if (!QFile::remove(container)) {
            QMessageBox::critical(this, tr("Could not copy directory"),
                tr("Could not remove the container (%1) from the examples").arg(container));
            return;
        }
    }
    QMessageBox::information(this, tr("How to run examples"),
        tr("You can now select an example in the following dialog. The output of the examples will be in this "
           "examples folder, as well."));
    m_selectionDirectory = target;
    selectFile();
}

void TRAXOgoWindow::showPreferences()
{
    UnTRAXOPreferencesWindow preferences(this);
    preferences.exec();
}

void TRAXOgoWindow::showHelp()
{
    HelpViewer::globalOpenPage(QStringLiteral("traxogo.html"));
}

void TRAXOgoWindow::anchorClicked(const QUrl &url)
{
    const QString link = url.toString();
    if (link.startsWith(QLatin1String("doc://"))) {
        HelpViewer::openDocLink(link);
        return;
    }
    QDesktopServices::openUrl(url);
}

void TRAXOgoWindow::initHelloMessage()
{
    const QString html
        = QStringLiteral("<table><tr><td><img src=\":/resources/traxobench1-64.png\" /></td><td>"
                         "<p><b>%1</b></p><p>%2<br />%3<br /><a href=\"%4\">%4</a><br />"
                         "<a href=\"mailto:%5\">%5</a></p></td></tr></table>")
              .arg(escapeHtml(QStringLiteral("TRAXOgo - ") + TRAXOBENCH_NAME_VERSION), escapeHtml(TRAXOBENCH_MAKER),
                  escapeHtml(TRAXOBENCH_MAKER_CITY), escapeHtml(TRAXOBENCH_WEBPAGE), escapeHtml(TRAXOBENCH_EMAIL))
        + tr("<p>To install and run the <b>examples</b>, select the \"Install Examples\" option in the \"Extras\" "
             "menu. After selecting one example, press the \"Run\" button.</p>")
        + QStringLiteral("<p><a href=\"doc://theindex.html\">Local Help</a> &middot; "
                         "<a href=\"doc://disclaimer.html\">Disclaimer</a> &middot; "
                         "<a href=\"doc://license.html\">License</a></p>");
    m_outputBrowser->textBrowser()->setHtml(html);
}

bool TRAXOgoWindow::confirmKillJob()
{
    return QMessageBox::question(this, tr("traxoadd is running"),
               tr("A traxoadd job is currently running. Closing this window will kill the job. Do you really want "
                  "to close the window?"),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void TRAXOgoWindow::closeEvent(QCloseEvent *event)
{
    if (m_jobRunning || m_runner.isRunning()) {
        if (!confirmKillJob()) {
            event->ignore();
            return;
        }
        m_runner.stop();
    }
    event->accept();
}

void TRAXOgoWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TRAXOgoWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    setArgfile(urls.first().toLocalFile());
    event->acceptProposedAction();
}
