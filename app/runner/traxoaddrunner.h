#ifndef TRAXO_TRAXOADDRUNNER_H
#define TRAXO_TRAXOADDRUNNER_H

#include "traxoaddthread.h"

#include <QObject>

// The run window's handle on its one worker thread: starts a job unless one
// is running and forwards the thread's output and end. Destroying the runner
// ends a running job first, so no thread or process outlives it.
class TraxoaddRunner : public QObject
{
    Q_OBJECT

public:
    explicit TraxoaddRunner(QObject *parent = nullptr);
    ~TraxoaddRunner() override;

    // Does nothing while a job runs.
    void runTraxoadd(const QString &argfile, const QString &cwd);
    bool isRunning() const { return m_thread.isRunning(); }
    // Kills the process of a running job and waits for the thread to end.
    void stop();

    TraxoaddThread &thread() { return m_thread; }

signals:
    void outputUpdated(const QString &html);
    void traxoaddFinished();

private:
    TraxoaddThread m_thread;
};

#endif
