#ifndef TRAXO_COMMAND_H
#define TRAXO_COMMAND_H

#include <QString>

#include <memory>

class Console;
class QCommandLineParser;

// Exit statuses shared by every command; when several apply the worst wins.
enum ExitStatus {
    ExitOk = 0,
    // The question got the answer "no": an invalid container, no hit.
    ExitNegative = 1,
    // The question could not be answered: bad usage, unreadable input.
    ExitTrouble = 2,
};

// One command of `traxo` ("traxo show ..."). A command declares its options
// on a QCommandLineParser; main parses the words after the command's name,
// answers --help from help() and otherwise calls run().
class Command
{
public:
    virtual ~Command() = default;

    // The word after "traxo" that selects the command.
    virtual QString name() const = 0;
    // One line for "traxo --help".
    virtual QString summary() const = 0;
    // Synopsis and options for "traxo NAME --help".
    virtual QString help() const = 0;
    // Rendering needs fonts and a paint device, so a GUI application on the
    // offscreen platform; every other command runs without one.
    virtual bool needsGui() const { return false; }

    virtual void addOptions(QCommandLineParser *parser) const = 0;
    virtual int run(const QCommandLineParser &parser, Console &console) = 0;
};

template<class T>
std::unique_ptr<Command> makeCommand()
{
    return std::make_unique<T>();
}

#endif
