#include "query/queryparser.h"
#include "query/traxofindquery.h"

#include "fuzzcommon.h"

using namespace traxo;

// Query text through the parser and, when it parses, the matching of a fixed
// history.
static QList<Summary> *summaries;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzcommon::initApplication();
    summaries = new QList<Summary>(fuzzcommon::fixedSummaries());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzcommon::text(data, size);
    QList<QueryError> errors;
    parseQuery(text, errors);

    const TraxoFindQuery query(text);
    QHash<QString, QString> bindings;
    query.matches(*summaries, &bindings);
    if (!query.isValid() && query.matches(*summaries))
        fuzzcommon::fail("an invalid query matched", text);
    return 0;
}
