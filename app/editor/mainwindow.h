#ifndef TRAXO_MAINWINDOW_H
#define TRAXO_MAINWINDOW_H

#include "frame/managedwindow.h"

#include <QVariantHash>

class GuiWindow;

// The arg-file editor's window (TRAXOform): the form as central widget, its
// File, Edit, View and Help menus, and the frame's shared menus.
class MainWindow : public ManagedWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const QString &applicationDir, QWidget *parent = nullptr);

    static QString windowName() { return QStringLiteral("Create TRAXO Arg-File"); }
    static QString windowShortcut() { return QStringLiteral("ctrl+E"); }
    // Builds an editor window, with the arg-file filename opened when given.
    static ManagedWindow *createTRAXOformWindow(const QString &filename, const QVariantHash &parameters);
    // Where the program's own files lie, seen from the running executable.
    static QString applicationDirectory(const QString &programDir);

    GuiWindow *guiWindow() const { return m_gui; }

protected:
    // A form with unsaved changes asks first; Cancel keeps the window open.
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();

    GuiWindow *m_gui;
};

#endif
