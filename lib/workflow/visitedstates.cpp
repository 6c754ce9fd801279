#include "workflow/visitedstates.h"

namespace traxo {

bool VisitedStates::admit(const Key &key, float costs)
{
    const auto [it, inserted] = m_best.try_emplace(key, costs);
    if (inserted)
        return true;
    if (it->second <= costs)
        return false;
    it->second = costs;
    return true;
}

quint64 VisitedStates::bytes() const
{
    // A node of the map (key, value, next pointer, cached hash) and a bucket.
    return quint64(m_best.size()) * (sizeof(Key) + sizeof(float) + 2 * sizeof(void *) + sizeof(size_t))
        + quint64(m_best.bucket_count()) * sizeof(void *);
}

} // namespace traxo
