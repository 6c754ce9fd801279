#ifndef TRAXO_COMMAND_H
#define TRAXO_COMMAND_H

#include <QByteArrayList>
#include <QString>

#include <memory>

class Console;
class QCommandLineParser;
class QCoreApplication;

// Exit statuses shared by every command; when several apply the worst wins.
enum ExitStatus {
    ExitOk = 0,
    // The question got the answer "no": an invalid container, no hit.
    ExitNegative = 1,
    // The question could not be answered: bad usage, unreadable input.
    ExitTrouble = 2,
};

// One command of `traxo` ("traxo show ..."). A command declares its options
// on a QCommandLineParser; execute() parses the words after the command's
// name, answers --help from help() and otherwise calls run().
class Command
{
public:
    virtual ~Command() = default;

    // Makes the application object if the command needs one, parses words
    // (the arguments after the command's name, as the program got them) and
    // runs the command; the exit status.
    int execute(int &argc, char **argv, const QByteArrayList &words, Console &console);

    // The word after "traxo" that selects the command.
    virtual QString name() const = 0;
    // One line for "traxo --help".
    virtual QString summary() const = 0;
    // Synopsis and options for "traxo NAME --help".
    virtual QString help() const = 0;
    virtual void addOptions(QCommandLineParser *parser) const = 0;
    virtual int run(const QCommandLineParser &parser, Console &console) = 0;

protected:
    // Whether run() needs an application object. Commands that only read
    // containers go without: making one loads the locale, searches for
    // qt.conf and takes about as long as a small search does.
    virtual bool needsApplication() const { return true; }
    // A QCoreApplication; a command that lays out text makes a GUI one.
    virtual std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv);
    // The words execute() was given, byte for byte.
    const QByteArrayList &words() const { return m_words; }

private:
    QByteArrayList m_words;
};

template<class T>
std::unique_ptr<Command> makeCommand()
{
    return std::make_unique<T>();
}

#endif
