#ifndef TRAXO_MANAGEDWINDOW_H
#define TRAXO_MANAGEDWINDOW_H

#include "sharedmenu.h"

#include <QMainWindow>

class QMenu;

// Base of every tool window. A concrete window provides the static functions
// windowName() and windowShortcut() and a static factory, and calls
// initSharedMenu() once its own "&File" and "&Help" menus exist.
class ManagedWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ManagedWindow(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    // Adds recent files, Close Window, Quit, the Tools, Windows and About
    // entries; an empty key means the tool keeps no recent-file list.
    void initSharedMenu(const QString &recentFilesKey);
    QMenu *getWindowMenu() const { return m_windowMenu; }
    void updateWindowMenu();
    void addRecentFile(const QString &filename);
    void removeMainMenu();

    SharedMenu &sharedMenu() { return m_sharedMenu; }

signals:
    // A file was picked from the recent-files list; each tool opens it.
    void recentFileSelected(const QString &filename);

public slots:
    void activate();
    void createWindow(const QString &type, const QString &filename);
    void createWindow(const QString &type);

protected:
    // Keeps every Windows menu in step with this window's title.
    void changeEvent(QEvent *event) override;

private:
    SharedMenu m_sharedMenu;
    QMenu *m_windowMenu = nullptr;
};

#endif
