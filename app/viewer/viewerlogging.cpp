#include "viewer/viewerlogging.h"

Q_LOGGING_CATEGORY(lcViewer, "traxo.viewer", QtWarningMsg)
