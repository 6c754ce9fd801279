#ifndef TRAXO_TABCONTEXTMENUS_H
#define TRAXO_TABCONTEXTMENUS_H

#include <QMenu>

namespace traxo {
class WSFile;
}

// The context menus of the editor's four tabs. Each action emits a signal that
// the form connects to the matching control, so a menu choice behaves exactly
// like the control; the form calls the do-slots whenever a control changes, so
// the check marks always follow the form and never lead it.

class MainTabContextMenu : public QMenu
{
    Q_OBJECT

public:
    explicit MainTabContextMenu(QWidget *parent = nullptr);

    using QMenu::exec;

public slots:
    // Shows the menu at the mouse pointer.
    void exec();
    void doNormal();
    void doQuiet();
    void doVerbose();
    void doPretend(bool checked);

signals:
    void toolBrowserChosen();
    void normalChosen();
    void quietChosen();
    void verboseChosen();
    void pretendChosen();

private:
    void checkVerbosity(QAction *chosen);

    QAction *m_normal;
    QAction *m_quiet;
    QAction *m_verbose;
    QAction *m_pretend;
};

class InOutTabContextMenu : public QMenu
{
    Q_OBJECT

public:
    explicit InOutTabContextMenu(QWidget *parent = nullptr);

    using QMenu::exec;

    // Everything that acts on the current file follows the form's file buttons;
    // "Add File" stays available, it needs no current file.
    void setFileOperations(bool enabled);
    // Sets the six flag marks from the file; a null file clears them.
    void adjustCheckStates(const traxo::WSFile *file);

public slots:
    void exec();
    void doEmbed(bool checked);
    void doCalculate(bool checked);
    void doOptional(bool checked);
    void doPreviewWS(bool checked);
    void doPreview(bool checked);
    void doThumbnail(bool checked);
    void doInput();
    void doOutput();

signals:
    void fileBrowserChosen();
    void addFileChosen();
    void removeFileChosen();
    void duplicateFileChosen();
    void removeAllFilesChosen();
    void embedChosen();
    void calculateChosen();
    void optionalChosen();
    void previewWSChosen();
    void previewChosen();
    void thumbnailChosen();
    void toOutputChosen();
    void toInputChosen();

private:
    QAction *m_browse;
    QAction *m_add;
    QAction *m_remove;
    QAction *m_duplicate;
    QAction *m_removeAll;
    QAction *m_embed;
    QAction *m_calculate;
    QAction *m_optional;
    QAction *m_previewWS;
    QAction *m_preview;
    QAction *m_thumbnail;
    QAction *m_purpose;
    // The file the purpose action turns the current file into.
    bool m_purposeMakesOutput = true;
};

class TraxoFilesTabContextMenu : public QMenu
{
    Q_OBJECT

public:
    explicit TraxoFilesTabContextMenu(QWidget *parent = nullptr);

    using QMenu::exec;

public slots:
    void exec();
    void doAppend(bool checked);
    void doNone(bool checked);
    void doOptional(bool checked);
    void doFirstInput();
    void doUserSpec();
    void doFirstOutput();
    void doOneForEach();
    void doOutputUserSpec();

signals:
    void appendChosen();
    void noneChosen();
    void optionalChosen();
    void firstInputChosen();
    void userSpecChosen();
    void firstOutputChosen();
    void oneForEachChosen();
    void outputUserSpecChosen();

private:
    void updateEnabled();

    QAction *m_append;
    QAction *m_none;
    QAction *m_optional;
    QAction *m_firstInput;
    QAction *m_userSpec;
    QAction *m_firstOutput;
    QAction *m_oneForEach;
    QAction *m_outputUserSpec;
};

class ExportTabContextMenu : public QMenu
{
    Q_OBJECT

public:
    explicit ExportTabContextMenu(QWidget *parent = nullptr);

    using QMenu::exec;

public slots:
    void exec();

signals:
    void copyChosen();
    void saveChosen();
    void saveAndOpenChosen();
};

#endif
