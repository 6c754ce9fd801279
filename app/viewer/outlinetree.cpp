#include "viewer/outlinetree.h"

#include <QContextMenuEvent>
#include <QIcon>
#include <QMenu>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString FilesRootName = QStringLiteral("<files>");

// A part is a run of non-separators followed by a run of slashes or a run of
// backslashes (never a mix): "a\/b" splits into "a\", "/" and "b".
const QRegularExpression &pathSeparatorExpression()
{
    static const QRegularExpression expression(QStringLiteral("[^\\\\/]*(?:\\\\+|/+)?"));
    return expression;
}

// Siblings are listed by name, ignoring case, so the outline does not change
// order from one run to the next.
QStringList sortedKeys(const QHash<QString, TagType> &prefixes)
{
    QStringList keys = prefixes.keys();
    std::sort(keys.begin(), keys.end(), [](const QString &a, const QString &b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return keys;
}

} // namespace

QStringList splitPath(const QString &path)
{
    QStringList parts;
    qsizetype position = 0;
    while (position < path.size()) {
        const QRegularExpressionMatch match = pathSeparatorExpression().match(
            path, position, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch() || match.capturedLength() == 0)
            break;
        parts.append(match.captured());
        position = match.capturedEnd();
    }
    return parts;
}

QString lastPartOfPath(const QString &path)
{
    const QStringList parts = splitPath(path);
    return parts.isEmpty() ? QString() : parts.last();
}

QString makePathValid(const QString &path)
{
    QStringList parts = splitPath(path);
    if (parts.isEmpty())
        return path;
    parts[0].replace(QLatin1Char(':'), QLatin1Char('_'));
    return parts.join(QString());
}

QTreeWidgetItem *makeOutlineItem(const QString &text, TagType type, int id, const QString &anchor)
{
    QString label = text;
    if (label.isEmpty() && type == TagSection)
        label = QStringLiteral("<no title>");
    else if (label.isEmpty() && type == TagFile)
        label = QStringLiteral("<no filename>");

    auto *item = new QTreeWidgetItem(QStringList(label));
    item->setData(0, TagTypeRole, int(type));
    item->setData(0, TagIdRole, id);
    item->setData(0, AnchorRole, anchor);
    const bool embedded = type == TagFile && id >= 0;
    item->setIcon(0,
        QIcon(embedded ? QStringLiteral(":/resources/embedded.png") : QStringLiteral(":/resources/not-embedded.png")));
    return item;
}

bool caseInsensitiveLessThan(const FileData &a, const FileData &b)
{
    return a.path.toLower() < b.path.toLower();
}

QHash<QString, TagType> prefixesFromFiles(const QList<QStringList> &splitPaths)
{
    QHash<QString, TagType> prefixes;
    for (const QStringList &parts : splitPaths) {
        if (parts.isEmpty())
            continue;
        prefixes.insert(parts.first(), parts.size() == 1 ? TagFile : TagDirectory);
    }
    return prefixes;
}

QTreeWidgetItem *createTree(const QList<QStringList> &splitPaths, const QList<FileData> &files, const QString &name)
{
    const QHash<QString, TagType> prefixes = prefixesFromFiles(splitPaths);
    const QStringList keys = sortedKeys(prefixes);

    if (keys.size() == 1 && prefixes.value(keys.first()) == TagDirectory) {
        const QString &key = keys.first();
        const QString newName = name == FilesRootName ? key : name + key;
        QList<QStringList> rest;
        rest.reserve(splitPaths.size());
        for (const QStringList &parts : splitPaths)
            rest.append(parts.mid(1));
        return createTree(rest, files, newName);
    }

    QTreeWidgetItem *directory = makeOutlineItem(name, TagDirectory, -1, QString());
    for (const QString &key : keys) {
        if (prefixes.value(key) == TagDirectory) {
            QList<QStringList> childPaths;
            QList<FileData> childFiles;
            for (int i = 0; i < splitPaths.size() && i < files.size(); ++i) {
                if (!splitPaths.at(i).isEmpty() && splitPaths.at(i).first() == key) {
                    childPaths.append(splitPaths.at(i).mid(1));
                    childFiles.append(files.at(i));
                }
            }
            directory->addChild(createTree(childPaths, childFiles, key));
        } else {
            // Every file of that name gets an item, also when it is the only
            // name: a repeated path must stay selectable and show its state.
            for (int i = 0; i < splitPaths.size() && i < files.size(); ++i) {
                if (!splitPaths.at(i).isEmpty() && splitPaths.at(i).first() == key)
                    directory->addChild(makeOutlineItem(key, TagFile, files.at(i).id, files.at(i).anchor));
            }
        }
    }
    return directory;
}

QTreeWidgetItem *treeFromFileList(const QList<FileData> &files)
{
    QList<FileData> sorted = files;
    std::stable_sort(sorted.begin(), sorted.end(), caseInsensitiveLessThan);
    QList<QStringList> splitPaths;
    splitPaths.reserve(sorted.size());
    for (const FileData &file : sorted) {
        // A path without a name (empty, or ending in a separator) keeps an
        // empty last part, so the file still shows as "<no filename>".
        QStringList parts = splitPath(file.path);
        if (parts.isEmpty() || parts.last().endsWith(QLatin1Char('/')) || parts.last().endsWith(QLatin1Char('\\')))
            parts.append(QString());
        splitPaths.append(parts);
    }
    return createTree(splitPaths, sorted, FilesRootName);
}

OutlineTree::OutlineTree(QWidget *parent)
    : QTreeWidget(parent)
{
}

void OutlineTree::setContextMenu(QMenu *menu)
{
    m_contextMenu = menu;
}

void OutlineTree::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_contextMenu) {
        QTreeWidget::contextMenuEvent(event);
        return;
    }
    m_contextMenu->popup(event->globalPos());
    event->accept();
}
