#ifndef TRAXO_EXTRACTCOMMAND_H
#define TRAXO_EXTRACTCOMMAND_H

#include "command.h"

// traxo extract FILE [-o DIR] [--mask MASK] [--force] [PATTERN...]: embedded
// files written below DIR under their recorded paths, never outside it.
class ExtractCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("extract"); }
    QString summary() const override;
    QString help() const override;
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;
};

#endif
