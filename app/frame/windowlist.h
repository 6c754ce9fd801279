#ifndef TRAXO_WINDOWLIST_H
#define TRAXO_WINDOWLIST_H

#include "windowtype.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QVariantHash>
#include <QWidget>

class QMenu;

// The registry of window types and the list of open tool windows, in
// creation order. It does not own the windows: they delete themselves when
// closed and leave the list through their destroyed() signal. Windows reach
// each other only through the one global instance.
class WindowList : public QObject
{
    Q_OBJECT

public:
    explicit WindowList(const QString &name = QString(), QObject *parent = nullptr);
    ~WindowList() override;

    static WindowList *globalInstance();
    static void setGlobalInstance(WindowList *list);

    // Inserts the type, or replaces the one of the same name.
    void registerWindowType(const WindowType &type);
    void setDefaultWindowType(const QString &name);
    QString defaultWindowType() const { return m_defaultWindowType; }
    QHash<QString, WindowType> getRegistratedWindowTypes() const { return m_types; }
    // Type names in the order they were first registered (the Tools menu order).
    QStringList windowTypeNames() const { return m_typeOrder; }

    // The open windows in creation order.
    QList<ManagedWindow *> windows() const;
    int windowCount() const { return m_windows.size(); }

    // Fills a Windows menu: next/previous and one checkable entry per window.
    void updateWindowMenu(QMenu &menu);
    // Position of the window in the list, -1 when it is not there.
    int findWindow(QWidget *window) const;
    void showWindow(ManagedWindow &window);
    // Takes an already constructed window into the list: delete-on-close,
    // removal when destroyed, cascade placement, menus rebuilt.
    void initWindow(ManagedWindow *window, const WindowType &type);

public slots:
    ManagedWindow *createWindow(const QString &typeName, const QString &filename, const QVariantHash &parameters);
    ManagedWindow *createWindow(const QString &typeName, const QString &filename);
    ManagedWindow *createWindow(const QString &typeName);
    void createFirstWindow();
    void openFile(const QString &filename);
    void removeWindow(QObject *window);
    void removeAllWindows();
    void makeNextWindowActive();
    void makePrevWindowActive();
    void focusChanged();
    void updateAllMenus();

private:
    void placeWindow(ManagedWindow &window) const;
    void activateAt(int index);

    QHash<QString, WindowType> m_types;
    QStringList m_typeOrder;
    QList<QPair<ManagedWindow *, WindowType>> m_windows;
    QString m_defaultWindowType;
    QPointer<QWidget> m_activeWindow;
};

// Registers the types in order; the first becomes the default type, the one
// created when the application starts without a file.
void registerWindows(const QList<WindowType> &types);

#endif
