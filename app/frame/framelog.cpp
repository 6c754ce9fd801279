#include "framelog.h"

Q_LOGGING_CATEGORY(lcFrame, "traxo.frame", QtInfoMsg)
