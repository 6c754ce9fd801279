#ifndef TRAXO_TRAXOFINDQUERY_H
#define TRAXO_TRAXOFINDQUERY_H

#include "query/conjunctivenormalform.h"
#include "query/queryerror.h"
#include "query/queryformula.h"
#include "query/wordprefilter.h"
#include "summary/summary.h"

#include <QHash>
#include <QList>
#include <QString>

namespace traxo {

class TraxoParser;

// One query of the finder: parsed and converted once, then matched against
// any number of containers.
class TraxoFindQuery
{
public:
    explicit TraxoFindQuery(const QString &query = QString());

    // Parses the query and keeps its normal form; returns whether a tree was
    // produced. Errors and warnings are kept for getErrors().
    bool setQuery(const QString &query);

    QString query() const { return m_query; }
    bool isValid() const { return !containsErrors(m_errors); }
    QList<QueryError> getErrors() const { return m_errors; }
    // The normal form, empty for a query of more than MaxReferenceLiterals
    // literals or a form too large to build.
    static constexpr int MaxReferenceLiterals = 256;
    const ConjunctiveNormalForm &cnf() const { return m_cnf; }
    const QueryFormula &formula() const { return m_formula; }

    // Whether the steps and files of the summaries satisfy the query; bindings
    // (may be null) receives the named variables of the first solution. An
    // invalid query matches nothing. A search not decided within
    // DefaultSearchMilliseconds gives false and sets *gaveUp (may be null):
    // the summaries may still hold a match.
    bool matches(
        const QList<Summary> &summaries, QHash<QString, QString> *bindings = nullptr, bool *gaveUp = nullptr) const;
    // The same for the container the parser has opened, through its
    // summaries; a container that lacks the query's required words is
    // rejected before they are read.
    bool matches(TraxoParser &parser, QHash<QString, QString> *bindings = nullptr, bool *gaveUp = nullptr) const;
    // False only when a container made of exactly these bytes cannot match a
    // valid query because it lacks the query's required words: a search
    // decides most small containers so, before reading their markers.
    bool mayMatch(QByteArrayView container) const;

private:
    QString m_query;
    QList<QueryError> m_errors;
    ConjunctiveNormalForm m_cnf;
    QueryFormula m_formula;
    WordPrefilter m_prefilter;
};

} // namespace traxo

#endif
