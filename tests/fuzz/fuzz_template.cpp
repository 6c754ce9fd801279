#include "shared/parsetemplate.h"

#include "fuzzcommon.h"

using namespace traxo;

// Template text through the template parser and, when it parses, a rendering
// of a fixed history.
static QList<Summary> *summaries;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzcommon::initApplication();
    summaries = new QList<Summary>(fuzzcommon::fixedSummaries());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ParseTemplate engine;
    if (engine.parseTemplate(fuzzcommon::text(data, size)))
        engine.generateHtml(QStringLiteral("fuzz.traxo"), QStringLiteral("fuzz.htm"), *summaries, false);
    return 0;
}
