#ifndef TRAXO_GUIWINDOW_H
#define TRAXO_GUIWINDOW_H

#include "argfile/argfile.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class ArgFileHighlighter;
class ExportTabContextMenu;
class FileItemHelper;
class FindTextBrowser;
class InOutTabContextMenu;
class MainTabContextMenu;
class ManagedWindow;
class QLineEdit;
class QListWidgetItem;
class QPushButton;
class QTableWidget;
class TraxoFilesTabContextMenu;

namespace Ui {
class GuiWindow;
}

// The form of the arg-file editor: one workflow step described in four tabs.
// Every control writes into the model as it changes, and the command line is
// always rendered from the model, so what is shown is what gets saved.
class GuiWindow : public QWidget
{
    Q_OBJECT

public:
    enum Tab { MainTab = 0, InOutFilesTab = 1, TraxoFilesTab = 2, ExportTab = 3 };

    // owner is the window holding the form, used for recent files and to open
    // a run window; null for a form on its own.
    GuiWindow(const QString &applicationDir, ManagedWindow *owner, QWidget *parent = nullptr);
    ~GuiWindow() override;

    const traxo::ArgFile &argFile() const { return m_argFile; }

    // Applies the container choices of the TRAXO files tab to the model and
    // renders the command line, made relative when the form asks for it.
    QString buildCommand_File();
    // One line per problem the rendered command line would run into.
    QString returnHints();
    QString statisticsText() const;
    void setCurrentTab(Tab tab);

    // Writes the rendered command line to fileName through a temporary file, so
    // a failed save leaves the previous arg-file intact; a failure is shown to
    // the user and written to standard error.
    bool saveArgFile(const QString &fileName);
    // Whether the command line differs from the one last saved or opened.
    bool hasUnsavedChanges();
    // Asks whether to save unsaved changes; false when the user cancels.
    bool maybeSave();
    // Sets the current file's name and path from path and proposes its type.
    void changeFileListItemName(const QString &path);

public slots:
    void open_cmdfile();
    bool openArgFile(const QString &fileName);
    bool save_cmdfile();
    void on_saveAsCmdFileButton_clicked();
    void on_saveRunButton_clicked();
    void on_clipBoardButton_clicked();
    void on_tabWidget_currentChanged(int index);
    void on_relativePathsCheckBox_stateChanged(int state);
    void openTRAXOFORMHelp();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    // Main tab
    void on_titleLineEdit_textChanged(const QString &text);
    void on_workflowDescriptionTextEdit_textChanged();
    void on_toolBrowserButton_clicked();
    void on_toolNameText_textChanged(const QString &text);
    void on_versionLineEdit_textChanged(const QString &text);
    void on_toolPathText_textChanged(const QString &text);
    void on_generalAttributesTable_cellChanged(int row, int column);
    void on_removeAttributes_clicked();
    void on_removeAllAttributes_clicked();
    void on_normalRadioButton_toggled(bool checked);
    void on_quietRadioButton_toggled(bool checked);
    void on_verboseRadioButton_toggled(bool checked);
    void on_pretendCheckBox_toggled(bool checked);

    // In/Out Files tab
    void on_newFileButton_clicked();
    void on_duplicateFileButton_clicked();
    void on_removeFileButton_clicked();
    void on_removeAllFilesButton_clicked();
    void on_FileListWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous);
    void on_fileBrowserButton_clicked();
    void on_fileText_textChanged(const QString &text);
    void on_pathText_textChanged(const QString &text);
    void on_pathText_editingFinished();
    void on_descriptionText_textChanged();
    void on_inputRadioButton_toggled(bool checked);
    void on_fileTypeSelector_currentIndexChanged(int index);
    void on_fileTypeLineEdit_textChanged(const QString &text);
    void on_fileAttributesTable_cellChanged(int row, int column);
    void on_removeFileKeyValuePairs_clicked();
    void on_removeAllFileValuePairs_clicked();
    void on_embedFileCheckBox_toggled(bool checked);
    void on_optionalCheckBox_toggled(bool checked);
    void on_md5CheckBox_toggled(bool checked);
    void on_thumbnailCheckBox_toggled(bool checked);
    void on_previewCheckBox_toggled(bool checked);
    void on_previewWSCheckBox_toggled(bool checked);

    // TRAXO files tab
    void on_traxoRootOptionalCheckBox_toggled(bool checked);
    void on_traxoRootFileBrowserButton_clicked();
    void on_traxoStorageFileBrowserButton_clicked();
    void evaluateRadioButtons();

private:
    void setDefaults();
    void connectContextMenus();
    void fillFormFromModel();
    void fillContainerChoices(const traxo::ArgFile &model);
    void refreshExport();
    void applyContainerRules();
    traxo::ArgFile relativeCopy() const;

    void updateTool();
    void initializeWorklfowKeyValuePairs(QTableWidget *table);
    void storeAttributes(QTableWidget *table);
    void fillAttributeTable(QTableWidget *table, const QStringList &keys, const QStringList &values);
    void removeSelectedAttributes(QTableWidget *table);
    void updateAttributeCount(QTableWidget *table);

    void showCurrentFile();
    void updateCurrentFileItem();
    void updateFileCount();
    void hideAllButtons();
    void setButtonsVisibleAfterNew();
    void showFileType(const QString &filetype);
    void guaranteePathTextEndsWithSlashOrBackSlash(QLineEdit *pathText);

    void setUserSpecifiedFields(QLineEdit *name, QLineEdit *path, QPushButton *browse, bool userSpecified,
        const QString &derivedFile, QString *savedName, QString *savedPath);
    void fillNameAndPath(QLineEdit *name, QLineEdit *path, const QString &fullName);
    QString startDirectory() const;

    std::unique_ptr<Ui::GuiWindow> m_ui;
    traxo::ArgFile m_argFile;
    QString m_applicationDir;
    ManagedWindow *m_owner;
    FileItemHelper *m_fileItems;
    FindTextBrowser *m_commandLine;
    ArgFileHighlighter *m_highlighter;
    MainTabContextMenu *m_mainMenu;
    InOutTabContextMenu *m_inOutMenu;
    TraxoFilesTabContextMenu *m_traxoFilesMenu;
    ExportTabContextMenu *m_exportMenu;

    // The command line as last saved or opened: the measure of unsaved changes.
    QString m_savedCommandLine;
    QString m_lastArgFile;
    // What the user typed into the user-specified container fields, kept while
    // another choice shows its derived name there.
    QString m_userRootName, m_userRootPath, m_userStorageName, m_userStoragePath;
    // Containers of an opened arg-file beyond the one the storage fields can
    // show; written after it while the user-specified storage is chosen.
    QStringList m_furtherContainers;
    // Words of the opened arg-file that only traxoadd interprets; written
    // first on saving.
    QStringList m_toolOnlyWords;
    // Set while the form is filled from the model, so controls do not write back.
    bool m_fillingForm = false;
};

#endif
