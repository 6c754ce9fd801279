#ifndef TRAXO_WORKFLOWLOGGING_H
#define TRAXO_WORKFLOWLOGGING_H

#include <QLoggingCategory>

namespace traxo {
// Developer diagnostics of workflow trees and the tree diff
// ("traxo.workflow"), off by default.
Q_DECLARE_LOGGING_CATEGORY(lcWorkflow)
} // namespace traxo

#endif
