#ifndef TRAXO_WORDPREFILTER_H
#define TRAXO_WORDPREFILTER_H

#include "query/conjunctivenormalform.h"
#include "query/foldedmatcher.h"

#include <QByteArray>
#include <QList>

namespace traxo {

class TraxoParser;

// The words a container must hold somewhere for a query to match it. A
// disjunction whose every literal asks that some text contain a word can
// only be true when one of those words occurs in the container's markers or
// summaries, so a container holding none of them is rejected without
// reading its summaries: most containers of a search are rejected this way.
//
// Only words it can decide exactly take part: plain ASCII without the
// characters that marker escapes or joined texts produce, and no word that
// could hide in a text the summaries make up (ids, sizes, "wfs:3",
// "Undefined"). Everything else leaves the decision to the evaluation.
class WordPrefilter
{
public:
    WordPrefilter() = default;
    explicit WordPrefilter(const ConjunctiveNormalForm &cnf);

    // False only when the opened container cannot match the query: some
    // disjunction's words occur nowhere in it.
    bool mayMatch(TraxoParser &parser) const;
    // The same decision from all bytes of a container, before any marker is
    // read: every text of its markers and uncompressed summaries lies in them
    // as written. False only when some disjunction's words occur nowhere in
    // the bytes and no summary in them is compressed.
    bool mayMatch(QByteArrayView container) const;

    // The lower-case form of a word the filter can decide, or an empty array.
    static QByteArray decidableWord(const QString &word);

private:
    bool holdsEveryDisjunction(QByteArrayView haystack) const;

    QList<QList<FoldedMatcher>> m_disjunctions;
    bool m_hexWords = false; // some word could be part of a checksum
};

} // namespace traxo

#endif
