#ifndef TRAXO_UNTRAXOWINDOW_H
#define TRAXO_UNTRAXOWINDOW_H

#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "container/validationqueue.h"
#include "frame/managedwindow.h"
#include "summary/summary.h"
#include "viewer/outlinetree.h"

#include <QIcon>
#include <QList>
#include <QMultiHash>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantHash>

#include <functional>

class ElidedLabel;
class FindTextBrowser;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeWidgetItem;
class ReportExporter;
class TraxoBrowser;
class UnTRAXOPreferencesWindow;

namespace traxo {
using Summaries = QList<Summary>;
}

// The hello page of an empty viewer: %1 the program's full name, %2 the years.
QString getUnTraxoHelloMessage();

// The viewer (unTRAXO): one container per window, its outline, a rendering
// through a template, exports, background validation and extraction of the
// selected files.
class UnTRAXOWindow : public ManagedWindow
{
    Q_OBJECT
public:
    // Work states of the validation and the extraction.
    enum WorkState { Running = 1, Paused = 2, Idle = 3 };

    explicit UnTRAXOWindow(const QString &filename = QString(), QString templateDir = QString());
    ~UnTRAXOWindow() override;

    static ManagedWindow *createUnTRAXOWindow(const QString &filename, const QVariantHash &parameters);
    static QString windowName() { return QStringLiteral("View TRAXO File"); }
    static QString windowShortcut() { return QStringLiteral("ctrl+T"); }

    // Read-only views for the window's owner and its tests.
    QString currentFile() const { return m_currentFile; }
    QString html() const { return m_html; }
    int validationState() const { return m_validationState; }
    int extractionState() const { return m_extractionState; }
    TraxoBrowser *browser() const { return m_browser; }
    TraxoBrowser *pdfBrowser() const { return m_pdfBrowser; }
    traxo::TraxoParser &parser() { return m_parser; }
    QString templateDir() const { return m_templateDir; }

    QList<int> getSelectedIDs(TagType type) const;
    QList<int> getSelectedSectionIDs() const;
    QList<int> getSelectedFileIDs() const;
    QList<int> getRecursiveIDs(TagType type, QTreeWidgetItem *item) const;
    QStringList getSelectedDirectories() const;
    QString getFullpathForTreeNode(const QTreeWidgetItem *item) const;

    // Export bodies without the file dialog; names get their suffix here.
    bool exportAsPdf(QString filename);
    bool exportAsHtml(QString filename);
    bool exportAsRawHtml(QString filename);
    bool exportAsPlainText(QString filename);
    // The files of the selection with the target each would be written to,
    // as extractSelected() queues them after the dialog.
    void extractSelectedTo(const QString &directory, bool askBeforeOverwrite, bool validate, bool adjustNames = false,
        const QString &mask = QString());

    static QString fixPath(const QString &filename);
    static QString filepathForTagID(const traxo::Summaries &summaries, int tagID);
    // The path of a recorded file, directory and name joined.
    static QString recordedPath(const traxo::FileSummary &file);

public slots:
    void selectTRAXOFile();
    void setTRAXOFile(const QString &filename);
    void log(const QString &szT);

private slots:
    void openFile(const QString &filename, bool bGeneratePDF);
    void openTemplateDir();
    void on_actionExport_as_PDF();
    void on_actionExport_as_HTML();
    void on_actionExport_as_Raw_HTML();
    void on_actionExport_as_Plain_Text();
    void on_templateMenu_currentIndexChanged(const QString &szSelected);
    void outlineDoubleClicked(QTreeWidgetItem *item, int column);
    void anchorClicked(const QUrl &link);
    void extractFiles();
    void outlineSelectionChanged();
    void showHelp();
    void showFindBar();
    void findNext();
    void findPrev();
    void vneIncrementally();
    void stopCurrentWork();
    void fileValidated(int id, bool success);
    void sectionValidated(int id, bool success);
    void createLogContextMenu(const QPoint &position);
    void setLogFont();
    void increaseLogFontSize();
    void decreaseLogFontSize();
    void showLog();
    void showPreferences();
    void updateProgressBar(int percent, const QString &name);
    void setJobLabel(const QString &text);
    void validateSelected();
    void extractSelected();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct ExtractionPlan
    {
        QList<int> ids;
        QStringList outputPaths; // relative, in the order of ids
    };

