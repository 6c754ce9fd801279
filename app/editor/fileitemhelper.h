#ifndef TRAXO_FILEITEMHELPER_H
#define TRAXO_FILEITEMHELPER_H

#include <QObject>
#include <QString>

class QListWidget;
class QListWidgetItem;

namespace traxo {
class ArgFile;
class WSFile;
} // namespace traxo

// Keeps the rows of the editor's file list and the files of the model in step:
// row i shows file i. A row remembers the index of its file, never a pointer,
// because the model's pointers die whenever its file list grows or shrinks.
class FileItemHelper : public QObject
{
    Q_OBJECT

public:
    // Item data role under which a row keeps the index of its file.
    static constexpr int FileIndexRole = Qt::UserRole + 7;

    FileItemHelper(QListWidget *list, traxo::ArgFile *model, QObject *parent = nullptr);

    // Appends the file to the model and a row for it to the list.
    QListWidgetItem *addFile(const traxo::WSFile &file);
    // Removes the row and its file; the rows after it move up with their files.
    void removeFile(QListWidgetItem *item);
    // Empties the list and the model's file list.
    void clearFiles();
    // Builds one row per file of the model, for a model replaced as a whole.
    void rebuildFromModel();
    // Sets a row's text and icon from its file.
    void updateItem(QListWidgetItem *item);

    void setUpNewPair(QListWidgetItem *item, int fileIndex);
    // The file shown by the row, valid until the model's file list changes;
    // null for a row without a file.
    traxo::WSFile *getFile(QListWidgetItem *item) const;

    QListWidgetItem *getSelectedItem() const { return m_selectedItem; }
    void setSelectedItem(QListWidgetItem *item);
    // Row of the selected item, -1 without one.
    int getSelectedIndex() const;
    traxo::WSFile *getSelectedFile() const;
    // Full path of the selected file, empty without one.
    QString getSelectedFilename() const;
    void clearSelections();

    static QString itemText(const traxo::WSFile &file);

private:
    QListWidget *m_list;
    traxo::ArgFile *m_model;
    QListWidgetItem *m_selectedItem = nullptr;
};

#endif
