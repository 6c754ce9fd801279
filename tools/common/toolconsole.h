#ifndef TRAXO_TOOLCONSOLE_H
#define TRAXO_TOOLCONSOLE_H

#include <QObject>
#include <QString>

namespace traxotools {

// Where the command-line tools speak: one message per line on standard
// output, errors prefixed "***ERROR" and warnings "***WARNING", the prefixes
// by which the runners colour and classify a tool's output. Library objects
// report here through their log(QString, int) signal.
class ToolConsole : public QObject
{
    Q_OBJECT

public:
    enum Verbosity { Quiet = 0, Normal = 1, Verbose = 2 };

    explicit ToolConsole(QObject *parent = nullptr);

    void setVerbosity(Verbosity verbosity) { m_verbosity = verbosity; }
    Verbosity verbosity() const { return m_verbosity; }

    void error(const QString &text);
    void warning(const QString &text);
    // Shown unless quiet.
    void info(const QString &text);
    // Shown only when verbose.
    void detail(const QString &text);

    int errorCount() const { return m_errors; }

public slots:
    void log(const QString &message, int level);

private:
    void print(const QString &prefix, const QString &text);

    Verbosity m_verbosity = Normal;
    int m_errors = 0;
};

} // namespace traxotools

#endif
