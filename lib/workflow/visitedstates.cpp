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

} // namespace traxo
