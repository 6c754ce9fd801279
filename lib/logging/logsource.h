#ifndef TRAXO_LOGSOURCE_H
#define TRAXO_LOGSOURCE_H

#include <QObject>
#include <QString>

namespace traxo {

// Severity of a message sent through the two-argument log signal.
enum LogLevel { LogInfo = 0, LogWarning = 1, LogError = 2 };

// Base of every library object that reports: library code never writes to a
// log of its own and never throws, it emits and lets the owner decide.
class LogSource : public QObject
{
    Q_OBJECT

public:
    // Connects to sink's log(QString,int) slot when it has one, else to its
    // log(QString) slot; a null sink connects nothing.
    explicit LogSource(QObject *sink = nullptr);

    void publishToLogSlot(QObject *receiver);
    // Chains this object's messages into another object's log signal.
    void publishToLogSignal(QObject *other);

signals:
    void log(const QString &message);
    void log(const QString &message, int level);

protected:
    // Emits both signals, so receivers of either form get every message.
    void emitLog(const QString &message, int level = LogInfo);
};

} // namespace traxo

#endif
