#include "viewer/traxobrowser.h"

#include "container/traxoparser.h"
#include "frame/paths.h"
#include "viewer/viewerlogging.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextDocument>
#include <QWheelEvent>

#include <limits>

namespace {

const QString TagScheme = QStringLiteral("traxotag://");
const QString TemplateScheme = QStringLiteral("template://");

} // namespace

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
    const QString text = url.toString();
    if (!text.startsWith(TagScheme))
        return -1;
    const QString rest = text.mid(TagScheme.size());
    bool ok = false;
    const int id = rest.toInt(&ok, 10);
    if (ok)
        return id >= 0 ? id : -1;
    // QUrl reads a number after "//" as a host and writes it back as an
    // IPv4 address ("traxotag://12" becomes "traxotag://0.0.0.12").
    const QStringList octets = rest.split(QLatin1Char('.'));
    if (octets.size() != 4)
        return -1;
    quint32 value = 0;
    for (const QString &octet : octets) {
        const uint part = octet.toUInt(&ok, 10);
        if (!ok || part > 255)
            return -1;
        value = (value << 8) | part;
    }
    return value <= quint32(std::numeric_limits<int>::max()) ? int(value) : -1;
}

QVariant TraxoBrowser::loadResource(int type, const QUrl &url)
{
    const QString text = url.toString();
    if (type == QTextDocument::ImageResource && text.startsWith(TagScheme) && m_parser) {
        const int id = getIDFromUrl(url);
        const QSharedPointer<QByteArray> content = id >= 0 ? m_parser->getFileContent(id) : nullptr;
        if (content)
            return *content;
        qCDebug(lcViewer) << "Could not load file with tag id" << id;
        return QTextBrowser::loadResource(type, url);
    }
    if (text.startsWith(TemplateScheme)) {
        const QString local = getTemplatesDir() + QLatin1Char('/') + text.mid(TemplateScheme.size());
        return QTextBrowser::loadResource(type, QUrl::fromLocalFile(local));
    }
    return QTextBrowser::loadResource(type, url);
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
