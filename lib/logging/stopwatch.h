#ifndef TRAXO_STOPWATCH_H
#define TRAXO_STOPWATCH_H

#include "logging/logsource.h"

#include <ctime>

namespace traxo {

// Measures processor time (clock()) and reports it once as a level-0 message
// "name: 1.23s\n".
class StopWatch : public LogSource
{
    Q_OBJECT

public:
    explicit StopWatch(QObject *sink = nullptr);

    // Reports a running measurement first unless discardPrevious is set.
    void start(const QString &name, bool discardPrevious = false);
    void stop(bool report = true);

    bool isRunning() const { return m_running; }

private:
    QString m_name;
    bool m_running = false;
    std::clock_t m_startTicks = 0;
};

} // namespace traxo

#endif