    void setupUi();
    void createMenus();
    void createContextMenus();
    void connectSignals();
    void fillTemplateMenu();
    void showNoTemplatesMessage();
    void showHelloMessage();
    void setupIcons();
    void loadSettings();
    void initOutline(const traxo::Summaries &summaries);
    // Records the section and file items below item by id, for the results.
    void indexOutlineItems(QTreeWidgetItem *item);
    // Renders m_summaries through the selected template into m_html, and for
    // PDF into the hidden PDF browser.
    void renderSummaries(bool bGeneratePDF);
    // Queues the sections and files the validation preferences check.
    void queueAutomaticValidation();
    // Asks before an action named action cancels a running extraction; false
    // when the extraction is to go on.
    bool mayStopExtraction(const QString &action);
    void continueValidation();
    void continueExtraction();
    void finishValidation();
    void pauseValidation();
    void finishExtraction();
    void pauseExtraction();
    void cancelValidation();
    void cancelExtraction();
    // Queues the next slice after delay ms unless one is pending.
    void scheduleSlice(int delay);
    void updateWorkWidgets();
    ExtractionPlan planExtraction();
    void queueExtraction(const ExtractionPlan &plan, const QString &directory, bool askBeforeOverwrite, bool validate,
        const std::function<QString(const QString &, int, int)> &adjust);
    // Logs the exporter's error when written is false; returns written.
    bool finishExport(const ReportExporter &exporter, bool written);

    traxo::TraxoParser m_parser;
    int m_validationState = Idle;
    int m_extractionState = Idle;
    QString m_currentFile;
    QString m_html;
    traxo::Summaries m_summaries;
    TraxoBrowser *m_pdfBrowser = nullptr;
    traxo::ValidationQueue m_validationQueue;
    traxo::ExtractionQueue m_extractionQueue;
    UnTRAXOPreferencesWindow *m_preferencesWindow = nullptr;
    QAction *m_outlineExtractAction = nullptr;
    QAction *m_outlineValidateAction = nullptr;
    QString m_templateDir;
    TraxoBrowser *m_browser = nullptr;
    QMenu *m_logContextMenu = nullptr;
    QMenu *m_browserContextMenu = nullptr;
    QMenu *m_outlineContextMenu = nullptr;
    bool m_sliceScheduled = false;
    // Outline items by id (the same file may be listed more than once), so a
    // result turns its icons without walking the outline.
    QMultiHash<int, QTreeWidgetItem *> m_sectionItems;
    QMultiHash<int, QTreeWidgetItem *> m_fileItems;
    QIcon m_sectionValidIcon;
    QIcon m_sectionInvalidIcon;
    QIcon m_fileValidIcon;
    QIcon m_fileInvalidIcon;
    bool m_noTemplatesReported = false;

public:
    // The form's widgets and actions, named as in the form.
    QAction *m_openAction = nullptr;
    QAction *m_helpAction = nullptr;
    QAction *actionOpen_Template_Directory = nullptr;
    QAction *actionExport_as_PDF = nullptr;
    QAction *m_findAction = nullptr;
    QAction *m_findNextAction = nullptr;
    QAction *m_findPrevAction = nullptr;
    QAction *actionExport_as_HTML = nullptr;
    QAction *actionExport_as_Plain_Text = nullptr;
    QAction *actionExport_as_Raw_HTML = nullptr;
    QAction *actionIncrease_Text_Size_zoom_in = nullptr;
    QAction *actionDecrease_Text_Size_zoom_out = nullptr;
    QAction *m_validateAction = nullptr;
    QAction *m_actionShow_log = nullptr;
    QAction *m_actionShow_preferences = nullptr;
    QAction *m_extractAction = nullptr;
    QSplitter *m_splitter = nullptr;
    QWidget *m_outlinePane = nullptr;
    OutlineTree *m_outlineTree = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_stopButton = nullptr;
    ElidedLabel *m_currentJobLabel = nullptr;
    QSplitter *m_splitterLog = nullptr;
    QToolButton *m_zoomPlus = nullptr;
    QToolButton *m_zoomMinus = nullptr;
    QLabel *m_templateLabel = nullptr;
    QComboBox *m_templateMenu = nullptr;
    QPushButton *m_helpAction_2 = nullptr;
    FindTextBrowser *m_infoViewer = nullptr;
    FindTextBrowser *m_log = nullptr;
    QMenu *menu_File = nullptr;
    QMenu *menu_Edit = nullptr;
    QMenu *menuView = nullptr;
    QMenu *m_helpMenu = nullptr;
};

#endif
