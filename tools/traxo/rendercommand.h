#ifndef TRAXO_RENDERCOMMAND_H
#define TRAXO_RENDERCOMMAND_H

#include "command.h"

// traxo render FILE [--template NAME|PATH] [--format html|text|pdf] [-o OUT]:
// the viewer's rendering and exports without a display. Laying text out
// takes QtGui, which every other command would pay for at start-up: `traxo`
// checks the request and hands it to the program traxo-render
// (OffscreenRenderCommand), which renders.
class RenderCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("render"); }
    QString summary() const override;
    QString help() const override;
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;

    // The template file a --template value names: an existing path as it
    // stands, else a name in templatesDir (".htm" may be left out); empty
    // when there is none.
    static QString templatePath(const QString &value, const QString &templatesDir);
    // traxo-render beside the running program (the build tree) or in the
    // installed helper folder; empty when there is none.
    static QString rendererPath();

protected:
    struct Request
    {
        QString file;
        QString templateFile;
        QString format;
        // Empty for standard output.
        QString output;
    };

    // The installed templates, as seen from the running program.
    virtual QString templatesDir() const;
    // Runs traxo-render in place of this process, with the same words.
    virtual int render(const Request &request, Console &console);
};

#endif
