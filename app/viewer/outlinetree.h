#ifndef TRAXO_OUTLINETREE_H
#define TRAXO_OUTLINETREE_H

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTreeWidget>

class QMenu;

// Kind of an outline item, stored in role Qt::UserRole + 1.
enum TagType { TagSection = 1, TagFile = 2, TagDirectory = 3 };

// Roles of the data every outline item carries in column 0.
enum OutlineRole { TagTypeRole = Qt::UserRole + 1, TagIdRole = Qt::UserRole + 2, AnchorRole = Qt::UserRole + 3 };

// One recorded file of a section as the outline shows it.
struct FileData
{
    QString path; // directory and name as the workflow step recorded them
    int id = -1; // embedded-file id, negative when the file is not embedded
    QString anchor; // anchor of the file in the rendering
};

// The parts of a path: runs of characters other than '/' and '\', each with
// its trailing run of separators, so that joining them gives the path back.
QStringList splitPath(const QString &path);
// The last part of path with its separators; empty when path has none.
QString lastPartOfPath(const QString &path);
// Turns a drive prefix ("C:\") into an ordinary directory name ("C_\").
QString makePathValid(const QString &path);
// A new item (the caller owns it) with the type, id and anchor roles set.
QTreeWidgetItem *makeOutlineItem(const QString &text, TagType type, int id, const QString &anchor);
bool caseInsensitiveLessThan(const FileData &a, const FileData &b);
// First path part -> TagFile when it is the whole path, TagDirectory when
// more parts follow; a later path replaces an earlier entry.
QHash<QString, TagType> prefixesFromFiles(const QList<QStringList> &splitPaths);
// The tree of the given paths (splitPaths[i] are the remaining parts of
// files[i].path); chains of single directories fold into one item.
QTreeWidgetItem *createTree(const QList<QStringList> &splitPaths, const QList<FileData> &files, const QString &name);
// The tree of a section's files, rooted at "<files>" or at their common
// directory.
QTreeWidgetItem *treeFromFileList(const QList<FileData> &files);

// The viewer's outline: a tree widget that shows a menu of its owner's
// actions on a context-menu event.
class OutlineTree : public QTreeWidget
{
    Q_OBJECT
public:
    explicit OutlineTree(QWidget *parent = nullptr);
    QMenu *contextMenu() const { return m_contextMenu; }

public slots:
    void setContextMenu(QMenu *menu);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QMenu *m_contextMenu = nullptr;
};

#endif
