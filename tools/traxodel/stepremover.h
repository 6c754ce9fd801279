#ifndef TRAXO_STEPREMOVER_H
#define TRAXO_STEPREMOVER_H

#include <QList>
#include <QString>
#include <QStringList>

namespace traxotools {

class ToolConsole;

// Takes the newest workflow step back out of containers: the newest section
// must be the last thing in the file, and the container is cut back to where
// that section begins. Every container is checked before any is changed, and
// each is rewritten through a temporary file.
class StepRemover
{
public:
    explicit StepRemover(ToolConsole &console);

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
    QList<Cut> m_cuts;
};

} // namespace traxotools

#endif
