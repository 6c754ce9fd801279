#include "recentfiles.h"

#include "framelog.h"
#include "vsettings.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

RecentFiles::RecentFiles(const QString &key, QMenu &menu, int position, QObject *parent)
    : QObject(parent)
    , m_settingsKey(key)
{
    m_files = QSettings(VSettings::getOrganization(), VSettings::getApplication()).value(key).toStringList();
    truncateRecentFilesList();

    const QList<QAction *> existing = menu.actions();
    QAction *before = (position >= 0 && position < existing.size()) ? existing.at(position) : nullptr;
    for (int i = 0; i < MaxFiles; ++i) {
        // The menu owns the actions, so they disappear with it; this object
        // deletes them when the list is dropped earlier.
        auto *action = new QAction(&menu);
        menu.insertAction(before, action);
        connect(action, &QAction::triggered, this, [this, i] { emitRecentFileAction(i); });
        updateAction(action, i);
        m_actions.append(action);
    }
}

RecentFiles::~RecentFiles()
{
    for (const QPointer<QAction> &action : std::as_const(m_actions))
        delete action.data();
}

QList<QAction *> RecentFiles::actions() const
{
    QList<QAction *> result;
    for (const QPointer<QAction> &action : m_actions)
        result.append(action.data());
    return result;
}

void RecentFiles::truncateRecentFilesList()
{
    while (m_files.size() > MaxFiles)
        m_files.removeLast();
}

void RecentFiles::updateAction(QAction *action, int index)
{
    const bool present = index >= 0 && index < m_files.size();
    action->setVisible(present);
    if (!present) {
        action->setText(QString());
        return;
    }
    const QString format = index < 9 ? QStringLiteral("&%1 %2") : QStringLiteral("%1 %2");
    action->setText(format.arg(QString::number(index + 1), m_files.at(index)));
}

void RecentFiles::addRecentFile(const QString &filename)
{
    m_files.removeAll(filename);
    m_files.prepend(filename);
    truncateRecentFilesList();
    for (int i = 0; i < m_actions.size(); ++i) {
        if (m_actions.at(i))
            updateAction(m_actions.at(i), i);
    }

    QSettings settings(VSettings::getOrganization(), VSettings::getApplication());
    settings.setValue(m_settingsKey, m_files);
    settings.sync();
}

void RecentFiles::emitRecentFileAction(int index)
{
    if (index < 0 || index >= m_files.size())
        return;
    const QString path = m_files.at(index);
    qCDebug(lcFrame) << "recent file" << path;
    emit recentFileSelected(path);
}
