#include "managedwindow.h"

#include "windowlist.h"

#include <QEvent>
#include <QMenuBar>

ManagedWindow::ManagedWindow(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
}

void ManagedWindow::initSharedMenu(const QString &recentFilesKey)
{
    m_windowMenu = m_sharedMenu.initMenu(*this, recentFilesKey);
    connect(
        &m_sharedMenu, &SharedMenu::recentFileSelected, this, &ManagedWindow::recentFileSelected, Qt::UniqueConnection);
}

void ManagedWindow::updateWindowMenu()
{
    m_sharedMenu.updateWindowMenu();
}

void ManagedWindow::addRecentFile(const QString &filename)
{
    m_sharedMenu.addRecentFile(filename);
}

void ManagedWindow::removeMainMenu()
{
    m_sharedMenu.removeRecentFiles();
    m_windowMenu = nullptr;
    QWidget *bar = menuWidget();
    setMenuBar(nullptr);
    delete bar;
}

void ManagedWindow::activate()
{
    activateWindow();
    raise();
}

void ManagedWindow::createWindow(const QString &type, const QString &filename)
{
    m_sharedMenu.createWindow(type, filename);
}

void ManagedWindow::createWindow(const QString &type)
{
    m_sharedMenu.createWindow(type);
}

void ManagedWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    const bool titleShown = event->type() == QEvent::WindowTitleChange || event->type() == QEvent::ModifiedChange;
    WindowList *list = WindowList::globalInstance();
    if (titleShown && list && list->findWindow(this) >= 0)
        list->updateAllMenus();
}
