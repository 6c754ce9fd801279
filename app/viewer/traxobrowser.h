#ifndef TRAXO_TRAXOBROWSER_H
#define TRAXO_TRAXOBROWSER_H

#include <QPointer>
#include <QTextBrowser>

class QMenu;

namespace traxo {
class TraxoParser;
}

// The viewer's read-only HTML pane. Images named "traxotag://<id>" are the
// embedded files of the container; "template://<path>" reaches files beside
// the templates. The zoom stays between -3 and +3 steps of the start size.
class TraxoBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    static constexpr int MinZoom = -3;
    static constexpr int MaxZoom = 3;

    explicit TraxoBrowser(QWidget *parent = nullptr);

    void setParser(traxo::TraxoParser *parser);
    void setContextMenu(QMenu *menu);
    int zoom() const { return m_zoom; }
    bool findEnabled() const { return m_findEnabled; }
    void enableFind(bool on);
    void setZoom(int level);
    // The id after "traxotag://", or -1 when the prefix or the number is missing.
    static int getIDFromUrl(const QUrl &url);

    QVariant loadResource(int type, const QUrl &url) override;

public slots:
    void findStringChanged(const QString &findString);
    void findNext(int position);
    void findNext() { findNext(-1); }
    void findPrev(int position);
    void findPrev() { findPrev(-1); }
    void zoomIn(int range);
    void zoomIn() { zoomIn(1); }
    void zoomOut(int range);
    void zoomOut() { zoomOut(1); }

protected:
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void applyFindStyle();
    void selectFound(const QTextCursor &found);

    QPointer<traxo::TraxoParser> m_parser;
    QString m_findString;
    bool m_findEnabled = false;
    QMenu *m_contextMenu = nullptr;
    int m_zoom = 0;
};

#endif
