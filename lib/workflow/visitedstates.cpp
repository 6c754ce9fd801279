#include "workflow/visitedstates.h"

#include <algorithm>

namespace traxo {

VisitedStates::VisitedStates(int capacity)
    : m_capacity(std::max(capacity, 1))
{
}

bool VisitedStates::admit(const Key &key, float costs)
{
    if (m_capacity == 1) {
        const auto [it, inserted] = m_best.try_emplace(key, costs);
        if (inserted)
            return true;
        if (it->second <= costs)
            return false;
        it->second = costs;
        return true;
    }
    std::vector<float> &kept = m_several[key];
    if (kept.size() == size_t(m_capacity)) {
        if (kept.back() <= costs)
            return false;
        kept.pop_back();
    }
    kept.insert(std::upper_bound(kept.begin(), kept.end(), costs), costs);
    return true;
}

} // namespace traxo
