#include "windowlist.h"

#include "framelog.h"
#include "managedwindow.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>

namespace {
WindowList *theWindowList = nullptr;
}

WindowList::WindowList(const QString &name, QObject *parent)
    : QObject(parent)
{
    setObjectName(name);
}

WindowList::~WindowList()
{
    if (theWindowList == this)
        theWindowList = nullptr;
    // Windows outliving the list must not call back into it.
    for (const auto &entry : std::as_const(m_windows))
        disconnect(entry.first, nullptr, this, nullptr);
}

WindowList *WindowList::globalInstance()
{
    return theWindowList;
}

void WindowList::setGlobalInstance(WindowList *list)
{
    theWindowList = list;
}

void WindowList::registerWindowType(const WindowType &type)
{
    if (!m_types.contains(type.name()))
        m_typeOrder.append(type.name());
    m_types.insert(type.name(), type);
}

void WindowList::setDefaultWindowType(const QString &name)
{
    m_defaultWindowType = name;
}

QList<ManagedWindow *> WindowList::windows() const
{
    QList<ManagedWindow *> result;
    for (const auto &entry : m_windows)
        result.append(entry.first);
    return result;
}

ManagedWindow *WindowList::createWindow(
    const QString &typeName, const QString &filename, const QVariantHash &parameters)
{
    const auto type = m_types.constFind(typeName);
    if (type == m_types.constEnd() || !type->windowCreator()) {
        qCDebug(lcFrame) << "No such window type:" << typeName;
        return nullptr;
    }
    ManagedWindow *window = type->windowCreator()(filename, parameters);
    if (!window)
        return nullptr;
    initWindow(window, *type);
    showWindow(*window);
    return window;
}

ManagedWindow *WindowList::createWindow(const QString &typeName, const QString &filename)
{
    return createWindow(typeName, filename, QVariantHash());
}

ManagedWindow *WindowList::createWindow(const QString &typeName)
{
    return createWindow(typeName, QString(), QVariantHash());
}

void WindowList::initWindow(ManagedWindow *window, const WindowType &type)
{
    if (!window || findWindow(window) >= 0)
        return;
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QObject::destroyed, this, &WindowList::removeWindow);
    placeWindow(*window);
    m_windows.append(qMakePair(window, type));
    updateAllMenus();
}

void WindowList::placeWindow(ManagedWindow &window) const
{
    if (m_windows.isEmpty())
        return;
    const ManagedWindow *last = m_windows.last().first;
    // The height of the window frame above the client area: new windows
    // cascade down and right by one title bar.
    const int d = last->geometry().y() - last->y();
    window.move(last->pos() + QPoint(d, d));
}

void WindowList::showWindow(ManagedWindow &window)
{
    window.show();
    window.activate();
}

void WindowList::createFirstWindow()
{
    // Windows for files named on the command line were made before this runs;
    // only a start without any window gets the empty default one.
    if (m_windows.isEmpty())
        createWindow(m_defaultWindowType);
}

void WindowList::openFile(const QString &filename)
{
    const QString suffix = QFileInfo(filename).suffix();
    for (const QString &name : std::as_const(m_typeOrder)) {
        if (m_types.value(name).associatedTypes().contains(suffix, Qt::CaseSensitive)) {
            createWindow(name, filename, QVariantHash());
            return;
        }
    }
    qCDebug(lcFrame) << "error: no window type is associated with extension of file" << filename;
}

void WindowList::removeWindow(QObject *window)
{
    const qsizetype before = m_windows.size();
    m_windows.removeIf([window](const QPair<ManagedWindow *, WindowType> &entry) {
        return static_cast<QObject *>(entry.first) == window;
    });
    if (m_windows.size() != before)
        updateAllMenus();
}

void WindowList::removeAllWindows()
{
    // Closing may delete a window and so change the list under our feet.
    const QList<ManagedWindow *> all = windows();
    for (const QPointer<ManagedWindow> window : all) {
        if (window)
            window->close();
    }
}

int WindowList::findWindow(QWidget *window) const
{
    for (int i = 0; i < m_windows.size(); ++i) {
        if (m_windows.at(i).first == window)
            return i;
    }
    return -1;
}

void WindowList::activateAt(int index)
{
    m_windows.at(index).first->activate();
}

void WindowList::makeNextWindowActive()
{
    if (m_windows.isEmpty())
        return;
    const int current = findWindow(QApplication::activeWindow());
    if (current < 0)
        return;
    activateAt((current + 1) % m_windows.size());
}

void WindowList::makePrevWindowActive()
{
    if (m_windows.isEmpty())
        return;
    const int current = findWindow(QApplication::activeWindow());
    if (current < 0)
        return;
    activateAt((current + m_windows.size() - 1) % m_windows.size());
}

void WindowList::focusChanged()
{
    QWidget *active = QApplication::activeWindow();
    if (active == m_activeWindow)
        return;
    m_activeWindow = active;
    updateAllMenus();
}

void WindowList::updateAllMenus()
{
    for (const auto &entry : std::as_const(m_windows)) {
        if (QMenu *menu = entry.first->getWindowMenu())
            updateWindowMenu(*menu);
    }
}

void WindowList::updateWindowMenu(QMenu &menu)
{
    // The menu may be rebuilt from one of its own actions: old actions are
    // deleted later, never while they are still emitting.
    const QList<QAction *> old = menu.actions();
    for (QAction *action : old) {
        menu.removeAction(action);
        if (action->parent() == &menu)
            action->deleteLater();
    }

    QAction *next = menu.addAction(tr("next Window"));
    connect(next, &QAction::triggered, this, &WindowList::makeNextWindowActive);
    QAction *previous = menu.addAction(tr("previous Window"));
    connect(previous, &QAction::triggered, this, &WindowList::makePrevWindowActive);
    menu.addSeparator();

    for (const auto &entry : std::as_const(m_windows)) {
        ManagedWindow *window = entry.first;
        // A title carrying the modification placeholder shows it as the
        // window bar does: "*" while modified, nothing otherwise.
        QString title = window->windowTitle();
        title.replace(QStringLiteral("[*]"), window->isWindowModified() ? QStringLiteral("*") : QString());
        QAction *action = menu.addAction(title);
        action->setCheckable(true);
        action->setChecked(window == m_activeWindow);
        connect(action, &QAction::triggered, window, &ManagedWindow::activate);
        connect(action, &QAction::triggered, this, &WindowList::updateAllMenus, Qt::QueuedConnection);
    }
}

void registerWindows(const QList<WindowType> &types)
{
    WindowList *list = WindowList::globalInstance();
    if (!list) {
        qCDebug(lcFrame) << "window list not initialized";
        return;
    }
    for (const WindowType &type : types) {
        list->registerWindowType(type);
        if (list->defaultWindowType().isEmpty())
            list->setDefaultWindowType(type.name());
    }
}
