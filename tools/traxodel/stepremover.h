#ifndef TRAXO_STEPREMOVER_H
#define TRAXO_STEPREMOVER_H

#include <QList>
#include <QString>
#include <QStringList>

#include "writerlocks.h"

namespace traxotools {

class ToolConsole;

// Takes the newest workflow step back out of containers: the newest section
// must be the last thing in the file (a PDF's trailer pointer may follow it),
// and the container is cut back to where that section begins, which leaves
// the trailer pointer written before it at the end. Every container is
// locked and checked before any is changed.
class StepRemover
{
public:
    explicit StepRemover(ToolConsole &console);

    void setLockTimeout(qint64 timeoutMs) { m_locks.setTimeout(timeoutMs); }

    // Container paths from plain arguments and from the texts
    // "<DelWorkflowStep>path</DelWorkflowStep>" that ArgFile writes.
    static QStringList containersFromArguments(const QStringList &arguments);

    bool prepare(const QStringList &containers);
    void pretend() const;
    bool remove();

private:
    struct Cut
    {
        QString path;
        qint64 keep = 0; // bytes that stay
        QString title;
    };

    bool prepareContainer(const QString &path);

    ToolConsole &m_console;
    WriterLocks m_locks;
    QList<Cut> m_cuts;
};

} // namespace traxotools

#endif
