#ifndef TRAXO_FRAMELOG_H
#define TRAXO_FRAMELOG_H

#include <QLoggingCategory>

// Developer diagnostics of the application frame, off by default; enable with
// QT_LOGGING_RULES="traxo.frame.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcFrame)

#endif
