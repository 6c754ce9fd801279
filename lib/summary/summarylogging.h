#ifndef TRAXO_SUMMARYLOGGING_H
#define TRAXO_SUMMARYLOGGING_H

#include <QLoggingCategory>

// Developer diagnostics of the summary subsystem ("traxo.summary"), off by
// default; enable with QT_LOGGING_RULES="traxo.summary.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTraxoSummary)

#endif
