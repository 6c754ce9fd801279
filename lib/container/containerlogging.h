#ifndef TRAXO_CONTAINERLOGGING_H
#define TRAXO_CONTAINERLOGGING_H

#include <QLoggingCategory>

namespace traxo {
Q_DECLARE_LOGGING_CATEGORY(lcContainer)
}

#endif
