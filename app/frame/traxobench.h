#ifndef TRAXO_TRAXOBENCH_H
#define TRAXO_TRAXOBENCH_H

#include "shared/traxobenchinfo.h"

class QApplication;

// Sets name, version, organisation, domain and window icon on the application.
void setOrganizationInfo();

// Posts one file-open event per command-line argument; they are handled once
// the event loop runs, exactly like open requests from the desktop.
void handleCommandlineArguments(QApplication &app);

#endif
