// TRAXObench: one process, four tools, each a kind of top-level window.
#include "editor/mainwindow.h"
#include "finder/traxofindwindow.h"
#include "frame/helpviewer.h"
#include "frame/opendispatcher.h"
#include "frame/traxobench.h"
#include "frame/windowlist.h"
#include "runner/traxogowindow.h"
#include "viewer/untraxowindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setOrganizationInfo();

    WindowList windowList;
    WindowList::setGlobalInstance(&windowList);
    // The first type is the default: the empty window shown on a start
    // without files. To add a tool, add its row (see HACKING.md).
    registerWindows({
        WindowType::fromClass<UnTRAXOWindow>({ "traxo", "pdf" }, &UnTRAXOWindow::createUnTRAXOWindow),
        WindowType::fromClass<MainWindow>({}, &MainWindow::createTRAXOformWindow),
        WindowType::fromClass<TRAXOgoWindow>({ "vcmd" }, &TRAXOgoWindow::createTRAXOgoWindow),
        WindowType::fromClass<TraxoFindWindow>({}, &TraxoFindWindow::createTRAXOFindWindow),
    });
    if (windowList.windowTypeNames().isEmpty()) {
        std::fprintf(stderr, "TRAXObench: no tool window is built into this program yet.\n");
        return 1;
    }

    HelpViewer helpViewer;
    HelpViewer::setGlobalInstance(&helpViewer);

    OpenDispatcher dispatcher;
    app.installEventFilter(&dispatcher);
    handleCommandlineArguments(app);
    QObject::connect(&dispatcher, &OpenDispatcher::openFileRequested, &windowList, &WindowList::openFile);
    QObject::connect(&app, &QApplication::focusChanged, &windowList, &WindowList::focusChanged);

    // Files from the command line open first (posted events); the empty
    // default window follows only when none of them made a window.
    QTimer::singleShot(30, &windowList, &WindowList::createFirstWindow);
    return app.exec();
}
