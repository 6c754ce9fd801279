#include "summary/summaryreader.h"
#include "summary/summarywriter.h"

#include "fuzzcommon.h"

using namespace traxo;

// Text through the summary reader; whatever step comes out must survive the
// writer: written and read again it is still a step with as many files and
// attributes (texts may differ, since the reader keeps entities as written).
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzcommon::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SummaryReader reader;
    const Summary summary = reader.readSummary(fuzzcommon::text(data, size));
    if (!summary.valid)
        return 0;
    const QString written = SummaryWriter::writeSummary(summary);
    const Summary again = reader.readSummary(QString::fromUtf8(SummaryWriter::writeSummaryUtf8(summary)));
    if (!again.valid || again.files.size() != summary.files.size()
        || again.userAttributeKeys.size() != summary.userAttributeKeys.size())
        fuzzcommon::fail("a written summary does not read back", written);
    return 0;
}
