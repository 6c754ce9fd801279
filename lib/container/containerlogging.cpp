#include "container/containerlogging.h"

namespace traxo {
// Developer diagnostics of the container classes, off unless enabled with
// QT_LOGGING_RULES="traxo.container.debug=true".
Q_LOGGING_CATEGORY(lcContainer, "traxo.container", QtWarningMsg)
} // namespace traxo
