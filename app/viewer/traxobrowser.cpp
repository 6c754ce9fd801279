#include "viewer/traxobrowser.h"

#include "container/traxoparser.h"
#include "shared/paths.h"
#include "report/reportdocument.h"
#include "viewer/viewerlogging.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>
#include <QWheelEvent>

TraxoBrowser::TraxoBrowser(QWidget *parent)
    : QTextBrowser(parent)
{
}

void TraxoBrowser::setParser(traxo::TraxoParser *parser)
{
    m_parser = parser;
}

void TraxoBrowser::setContextMenu(QMenu *menu)
{
    m_contextMenu = menu;
}

int TraxoBrowser::getIDFromUrl(const QUrl &url)
{
    return ReportDocument::getIDFromUrl(url);
}

QVariant TraxoBrowser::loadResource(int type, const QUrl &url)
{
    if (type == QTextDocument::ImageResource && ReportDocument::isTagUrl(url) && m_parser) {
        if (const QSharedPointer<QByteArray> content = ReportDocument::embeddedContent(m_parser, url))
            return *content;
        qCDebug(lcViewer) << "Could not load file with tag id" << getIDFromUrl(url);
        return QTextBrowser::loadResource(type, url);
    }
    const QUrl local = ReportDocument::templateFileUrl(url, getTemplatesDir());
    return QTextBrowser::loadResource(type, local.isEmpty() ? url : local);
}

void TraxoBrowser::zoomIn(int range)
{
    if (range <= 0)
        return;
    const int steps = qMin(range, MaxZoom - m_zoom);
    if (steps <= 0)
        return;
    QTextBrowser::zoomIn(steps);
    m_zoom += steps;
}

void TraxoBrowser::zoomOut(int range)
{
    if (range <= 0)
        return;
    const int steps = qMin(range, m_zoom - MinZoom);
    if (steps <= 0)
        return;
    QTextBrowser::zoomOut(steps);
    m_zoom -= steps;
}

void TraxoBrowser::setZoom(int level)
{
    const int target = qBound(MinZoom, level, MaxZoom);
    if (target > m_zoom)
        zoomIn(target - m_zoom);
    else if (target < m_zoom)
        zoomOut(m_zoom - target);
}

void TraxoBrowser::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta > 0)
            zoomOut();
        else if (delta < 0)
            zoomIn();
        event->accept();
        return;
    }
    QTextBrowser::wheelEvent(event);
}

void TraxoBrowser::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->key() == Qt::Key_Plus) {
            zoomIn();
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Minus) {
            zoomOut();
            event->accept();
            return;
        }
    }
    QTextBrowser::keyPressEvent(event);
}

void TraxoBrowser::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_contextMenu) {
        QTextBrowser::contextMenuEvent(event);
        return;
    }
    m_contextMenu->popup(event->globalPos());
    event->accept();
}

void TraxoBrowser::enableFind(bool on)
{
    m_findEnabled = on;
    applyFindStyle();
}

void TraxoBrowser::applyFindStyle()
{
    setStyleSheet(
        m_findEnabled ? QStringLiteral("QTextEdit {selection-background-color: rgb(255, 210, 108)}") : QString());
}

void TraxoBrowser::findStringChanged(const QString &findString)
{
    if (!m_findEnabled)
        return;
    m_findString = findString;
    const QTextCursor cursor = textCursor();
    applyFindStyle();
    findNext(qMin(cursor.position(), cursor.anchor()));
}

void TraxoBrowser::selectFound(const QTextCursor &found)
{
    if (found.isNull()) {
        QTextCursor collapsed = textCursor();
        collapsed.clearSelection();
        setTextCursor(collapsed);
        return;
    }
    setTextCursor(found);
}

void TraxoBrowser::findNext(int position)
{
    if (!m_findEnabled || m_findString.isEmpty())
        return;
    if (position < 0) {
        const QTextCursor cursor = textCursor();
        position = qMax(cursor.position(), cursor.anchor());
    }
    QTextCursor found = document()->find(m_findString, position);
    if (found.isNull())
        found = document()->find(m_findString, 0);
    selectFound(found);
}

void TraxoBrowser::findPrev(int position)
{
    if (!m_findEnabled || m_findString.isEmpty())
        return;
    if (position < 0) {
        const QTextCursor cursor = textCursor();
        position = qMin(cursor.position(), cursor.anchor());
    }
    QTextCursor found = document()->find(m_findString, position, QTextDocument::FindBackward);
    if (found.isNull()) {
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        found = document()->find(m_findString, end, QTextDocument::FindBackward);
    }
    selectFound(found);
}
