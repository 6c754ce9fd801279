#ifndef TRAXO_SHAREDMENU_H
#define TRAXO_SHAREDMENU_H

#include <QObject>
#include <QString>
#include <QStringList>

class QMainWindow;
class QMenu;
class RecentFiles;

// The menus every tool window shares: recent files, "&Close Window" and
// "&Quit" at the end of "&File", "&Tools" and "&Windows" in front of "&Help",
// and "About" in "&Help".
class SharedMenu : public QObject
{
    Q_OBJECT

public:
    explicit SharedMenu(QObject *parent = nullptr);
    ~SharedMenu() override;

    // Returns the Windows menu (null without a menu bar).
    QMenu *initMenu(QMainWindow &window, const QString &recentFilesKey);

    static QMenu *findMenu(QMainWindow &window, const QString &title);
    // A new menu in front of beforeTitle, or at the end when there is no such
    // entry; null when the window has no menu bar.
    static QMenu *createMenuBefore(QMainWindow &window, const QString &title, const QString &beforeTitle);
    void initFileMenu(QMenu &menu, QMainWindow &window, const QString &recentFilesKey);
    void initToolsMenu(QMenu &menu);
    void initHelpMenu(QMenu &menu);

    static QStringList getRecentFiles(const QString &key);
    RecentFiles *recentFiles() const { return m_recentFiles; }

signals:
    void recentFileSelected(const QString &filename);

public slots:
    void createWindow(const QString &type, const QString &filename);
    void createWindow(const QString &type);
    void showAboutDialog();
    void addRecentFile(const QString &filename);
    void removeRecentFiles();
    void updateWindowMenu();

private:
    RecentFiles *m_recentFiles = nullptr;
};

// The HTML of the About box.
QString aboutText();

#endif
