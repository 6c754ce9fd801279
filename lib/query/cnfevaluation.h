#ifndef TRAXO_CNFEVALUATION_H
#define TRAXO_CNFEVALUATION_H

#include "query/conjunctivenormalform.h"
#include "query/queryformula.h"
#include "query/returnvalue.h"
#include "summary/summary.h"

#include <QHash>
#include <QList>
#include <QString>

namespace traxo {

// The attribute table of a workflow step or of one of its files: the
// candidates a query variable can be bound to. Keys are the attribute names
// of the type check; "any" joins every text value, in the order the values
// were entered, so that a search for text never depends on hash order.
QHash<QString, ReturnValue> convertStepToHash(const Workflowstep &step);
QHash<QString, ReturnValue> convertFileToHash(const FileSummary &file, int stepTagId);

// True when some binding of the formula's variables to the steps and files of
// the summaries makes it true. Two named variables never share a candidate;
// unnamed ones ("@unnamed-N") may. bindings is cleared and, on a match, maps
// each named variable to "workflowstep: <title>" or "file: <filename>" of the
// first solution: the first in the order of the variables (their first
// appearance in the query) and of the candidates (summary order, each step
// before its files). A formula without variables matches at once; a literal
// of constants alone is never evaluated and never makes a query false.
//
// Some queries stay exponential in their number of variables (a cycle of
// "<" over many files). Beyond maxTrials bindings (none when negative) or
// maxMilliseconds (none when negative) the search gives up, returns false
// and sets *gaveUp (may be null): the container may still match.
constexpr int DefaultSearchMilliseconds = 2000;
bool evaluateFormula(const QList<Summary> &summaries, const QueryFormula &formula, QHash<QString, QString> &bindings,
    bool *gaveUp = nullptr, qint64 maxTrials = -1, int maxMilliseconds = DefaultSearchMilliseconds);

// The same for a conjunctive normal form, as a conjunction of its
// disjunctions in its variable order.
bool evaluateCNF(const QList<Summary> &summaries, const ConjunctiveNormalForm &cnf, QHash<QString, QString> &bindings,
    bool *gaveUp = nullptr, qint64 maxTrials = -1, int maxMilliseconds = DefaultSearchMilliseconds);

} // namespace traxo

#endif
