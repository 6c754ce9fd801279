#ifndef TRAXO_BENCHTREES_H
#define TRAXO_BENCHTREES_H

#include <QString>

// The trees of containers the search benchmarks share: many small
// containers of three steps, and a few large ones of one step with a big
// embedded file stored as is. Every tenth container (from the fourth) holds
// word() in a step title; the summaries are stored as is, so grep sees the
// words the finder reads.
namespace benchtrees {

QString word();
// Both return the number of containers holding word(), or -1 on failure.
int buildSmallTree(const QString &root, int count);
int buildLargeTree(const QString &root, int count, int mib);

} // namespace benchtrees

#endif
