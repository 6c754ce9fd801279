#ifndef TRAXO_DIFFCOMMAND_H
#define TRAXO_DIFFCOMMAND_H

#include "command.h"

// traxo diff A B [--json]: what changed between two recorded histories.
class DiffCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("diff"); }
    QString summary() const override;
    QString help() const override;
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

#endif
