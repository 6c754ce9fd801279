#ifndef TRAXO_RENDERCOMMAND_H
#define TRAXO_RENDERCOMMAND_H

#include "command.h"

// traxo render FILE [--template NAME|PATH] [--format html|text|pdf] [-o OUT]:
// the viewer's rendering and exports without a display.
class RenderCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("render"); }
    QString summary() const override;
    QString help() const override;
    bool needsGui() const override { return true; }
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;

    // The template file a --template value names: an existing path as it
    // stands, else a name in the templates directory (".htm" may be left
    // out); empty when there is none.
    static QString templatePath(const QString &value);
};

#endif
