#include "traxoaddrunner.h"

TraxoaddRunner::TraxoaddRunner(QObject *parent)
    : QObject(parent)
{
    // The thread object lives here; its signals arrive queued from the worker.
    connect(&m_thread, &TraxoaddThread::outputUpdated, this, &TraxoaddRunner::outputUpdated);
    connect(&m_thread, &QThread::finished, this, &TraxoaddRunner::traxoaddFinished);
}

TraxoaddRunner::~TraxoaddRunner()
{
    stop();
}

void TraxoaddRunner::runTraxoadd(const QString &argfile, const QString &cwd)
{
    if (m_thread.isRunning())
        return;
    m_thread.init(argfile, cwd);
    m_thread.start();
}

void TraxoaddRunner::stop()
{
    m_thread.stop();
}
