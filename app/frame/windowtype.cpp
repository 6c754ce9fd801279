#include "windowtype.h"

WindowType::WindowType(
    const QString &name, const QString &shortcut, const QStringList &associatedTypes, WindowCreator windowCreator)
    : m_name(name)
    , m_shortcut(shortcut)
    , m_associatedTypes(associatedTypes)
    , m_windowCreator(windowCreator)
{
}
