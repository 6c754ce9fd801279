#include "argfile/argfileparser.h"
#include "argfile/argfilereader.h"

#include "fuzzcommon.h"

using namespace traxo;

// Arg-file text through the tokenizer and the reader; whatever model comes
// out must render to a command line that reads back into the same model.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzcommon::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzcommon::text(data, size);
    const ArgfileParser::Variables variables { { QStringLiteral("HOME"), QStringLiteral("/home/ada") },
        { QStringLiteral("run"), QStringLiteral("7 'quoted' $x \"y\"") } };
    ArgfileParser::parseArgfile(text);
    ArgfileParser::parseArgfile(text, &variables);
    ArgfileParser::getHighlighterList(text);

    ArgfileReader reader;
    const ArgFile model = reader.readArgfile(text);
    const QString rendered = model.toCommandline(true);
    const ArgFile again = reader.readArgfile(rendered);
    if (again != model)
        fuzzcommon::fail("an arg-file model does not survive its command line", rendered);
    return 0;
}
