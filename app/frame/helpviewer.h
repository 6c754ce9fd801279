#ifndef TRAXO_HELPVIEWER_H
#define TRAXO_HELPVIEWER_H

#include <QObject>
#include <QString>

class QUrl;

// Opens pages of the local HTML documentation in the desktop's web browser.
class HelpViewer : public QObject
{
    Q_OBJECT

public:
    explicit HelpViewer(QObject *parent = nullptr);
    ~HelpViewer() override;

    static HelpViewer *globalInstance();
    static void setGlobalInstance(HelpViewer *viewer);
    // Does nothing when there is no global help viewer.
    static void globalOpenPage(const QString &page, const QString &anchor = QString());
    // Opens a "doc://page#anchor" link through the global help viewer; false
    // when the link is not a help link.
    static bool openDocLink(const QString &link);

    // Canonical path of the page in the documentation folder; empty when the
    // page does not exist.
    static QString getDocPath(const QString &page);

public slots:
    // A missing page opens nothing.
    void openPage(const QString &page, const QString &anchor = QString());
    void viewError(const QString &message);

protected:
    // Hands the page to the desktop; tests replace it to see what was asked.
    virtual bool openUrl(const QUrl &url);
};

#endif
