#ifndef TRAXO_QUERYLOGGING_H
#define TRAXO_QUERYLOGGING_H

#include <QLoggingCategory>

// Developer diagnostics of the query language ("traxo.query"), off by
// default; enable with QT_LOGGING_RULES="traxo.query.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTraxoQuery)

#endif
