#include "opendispatcher.h"

#include <QFileOpenEvent>

OpenDispatcher::OpenDispatcher(QObject *parent)
    : QObject(parent)
{
}

bool OpenDispatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (!event)
        return false;
    if (event->type() == QEvent::FileOpen) {
        emit openFileRequested(static_cast<QFileOpenEvent *>(event)->file());
        return true;
    }
    return QObject::eventFilter(watched, event);
}
