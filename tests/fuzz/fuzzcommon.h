#ifndef TRAXO_FUZZCOMMON_H
#define TRAXO_FUZZCOMMON_H

#include "summary/summary.h"

#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>

// Helpers shared by the fuzz targets. They link no library of their own, so
// that each target links exactly one copy of the library, whichever it needs.
namespace fuzzcommon {

// A Qt application object for the whole run: some classes ask it for paths.
void initApplication();

// Input bytes as text the way a user's file reaches the readers.
inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Ends the run as a finding when a property of the readers does not hold; the
// message and libFuzzer's saved input are what a developer needs to replay it.
[[noreturn]] void fail(const char *what, const QString &detail = QString());

// Two steps with inputs, outputs, user attributes with and without units and
// an embedded file: enough for every query operator and template block to
// find something to work on.
QList<traxo::Summary> fixedSummaries();

} // namespace fuzzcommon

#endif
