#ifndef TRAXO_VIEWERLOGGING_H
#define TRAXO_VIEWERLOGGING_H

#include <QLoggingCategory>

// Developer diagnostics of the viewer; off unless enabled with
// QT_LOGGING_RULES="traxo.viewer.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcViewer)

#endif
