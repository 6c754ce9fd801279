#include "commandregistry.h"

#include "diffcommand.h"
#include "exportcommand.h"
#include "extractcommand.h"
#include "findcommand.h"
#include "rendercommand.h"
#include "showcommand.h"
#include "validatecommand.h"

const std::vector<CommandRegistry::Factory> &CommandRegistry::factories()
{
    static const std::vector<Factory> list = {
        &makeCommand<ShowCommand>,
        &makeCommand<ValidateCommand>,
        &makeCommand<ExtractCommand>,
        &makeCommand<FindCommand>,
        &makeCommand<RenderCommand>,
        &makeCommand<ExportCommand>,
        &makeCommand<DiffCommand>,
    };
    return list;
}

std::vector<std::unique_ptr<Command>> CommandRegistry::all()
{
    std::vector<std::unique_ptr<Command>> commands;
    for (const Factory factory : factories())
        commands.push_back(factory());
    return commands;
}

std::unique_ptr<Command> CommandRegistry::create(const QString &name)
{
    for (const Factory factory : factories()) {
        std::unique_ptr<Command> command = factory();
        if (command->name() == name)
            return command;
    }
    return nullptr;
}
