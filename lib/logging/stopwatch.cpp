#include "logging/stopwatch.h"

namespace traxo {

StopWatch::StopWatch(QObject *sink)
    : LogSource(sink)
{
}

void StopWatch::start(const QString &name, bool discardPrevious)
{
    stop(!discardPrevious);
    m_startTicks = std::clock();
    m_running = true;
    m_name = name;
}

void StopWatch::stop(bool report)
{
    if (m_running && report) {
        const double seconds = double(std::clock() - m_startTicks) / CLOCKS_PER_SEC;
        emitLog(m_name + QStringLiteral(": ") + QString::number(seconds, 'f', 2) + QStringLiteral("s\n"), LogInfo);
    }
    m_running = false;
}

} // namespace traxo
