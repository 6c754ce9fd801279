#ifndef TRAXO_COMMANDREGISTRY_H
#define TRAXO_COMMANDREGISTRY_H

#include "command.h"

#include <QString>

#include <memory>
#include <vector>

// The commands `traxo` knows. A new command is one class in its own files
// and one line in the list in commandregistry.cpp.
class CommandRegistry
{
public:
    using Factory = std::unique_ptr<Command> (*)();

    // Every command, in the order "traxo --help" lists them.
    static std::vector<std::unique_ptr<Command>> all();
    // Null for a name no command has.
    static std::unique_ptr<Command> create(const QString &name);

private:
    static const std::vector<Factory> &factories();
};

#endif
