#ifndef TRAXO_UTILITIES_H
#define TRAXO_UTILITIES_H

#include <QString>

class QWidget;

// Everything a tool window needs from the frame's small helpers.
#include "elidedlabel.h"
#include "shared/paths.h"
#include "shared/textformat.h"
#include "vsettings.h"
#include "vwaitcursor.h"

// Lets What's This show the same help as the tool tip.
void toolTip2WhatsThis(QWidget *widget);

#endif
