#ifndef TRAXO_SHOWCOMMAND_H
#define TRAXO_SHOWCOMMAND_H

#include "command.h"

// traxo show FILE [--json]: the recorded history, oldest step first.
class ShowCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("show"); }
    QString summary() const override;
    QString help() const override;
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;

protected:
    bool needsApplication() const override { return false; }
};

#endif
