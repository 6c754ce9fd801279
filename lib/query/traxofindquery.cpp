#include "traxofindquery.h"

#include "query/cnfevaluation.h"
#include "query/queryparser.h"
#include "summary/summarycreator.h"

namespace traxo {

TraxoFindQuery::TraxoFindQuery(const QString &query)
{
    setQuery(query);
}

bool TraxoFindQuery::setQuery(const QString &query)
{
    m_query = query;
    m_cnf.clear();
    m_formula = QueryFormula();
    m_prefilter = WordPrefilter();
    const ExpressionTreeNodePtr tree = parseQuery(query, m_errors);
    if (!tree)
        return false;
    m_formula = QueryFormula::fromTree(tree);
    // The normal form is kept for small queries only, as the reference of
    // the search; distribution makes it exponential in the alternatives.
    if (m_formula.literals().size() <= MaxReferenceLiterals)
        m_cnf = constructCNF(tree);
    m_prefilter = WordPrefilter(m_formula.impliedClauses());
    return true;
}

bool TraxoFindQuery::matches(const QList<Summary> &summaries, QHash<QString, QString> *bindings, bool *gaveUp) const
{
    if (gaveUp)
        *gaveUp = false;
    QHash<QString, QString> scratch;
    QHash<QString, QString> &target = bindings ? *bindings : scratch;
    // An empty form would match every container; a query that failed to
    // parse must not report every file as a hit.
    if (!isValid()) {
        target.clear();
        return false;
    }
    return evaluateFormula(summaries, m_formula, target, gaveUp);
}

bool TraxoFindQuery::matches(TraxoParser &parser, QHash<QString, QString> *bindings, bool *gaveUp) const
{
    if (isValid() && !m_prefilter.mayMatch(parser)) {
        if (bindings)
            bindings->clear();
        if (gaveUp)
            *gaveUp = false;
        return false;
    }
    SummaryCreator creator;
    if (m_formula.variableNames().size() > 1)
        return matches(creator.createSummaries(parser), bindings, gaveUp);

    // With one variable the first solution is the first candidate that holds,
    // so the summaries are searched one at a time, in candidate order, and
    // those after a match are never read. Most hits are found in the first.
    bool matched = false;
    bool evaluated = false;
    bool undecided = false;
    creator.forEachSummary(parser, [&](Summary &&summary) {
        evaluated = true;
        matched = matches(QList<Summary> { std::move(summary) }, bindings, &undecided);
        return !matched && !undecided;
    });
    // A formula without variables may hold for a container without steps.
    if (!evaluated)
        return matches(QList<Summary>(), bindings, gaveUp);
    if (gaveUp)
        *gaveUp = undecided;
    return matched;
}

bool TraxoFindQuery::mayMatch(QByteArrayView container) const
{
    return !isValid() || m_prefilter.mayMatch(container);
}

} // namespace traxo
