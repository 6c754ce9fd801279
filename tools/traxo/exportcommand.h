#ifndef TRAXO_EXPORTCOMMAND_H
#define TRAXO_EXPORTCOMMAND_H

#include "command.h"

// traxo export FILE --format prov-json|prov-n|ro-crate [-o OUT]: the history
// of a container as W3C PROV or as an RO-Crate folder.
class ExportCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("export"); }
    QString summary() const override;
    QString help() const override;
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

#endif
