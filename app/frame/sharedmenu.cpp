#include "sharedmenu.h"

#include "framelog.h"
#include "recentfiles.h"
#include "traxobench.h"
#include "vsettings.h"
#include "windowlist.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>

SharedMenu::SharedMenu(QObject *parent)
    : QObject(parent)
{
}

SharedMenu::~SharedMenu()
{
    delete m_recentFiles;
}

QMenu *SharedMenu::initMenu(QMainWindow &window, const QString &recentFilesKey)
{
    window.menuBar(); // makes one when the window's form has none
    if (QMenu *file = findMenu(window, QStringLiteral("&File")))
        initFileMenu(*file, window, recentFilesKey);
    if (QMenu *tools = createMenuBefore(window, QStringLiteral("&Tools"), QStringLiteral("&Help")))
        initToolsMenu(*tools);
    QMenu *windows = createMenuBefore(window, QStringLiteral("&Windows"), QStringLiteral("&Help"));
    if (QMenu *help = findMenu(window, QStringLiteral("&Help")))
        initHelpMenu(*help);
    return windows;
}

QMenu *SharedMenu::findMenu(QMainWindow &window, const QString &title)
{
    auto *bar = qobject_cast<QMenuBar *>(window.menuWidget());
    if (!bar)
        return nullptr;
    const QList<QAction *> entries = bar->actions();
    for (QAction *entry : entries) {
        if (entry->menu() && entry->text() == title)
            return entry->menu();
    }
    return nullptr;
}

QMenu *SharedMenu::createMenuBefore(QMainWindow &window, const QString &title, const QString &beforeTitle)
{
    auto *bar = qobject_cast<QMenuBar *>(window.menuWidget());
    if (!bar)
        return nullptr;
    auto *menu = new QMenu(title, bar);
    QMenu *before = findMenu(window, beforeTitle);
    if (before)
        bar->insertMenu(before->menuAction(), menu);
    else
        bar->addMenu(menu);
    return menu;
}

void SharedMenu::initFileMenu(QMenu &menu, QMainWindow &window, const QString &recentFilesKey)
{
    if (!menu.actions().isEmpty())
        menu.addSeparator();
    if (!recentFilesKey.isEmpty()) {
        delete m_recentFiles;
        m_recentFiles = new RecentFiles(recentFilesKey, menu, -1, nullptr);
        connect(m_recentFiles, &RecentFiles::recentFileSelected, this, &SharedMenu::recentFileSelected);
        menu.addSeparator();
    }
    QAction *close = menu.addAction(tr("&Close Window"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, &window, &QWidget::close);
    QAction *quit = menu.addAction(tr("&Quit"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
}

void SharedMenu::initToolsMenu(QMenu &menu)
{
    WindowList *list = WindowList::globalInstance();
    if (!list) {
        qCDebug(lcFrame) << "WindowList not set";
        return;
    }
    const QHash<QString, WindowType> types = list->getRegistratedWindowTypes();
    const QStringList names = list->windowTypeNames();
    for (const QString &name : names) {
        QAction *action = menu.addAction(name);
        action->setShortcut(QKeySequence(types.value(name).shortcut()));
        connect(action, &QAction::triggered, this, [this, name] { createWindow(name); });
    }
}

void SharedMenu::initHelpMenu(QMenu &menu)
{
    QAction *about = menu.addAction(tr("About"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &SharedMenu::showAboutDialog);
}

QStringList SharedMenu::getRecentFiles(const QString &key)
{
    return QSettings(VSettings::getOrganization(), VSettings::getApplication()).value(key).toStringList();
}

void SharedMenu::createWindow(const QString &type, const QString &filename)
{
    WindowList *list = WindowList::globalInstance();
    if (!list) {
        qCDebug(lcFrame) << "WindowList not set";
        return;
    }
    list->createWindow(type, filename, QVariantHash());
}

void SharedMenu::createWindow(const QString &type)
{
    createWindow(type, QString());
}

QString aboutText()
{
    return QStringLiteral("<body bgcolor=\"#%1%2%3\">"
                          "<h2>%4</h2>"
                          "<p>Records, inspects and searches the processing history of data files.</p>"
                          "<p>&copy; %5 %6, %7.</p>"
                          "<p>Web page: <a href=\"%8\">%8</a></p>"
                          "<p>E-mail: <a href=\"mailto:%9\">%9</a></p>"
                          "</body>")
        .arg(0, 2, 16, QLatin1Char('0'))
        .arg(0, 2, 16, QLatin1Char('0'))
        .arg(0, 2, 16, QLatin1Char('0'))
        .arg(TRAXOBENCH_FULLNAME, TRAXOBENCH_YEARS, TRAXOBENCH_MAKER, TRAXOBENCH_MAKER_CITY, TRAXOBENCH_WEBPAGE,
            TRAXOBENCH_EMAIL);
}

void SharedMenu::showAboutDialog()
{
    QMessageBox::about(nullptr, tr("About ") + TRAXOBENCH_NAME, aboutText());
}

void SharedMenu::addRecentFile(const QString &filename)
{
    if (!m_recentFiles) {
        qCDebug(lcFrame) << "Warning: addRecentFile called for shared menu without recent files.";
        return;
    }
    m_recentFiles->addRecentFile(filename);
}

void SharedMenu::removeRecentFiles()
{
    delete m_recentFiles;
    m_recentFiles = nullptr;
}

void SharedMenu::updateWindowMenu()
{
    WindowList *list = WindowList::globalInstance();
    if (!list) {
        qCDebug(lcFrame) << "WindowList not set";
        return;
    }
    list->updateAllMenus();
}
