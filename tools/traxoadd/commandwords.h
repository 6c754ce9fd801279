#ifndef TRAXO_COMMANDWORDS_H
#define TRAXO_COMMANDWORDS_H

#include <QString>
#include <QStringList>

namespace traxotools {

class ToolConsole;

// Gathers traxoadd's option words: the command line as given, with "-c FILE"
// replaced by the words of that arg-file and "--stdin" by the words of the
// arg-file text on standard input. Both are cut by the arg-file tokenizer, so
// the tool reads exactly what the editor writes; arg-file words spell a
// literal "$" as "$$", which is undone here. "--sync-cwd" is taken out and
// remembered: it means the paths in the arg-file are relative to the
// arg-file's own directory; so is "--lock-timeout SECONDS".
class CommandWords
{
public:
    explicit CommandWords(ToolConsole &console);

    // False when an arg-file cannot be read or cut into words; the reason
    // has been reported.
    bool collect(const QStringList &arguments);

    QStringList words() const { return m_words; }
    bool syncCwd() const { return m_syncCwd; }
    // Milliseconds to wait for another writer of a container, or -1 when
    // not given.
    qint64 lockTimeoutMs() const { return m_lockTimeoutMs; }
    // Directory of the first arg-file named with "-c", or "".
    QString argfileDirectory() const { return m_argfileDirectory; }

private:
    bool expand(const QStringList &words, int depth);
    bool appendArgfileText(const QString &text, const QString &origin, int depth);
    bool readArgfile(const QString &path, int depth);

    ToolConsole &m_console;
    QStringList m_words;
    QStringList m_openArgfiles; // the chain of "-c" files being read, to stop cycles
    QString m_argfileDirectory;
    bool m_syncCwd = false;
    qint64 m_lockTimeoutMs = -1;
    bool m_stdinRead = false;
};

} // namespace traxotools

#endif
