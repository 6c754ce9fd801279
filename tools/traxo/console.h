#ifndef TRAXO_CONSOLE_H
#define TRAXO_CONSOLE_H

#include <QString>

#include <cstdio>

// Where `traxo` speaks: results as UTF-8 on standard output, errors on
// standard error prefixed "traxo: ", and a progress line that only a
// terminal gets, so that pipes and logs hold results and errors alone.
class Console
{
public:
    Console(FILE *out = stdout, FILE *err = stderr);

    // Qt's own warnings reach the user like any other error, prefixed.
    static void installMessageHandler();

    // text as it stands; no line feed is added.
    void write(const QString &text);
    void writeLine(const QString &text);
    void writeBytes(const QByteArray &bytes);
    void error(const QString &text);
    void warning(const QString &text);

    // Overwrites the previous progress line; does nothing unless standard
    // error is a terminal.
    void progress(const QString &text);
    void clearProgress();
    bool progressShown() const { return m_progressShown; }

private:
    FILE *m_out;
    FILE *m_err;
    bool m_outIsTerminal;
    bool m_errIsTerminal;
    bool m_progressShown = false;
};

#endif
