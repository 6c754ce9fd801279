#include "mainwindow.h"

#include "guiwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenuBar>

MainWindow::MainWindow(const QString &applicationDir, QWidget *parent)
    : ManagedWindow(parent)
    , m_gui(new GuiWindow(applicationDir, this, this))
{
    setCentralWidget(m_gui);
    createMenus();
    initSharedMenu(QStringLiteral("Traxoform/RecentFiles"));
    connect(this, &ManagedWindow::recentFileSelected, m_gui, &GuiWindow::openArgFile);
    setWindowTitle(tr("Create TRAXO Arg File"));
}

ManagedWindow *MainWindow::createTRAXOformWindow(const QString &filename, const QVariantHash &)
{
    auto *window = new MainWindow(applicationDirectory(QCoreApplication::applicationDirPath()));
    if (!filename.isEmpty())
        window->m_gui->openArgFile(filename);
    return window;
}

QString MainWindow::applicationDirectory(const QString &programDir)
{
    const int buildFolder = programDir.indexOf(QLatin1String("/traxoform/"));
    if (buildFolder >= 0)
        return programDir.left(buildFolder) + QLatin1String("/bin_macx");
    if (programDir.endsWith(QLatin1String("/Contents/MacOS")))
        return programDir + QLatin1String("/../../..");
    return programDir;
}

void MainWindow::createMenus()
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    QAction *open = fileMenu->addAction(tr("&Open..."), m_gui, &GuiWindow::open_cmdfile);
    open->setShortcut(QKeySequence(tr("Ctrl+O")));
    open->setStatusTip(tr("Open a Cmd file"));
    QAction *saveAs = fileMenu->addAction(tr("&Save As..."), m_gui, &GuiWindow::save_cmdfile);
    saveAs->setShortcut(QKeySequence(tr("Ctrl+S")));
    saveAs->setStatusTip(tr("Save a Cmd file"));

    // Cut, copy and paste act on whichever text field has the focus.
    QMenu *editMenu = menuBar()->addMenu(tr("&Edit"));
    const auto addEditAction
        = [editMenu](const QString &text, const char *shortcut, const QString &tip, const char *slot) {
              QAction *action = editMenu->addAction(text, editMenu, [slot] {
                  QWidget *focus = QApplication::focusWidget();
                  if (focus && focus->metaObject()->indexOfSlot(QByteArray(slot) + "()") >= 0)
                      QMetaObject::invokeMethod(focus, slot);
              });
              action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
              action->setStatusTip(tip);
          };
    addEditAction(tr("Cu&t"), "Ctrl+X", tr("Cut the current selection's contents to the clipboard"), "cut");
    addEditAction(tr("&Copy"), "Ctrl+C", tr("Copy the current selection's contents to the clipboard"), "copy");
    addEditAction(tr("&Paste"), "Ctrl+V", tr("Paste the clipboard's contents into the current selection"), "paste");

    QMenu *viewMenu = menuBar()->addMenu(tr("&View"));
    const auto addTabAction
        = [this, viewMenu](const QString &text, const char *shortcut, const QString &tip, GuiWindow::Tab tab) {
              QAction *action = viewMenu->addAction(text, m_gui, [this, tab] { m_gui->setCurrentTab(tab); });
              action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
              action->setStatusTip(tip);
              return action;
          };
    addTabAction(tr("&Main Tab"), "Ctrl+1", tr("open the Main tab"), GuiWindow::MainTab)
        ->setObjectName(QStringLiteral("go_mainAct"));
    addTabAction(tr("&In/Out Files Tab"), "Ctrl+2", tr("open the In/Out files tab"), GuiWindow::InOutFilesTab)
        ->setObjectName(QStringLiteral("go_inoutfilesAct"));
    addTabAction(tr("&TRAXO files Tab"), "Ctrl+3", tr("open the TRAXO files tab"), GuiWindow::TraxoFilesTab)
        ->setObjectName(QStringLiteral("go_traxofilesAct"));
    addTabAction(tr("&Export Tab"), "Ctrl+4", tr("open the Export tab"), GuiWindow::ExportTab)
        ->setObjectName(QStringLiteral("go_exportAct"));

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("Help Contents"), m_gui, &GuiWindow::openTRAXOFORMHelp);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_gui->maybeSave())
        event->accept();
    else
        event->ignore();
}
