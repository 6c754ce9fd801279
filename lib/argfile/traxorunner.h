#ifndef TRAXO_TRAXORUNNER_H
#define TRAXO_TRAXORUNNER_H

#include "logging/logsource.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace traxo {

// Starts one of the external tools (traxoadd, traxodel) found beside the
// running program, blocks until it ends and turns its output into log
// messages: "***ERROR" lines at level 2, "***WARNING" lines at level 1, the
// rest at level 0.
class TraxoRunner : public LogSource
{
    Q_OBJECT

public:
    // Returned by runProcess for the runner's own failures; any other value
    // is the tool's exit code.
    enum RunnerFailure { NoExecutable = -1000, NotStarted = -1001, Crashed = -1002 };

    TraxoRunner(const QString &toolName, QObject *sink = nullptr);

    QString toolName() const { return m_toolName; }
    QString executableName() const { return m_executableName; }

    // Directories relative to the binary directory, searched in order.
    void setSearchPaths(const QStringList &paths) { m_searchPaths = paths; }
    QStringList searchPaths() const { return m_searchPaths; }

    // True: the executable is run directly; false: it is a script run by
    // the interpreter. The executable's name follows the choice.
    void setUsePy2Exe(bool usePy2Exe);
    bool usePy2Exe() const { return m_usePy2Exe; }

    QString findPython() const;
    // Path of the first executable found along the search paths, or "".
    QString findTraxorun() const;
    // Path of name in dir when it is a regular file, else "".
    QString searchInPath(const QString &dir, const QString &name) const;

    // Logs every complete line of the output seen so far; with final, the
    // unfinished last line too.
    void processOutput(const QString &text, bool final);
    void processOutputLine(const QString &line);

signals:
    // After each chunk of output: a hook for callers that must stay alive.
    void intercept();

protected:
    // Starts the tool with the arguments, feeds it input and logs its output.
    int runTool(const QStringList &arguments, const QByteArray &input);

private:
    QString m_executableName;
    QString m_toolName;
    QString m_pendingOutput;
    bool m_usePy2Exe = false;
    QStringList m_searchPaths;
};

// Runs traxoadd with "--stdin" and hands it the arg-file text.
class TraxoaddRunner : public TraxoRunner
{
    Q_OBJECT

public:
    explicit TraxoaddRunner(QObject *sink = nullptr);
    // input is the text of an arg-file.
    int runProcess(const QString &input);
};

// Runs traxodel with one argument: a container path or the texts of
// ArgFile::getUndoWorkflowStep.
class TraxodelRunner : public TraxoRunner
{
    Q_OBJECT

public:
    explicit TraxodelRunner(QObject *sink = nullptr);
    int runProcess(const QString &argument);
};

} // namespace traxo

#endif
