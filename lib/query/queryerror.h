#ifndef TRAXO_QUERYERROR_H
#define TRAXO_QUERYERROR_H

#include <QList>
#include <QMetaType>
#include <QString>

namespace traxo {

enum class QueryErrorType { Error, Warning };

// One positioned message about a query; originalText is the span concerned,
// which the query editor underlines. Errors reject the query, warnings do not.
class QueryError
{
public:
    QueryError() = default;
    QueryError(QueryErrorType type, const QString &errorMessage, int position, const QString &originalText);

    QueryErrorType type() const { return m_type; }
    bool isError() const { return m_type == QueryErrorType::Error; }
    bool isWarning() const { return m_type == QueryErrorType::Warning; }
    QString errorMessage() const { return m_errorMessage; }
    int position() const { return m_position; }
    QString originalText() const { return m_originalText; }
    int length() const { return int(m_originalText.size()); }

private:
    QueryErrorType m_type = QueryErrorType::Error;
    QString m_errorMessage;
    int m_position = -1;
    QString m_originalText;
};

bool containsErrors(const QList<QueryError> &errors);
bool containsWarnings(const QList<QueryError> &errors);

} // namespace traxo

Q_DECLARE_METATYPE(traxo::QueryError)

#endif
