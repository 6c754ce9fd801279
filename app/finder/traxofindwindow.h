#ifndef TRAXO_TRAXOFINDWINDOW_H
#define TRAXO_TRAXOFINDWINDOW_H

#include "frame/managedwindow.h"
#include "shared/traxofinder.h"

#include <QVariantHash>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class QUrl;
class FindTextBrowser;
class QueryEditor;

// The finder: checks every container below a directory against a query and
// lists the hits as links that open in a viewer. The search runs on the
// event loop in slices of about sliceMilliseconds(), each chained to the next
// by the queued processMoreFiles() signal, so the window stays responsive; a
// new search replaces the running one and closing the window ends it.
class TraxoFindWindow : public ManagedWindow
{
    Q_OBJECT

public:
    explicit TraxoFindWindow(
        const QString &query = QString(), const QString &directory = QString(), QWidget *parent = nullptr);

    static QString windowName() { return QStringLiteral("Find TRAXO Files"); }
    static QString windowShortcut() { return QStringLiteral("ctrl+D"); }
    // Reads the options "Query" and "Directory"; the file name is unused.
    static ManagedWindow *createTRAXOFindWindow(const QString &filename, const QVariantHash &parameters);

    const TraxoFinder &finder() const { return m_finder; }
    // A slice checks files until this much time has passed, at least one.
    int sliceMilliseconds() const { return m_sliceMilliseconds; }
    void setSliceMilliseconds(int milliseconds) { m_sliceMilliseconds = milliseconds; }
    // True until the last file of the search has been checked.
    bool isSearching() const { return m_slicePending; }

    void handleResult(EvaluationResult &result, int current, int total);

signals:
    void processMoreFiles();

public slots:
    void findClicked();
    void browseForDir();
    void openTraxoFile(const QUrl &url);
    void handleEnterPress();
    void showHelp();
    void processSomeFiles();
    void handleError(const QString &message, bool isError);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    void buildMenus();
    void scheduleSlice();
    static QString getTraxoFindHelloMessage();

    QueryEditor *m_queryEditor;
    QComboBox *m_dirCombo;
    QToolButton *m_browseDirsButton;
    QCheckBox *m_invertQueryBox;
    QPushButton *m_findButton;
    FindTextBrowser *m_resultsBrowser;
    QLabel *m_statusLabel;
    QLabel *m_queryMessageLabel;
    QMenu *menu_File;
    QMenu *menu_Help;
    QAction *m_helpContent;

    TraxoFinder m_finder;
    int m_sliceMilliseconds = 100;
    // One slice at most waits in the event queue, however often a search
    // is started.
    bool m_slicePending = false;
};

#endif
