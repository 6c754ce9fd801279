#include "fileitemhelper.h"

#include "argfile/argfile.h"
#include "argfile/wsfile.h"

#include <QIcon>
#include <QListWidget>

FileItemHelper::FileItemHelper(QListWidget *list, traxo::ArgFile *model, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_model(model)
{
}

QListWidgetItem *FileItemHelper::addFile(const traxo::WSFile &file)
{
    m_model->addFile(file);
    auto *item = new QListWidgetItem(m_list);
    setUpNewPair(item, m_model->numFiles() - 1);
    updateItem(item);
    return item;
}

void FileItemHelper::removeFile(QListWidgetItem *item)
{
    if (!getFile(item))
        return;
    const int index = item->data(FileIndexRole).toInt();
    if (item == m_selectedItem)
        m_selectedItem = nullptr;
    m_model->removeFile(index);
    // Renumbered before the row goes: deleting it makes a neighbour current,
    // and whoever listens must already find the right file there.
    item->setData(FileIndexRole, QVariant());
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *other = m_list->item(row);
        const QVariant otherIndex = other->data(FileIndexRole);
        if (otherIndex.isValid() && otherIndex.toInt() > index)
            setUpNewPair(other, otherIndex.toInt() - 1);
    }
    delete item;
}

void FileItemHelper::clearFiles()
{
    m_selectedItem = nullptr;
    m_list->clear();
    m_model->clearFilelist();
}

void FileItemHelper::rebuildFromModel()
{
    m_selectedItem = nullptr;
    m_list->clear();
    for (int i = 0; i < m_model->numFiles(); ++i) {
        auto *item = new QListWidgetItem(m_list);
        setUpNewPair(item, i);
        updateItem(item);
    }
}

void FileItemHelper::updateItem(QListWidgetItem *item)
{
    const traxo::WSFile *file = getFile(item);
    if (!file)
        return;
    item->setText(itemText(*file));
    item->setIcon(
        QIcon(file->inputFile() ? QStringLiteral(":/resources/input.png") : QStringLiteral(":/resources/output.png")));
}

void FileItemHelper::setUpNewPair(QListWidgetItem *item, int fileIndex)
{
    if (item)
        item->setData(FileIndexRole, fileIndex);
}

traxo::WSFile *FileItemHelper::getFile(QListWidgetItem *item) const
{
    if (!item)
        return nullptr;
    const QVariant index = item->data(FileIndexRole);
    if (!index.isValid())
        return nullptr;
    return m_model->getFile(index.toInt());
}

void FileItemHelper::setSelectedItem(QListWidgetItem *item)
{
    m_selectedItem = item;
    if (item && m_list->currentItem() != item)
        m_list->setCurrentItem(item);
}

int FileItemHelper::getSelectedIndex() const
{
    return m_selectedItem ? m_list->row(m_selectedItem) : -1;
}

traxo::WSFile *FileItemHelper::getSelectedFile() const
{
    return getFile(m_selectedItem);
}

QString FileItemHelper::getSelectedFilename() const
{
    const traxo::WSFile *file = getSelectedFile();
    return file ? file->filename() : QString();
}

void FileItemHelper::clearSelections()
{
    const QList<QListWidgetItem *> selected = m_list->selectedItems();
    for (QListWidgetItem *item : selected)
        item->setSelected(false);
    m_selectedItem = nullptr;
}

QString FileItemHelper::itemText(const traxo::WSFile &file)
{
    return (file.inputFile() ? QStringLiteral("[Input File] ") : QStringLiteral("[Output File] ")) + file.filename();
}
