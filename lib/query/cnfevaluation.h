#ifndef TRAXO_CNFEVALUATION_H
#define TRAXO_CNFEVALUATION_H

#include "query/conjunctivenormalform.h"
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

// True when some binding of the form's variables to the steps and files of
// the summaries makes every disjunction true. Two named variables never share
// a candidate; unnamed ones ("@unnamed-N") may. bindings is cleared and, on a
// match, maps each named variable to "workflowstep: <title>" or
// "file: <filename>" of the first solution found. A form without variables
// matches at once.
//
// Joins between named variables can make the search exponential in their
// number; after maxTrials bindings it gives up, returns false and sets
// *gaveUp (may be null), so that one container cannot stall a search.
constexpr qint64 DefaultMaxBindingTrials = 200000;
bool evaluateCNF(const QList<Summary> &summaries, const ConjunctiveNormalForm &cnf, QHash<QString, QString> &bindings,
    bool *gaveUp = nullptr, qint64 maxTrials = DefaultMaxBindingTrials);

} // namespace traxo

#endif
