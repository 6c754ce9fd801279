#ifndef TRAXO_OFFSCREENRENDERCOMMAND_H
#define TRAXO_OFFSCREENRENDERCOMMAND_H

#include "rendercommand.h"

// What traxo-render runs for `traxo render`: the template engine and the
// viewer's exports in a GUI application on the offscreen platform, which
// lays text out with fonts without a display.
class OffscreenRenderCommand : public RenderCommand
{
protected:
    std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv) override;
    // The templates of the installation traxo-render belongs to.
    QString templatesDir() const override;
    int render(const Request &request, Console &console) override;
};

#endif
