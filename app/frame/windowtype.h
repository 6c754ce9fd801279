#ifndef TRAXO_WINDOWTYPE_H
#define TRAXO_WINDOWTYPE_H

#include <QString>
#include <QStringList>
#include <QVariantHash>

class ManagedWindow;

// Builds a tool window for a file (empty: an empty window) without showing
// it; the window list shows and places it.
using WindowCreator = ManagedWindow *(*)(const QString &filename, const QVariantHash &parameters);

// One registered kind of tool window: its name (also its Tools-menu label),
// the Tools-menu shortcut, the file suffixes it opens and its factory.
class WindowType
{
public:
    WindowType() = default;
    WindowType(
        const QString &name, const QString &shortcut, const QStringList &associatedTypes, WindowCreator windowCreator);

    // The type of a window class W that provides the static functions
    // windowName() and windowShortcut():
    //   WindowType::fromClass<TRAXOgoWindow>({"vcmd"}, &TRAXOgoWindow::createTRAXOgoWindow)
    template<class W>
    static WindowType fromClass(const QStringList &associatedTypes, WindowCreator windowCreator)
    {
        return WindowType(W::windowName(), W::windowShortcut(), associatedTypes, windowCreator);
    }

    QString name() const { return m_name; }
    QString shortcut() const { return m_shortcut; }
    WindowCreator windowCreator() const { return m_windowCreator; }
    QStringList associatedTypes() const { return m_associatedTypes; }

private:
    QString m_name;
    QString m_shortcut;
    QStringList m_associatedTypes;
    WindowCreator m_windowCreator = nullptr;
};

#endif
