#include "summary/summarylogging.h"

Q_LOGGING_CATEGORY(lcTraxoSummary, "traxo.summary", QtInfoMsg)
