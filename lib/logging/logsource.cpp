#include "logging/logsource.h"

#include <QMetaObject>

namespace traxo {

namespace {

bool hasMethod(const QObject *object, const char *signature, bool isSignal)
{
    const QByteArray normalized = QMetaObject::normalizedSignature(signature);
    const QMetaObject *meta = object->metaObject();
    return isSignal ? meta->indexOfSignal(normalized) >= 0 : meta->indexOfSlot(normalized) >= 0;
}

} // namespace

LogSource::LogSource(QObject *sink)
{
    publishToLogSlot(sink);
}

void LogSource::publishToLogSlot(QObject *receiver)
{
    if (!receiver)
        return;
    if (hasMethod(receiver, "log(QString,int)", false))
        connect(this, SIGNAL(log(QString, int)), receiver, SLOT(log(QString, int)));
    else if (hasMethod(receiver, "log(QString)", false))
        connect(this, SIGNAL(log(QString)), receiver, SLOT(log(QString)));
}

void LogSource::publishToLogSignal(QObject *other)
{
    if (!other)
        return;
    // Another LogSource has both signals: forward both, so receivers bound to
    // either form of the other object still see the chained messages.
    if (hasMethod(other, "log(QString,int)", true))
        connect(this, SIGNAL(log(QString, int)), other, SIGNAL(log(QString, int)));
    if (hasMethod(other, "log(QString)", true))
        connect(this, SIGNAL(log(QString)), other, SIGNAL(log(QString)));
}

void LogSource::emitLog(const QString &message, int level)
{
    emit log(message, level);
    emit log(message);
}

} // namespace traxo
