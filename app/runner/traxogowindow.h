#ifndef TRAXO_TRAXOGOWINDOW_H
#define TRAXO_TRAXOGOWINDOW_H

#include "frame/managedwindow.h"
#include "traxoaddrunner.h"

#include <QVariantHash>

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class QUrl;
class ArgFileHighlighter;
class FindTextBrowser;

// TRAXOgo: runs traxoadd on an arg-file in a working directory and shows its
// output, coloured, as it arrives. One job at a time; closing the window ends
// a running job before the window goes.
class TRAXOgoWindow : public ManagedWindow
{
    Q_OBJECT

public:
    explicit TRAXOgoWindow(const QString &argfile = QString(), QWidget *parent = nullptr);
    ~TRAXOgoWindow() override;

    static QString windowName() { return QStringLiteral("Run TRAXO Arg-File"); }
    static QString windowShortcut() { return QStringLiteral("ctrl+R"); }
    static ManagedWindow *createTRAXOgoWindow(const QString &filename, const QVariantHash &parameters);

    // Files of this size or larger are not previewed: they are hardly arg-files.
    static constexpr qint64 previewLimit = 512000;

    void setArgfile(const QString &name);
    QString getArgfile() const;
    void setCwd(const QString &dir);
    QString getCwd() const;
    void setFilename(const QString &name) { setArgfile(name); }
    QString getSelectionDirectory() const { return m_selectionDirectory; }
    void setSelectionDirectory(const QString &dir) { m_selectionDirectory = dir; }
    bool isJobRunning() const { return m_jobRunning; }

    TraxoaddRunner &runner() { return m_runner; }

signals:
    void argfileUpdated(const QString &argfile);

public slots:
    void selectFile();
    void selectCwd();
    void autoAdjustCwd(const QString &path);
    void disableCwdUi(bool checked);
    void updateRunOption();
    void showArgfile(const QString &path);
    void modifyTitle(const QString &path);
    void updateCommandlineOutput(const QString &html);
    void runTraxoadd();
    void editArgFile();
    void finishJob();
    void installExamples();
    void showHelp();
    // The viewer's preferences, which every viewer opened later uses.
    void showPreferences();
    void anchorClicked(const QUrl &url);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Asks whether a running job may be killed; a separate step so that the
    // question can be answered without a user.
    virtual bool confirmKillJob();

private:
    void buildUi();
    void buildMenus();
    void startJob();
    void initHelloMessage();

    QLineEdit *m_argfileEdit;
    QToolButton *m_argfileButton;
    QLineEdit *m_cwdEdit;
    QToolButton *m_cwdButton;
    QCheckBox *m_syncDirCheck;
    QPushButton *m_runButton;
    QPushButton *m_editButton;
    QTabWidget *m_infoTabs;
    FindTextBrowser *m_outputBrowser;
    FindTextBrowser *m_argfileBrowser;
    QAction *m_openAction;
    QAction *m_runAction;
    QAction *m_examplesAction;
    QAction *m_helpAction;
    QAction *m_quitAction = nullptr;
    QAction *m_preferencesAction = nullptr;
    QAction *m_closeAction = nullptr;
    QAction *m_traxoformAction;
    QAction *m_newTRAXOformAction;
    QAction *m_newTRAXOgoAction;
    QAction *m_newUnTRAXOAction;

    ArgFileHighlighter *m_highlighter;
    QString m_selectionDirectory;
    bool m_jobRunning = false;
    TraxoaddRunner m_runner;
};

#endif
