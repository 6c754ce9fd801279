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

struct Trees
{
    QString smallRoot;
    QString largeRoot;
    int smallHits = 0;
    int largeHits = 0;
};
// Builds both trees below dir, saying so on standard output; false (with a
// line on standard error) when either could not be written.
bool buildTrees(const QString &dir, int smallCount, int largeCount, int mib, Trees *trees);

// The positive integer in the environment variable name, else fallback.
int envInt(const char *name, int fallback);

} // namespace benchtrees

#endif
