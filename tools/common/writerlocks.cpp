#include "writerlocks.h"

#include "toolconsole.h"

#include "container/containerlock.h"

#include <QMap>

#include <cmath>

namespace traxotools {

WriterLocks::WriterLocks(ToolConsole &console)
    : m_console(console)
{
}

WriterLocks::~WriterLocks()
{
    releaseAll();
}

bool WriterLocks::parseTimeout(const QString &value, qint64 *timeoutMs, ToolConsole &console)
{
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    // A week is far beyond any sensible wait and keeps the milliseconds in range.
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 7 * 24 * 3600) {
        console.error(QStringLiteral("--lock-timeout needs a number of seconds, not \"%1\"").arg(value));
        return false;
    }
    *timeoutMs = qint64(seconds * 1000);
    return true;
}

bool WriterLocks::lock(const QStringList &containers)
{
    releaseAll();
    QMap<QString, QString> ordered; // lock file -> container
    for (const QString &container : containers)
        ordered.insert(traxo::ContainerLock::lockPathFor(container), container);
    for (auto it = ordered.cbegin(); it != ordered.cend(); ++it) {
        auto lock = std::make_unique<traxo::ContainerLock>(it.value());
        const QString container = it.value();
        const bool locked = lock->acquire(m_timeoutMs,
            [this, container] { m_console.info(QStringLiteral("waiting for another writer of %1").arg(container)); });
        if (!locked || !lock->recover()) {
            m_console.error(lock->errorString());
            releaseAll();
            return false;
        }
        m_locks.push_back(std::move(lock));
    }
    return true;
}

traxo::ContainerLock *WriterLocks::lockFor(const QString &container) const
{
    const QString path = traxo::ContainerLock::lockPathFor(container);
    for (const auto &lock : m_locks) {
        if (traxo::ContainerLock::lockPathFor(lock->containerPath()) == path)
            return lock.get();
    }
    return nullptr;
}

void WriterLocks::releaseAll()
{
    // Released in reverse order of taking.
    while (!m_locks.empty())
        m_locks.pop_back();
}

} // namespace traxotools
