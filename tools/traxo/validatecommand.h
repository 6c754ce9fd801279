#ifndef TRAXO_VALIDATECOMMAND_H
#define TRAXO_VALIDATECOMMAND_H

#include "command.h"

#include <QStringList>

// traxo validate FILE...: every section and embedded file of each container
// checked against its MD5, containers spread over the cores.
class ValidateCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("validate"); }
    QString summary() const override;
    QString help() const override;
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;

protected:
    bool needsApplication() const override { return false; }
};

#endif
