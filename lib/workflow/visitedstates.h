#ifndef TRAXO_VISITEDSTATES_H
#define TRAXO_VISITEDSTATES_H

#include <QtGlobal>

#include <unordered_map>
#include <vector>

namespace traxo {

// What the rest of a partial matching can cost depends only on its state
// (see PathExpander::stateKey), not on how it was reached. Two paths in the
// same state have the same completions, so only the cheaper one needs to be
// searched; this table remembers the cheapest cost so far per state.
//
// A search for the n cheapest matchings keeps the n cheapest paths per
// state: a path that n others in its state cost no more than has n
// matchings at no more cost than each of its own, so none of its own can
// be among the n cheapest that are missing.
//
// States are known by a 128-bit digest, not by value, to keep an entry at a
// few bytes; two different states sharing one digest is far less likely than
// a failing memory cell.
class VisitedStates
{
public:
    struct Key
    {
        quint64 first = 0;
        quint64 second = 0;
        bool operator==(const Key &other) const { return first == other.first && second == other.second; }
    };

    // How many paths a state keeps, at least one.
    explicit VisitedStates(int capacity = 1);

    // False when as many paths as the capacity in the same state cost no
    // more; otherwise records costs for the state and returns true.
    bool admit(const Key &key, float costs);
    int capacity() const { return m_capacity; }
    qsizetype size() const { return qsizetype(m_capacity == 1 ? m_best.size() : m_several.size()); }

private:
    struct KeyHash
    {
        size_t operator()(const Key &key) const { return size_t(key.first ^ (key.second >> 7)); }
    };
    int m_capacity;
    std::unordered_map<Key, float, KeyHash> m_best;
    // Per state the costs kept, cheapest first, when the capacity is more
    // than one.
    std::unordered_map<Key, std::vector<float>, KeyHash> m_several;
};

} // namespace traxo

#endif
