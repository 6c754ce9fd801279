#ifndef TRAXO_TRAXOADDTHREAD_H
#define TRAXO_TRAXOADDTHREAD_H

#include <QString>
#include <QThread>

// Runs "python traxoadd.py -c <argfile>" in a working directory on its own
// thread and reports the whole output so far, as HTML, after every chunk.
// The fields are set before start() and only read by the thread; an
// interruption request (QThread::requestInterruption) kills the process.
class TraxoaddThread : public QThread
{
    Q_OBJECT

public:
    explicit TraxoaddThread(QObject *parent = nullptr);
    ~TraxoaddThread() override;

    void init(const QString &argfile, const QString &cwd);
    QString argfile() const { return m_argfile; }
    QString cwd() const { return m_cwd; }

    // Where "traxoadd.py" is looked for: binaryDir/../traxo-src/bin first,
    // then applicationDir. Defaults to the running program's directories.
    void setScriptDirectories(const QString &binaryDir, const QString &applicationDir);
    // The launcher's path, empty when neither directory holds it.
    static QString locateScript(const QString &binaryDir, const QString &applicationDir);

    // Tool output as HTML: errors red, warnings orange, indented lines kept
    // indented, everything else escaped. A trailing line end adds nothing.
    static QString parseOutput(const QString &text);

    // Ends a running job: the process is killed and the thread joined.
    void stop();

signals:
    void outputUpdated(const QString &html);

protected:
    void run() override;

private:
    void runProcess();

    QString m_argfile;
    QString m_cwd;
    QString m_binaryDir;
    QString m_applicationDir;
};

#endif
