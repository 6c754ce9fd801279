#include "workflow/workflowlogging.h"

namespace traxo {
// Enable with QT_LOGGING_RULES="traxo.workflow.debug=true".
Q_LOGGING_CATEGORY(lcWorkflow, "traxo.workflow", QtWarningMsg)
} // namespace traxo
