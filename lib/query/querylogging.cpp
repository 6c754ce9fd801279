#include "query/querylogging.h"

Q_LOGGING_CATEGORY(lcTraxoQuery, "traxo.query", QtInfoMsg)
