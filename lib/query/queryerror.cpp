#include "queryerror.h"

#include <algorithm>

namespace traxo {

QueryError::QueryError(QueryErrorType type, const QString &errorMessage, int position, const QString &originalText)
    : m_type(type)
    , m_errorMessage(errorMessage)
    , m_position(position)
    , m_originalText(originalText)
{
}

bool containsErrors(const QList<QueryError> &errors)
{
    return std::any_of(errors.cbegin(), errors.cend(), [](const QueryError &e) { return e.isError(); });
}

bool containsWarnings(const QList<QueryError> &errors)
{
    return std::any_of(errors.cbegin(), errors.cend(), [](const QueryError &e) { return e.isWarning(); });
}

} // namespace traxo
