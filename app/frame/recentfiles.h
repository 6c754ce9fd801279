#ifndef TRAXO_RECENTFILES_H
#define TRAXO_RECENTFILES_H

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;
class QMenu;

// One tool's list of recently opened files, most recent first, shown as five
// menu entries and stored under its settings key as soon as it changes, so
// windows opened later see the new order.
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxFiles = 5;

    // The five actions go in front of the menu entry at position; a negative
    // or too large position appends them.
    RecentFiles(const QString &key, QMenu &menu, int position, QObject *parent = nullptr);
    ~RecentFiles() override;

    void addRecentFile(const QString &filename);
    void truncateRecentFilesList();
    void updateAction(QAction *action, int index);

    QStringList files() const { return m_files; }
    QList<QAction *> actions() const;

signals:
    void recentFileSelected(const QString &filename);

private slots:
    void emitRecentFileAction(int index);

private:
    QString m_settingsKey;
    QStringList m_files;
    // Guarded: the menu owns the actions and may go first.
    QList<QPointer<QAction>> m_actions;
};

#endif
