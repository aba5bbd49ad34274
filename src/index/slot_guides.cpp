#include "index/slot_guides.h"

#include <algorithm>
#include <utility>

namespace kolva {

SlotGuide& UseGuide(SlotGuides& guides, int32_t slot, uint64_t use, GuideMemory& memory) {
    auto [found, added] = guides.try_emplace(slot);
    if (added) memory.used += kGuideOverhead;
    found->second.lastUse = use;
    return found->second;
}

void DropOldGuides(SlotGuides& guides, GuideMemory& memory) {
    std::vector<std::pair<uint64_t, int32_t>> byUse;
    byUse.reserve(guides.size());
    for (const auto& [slot, guide] : guides) byUse.emplace_back(guide.lastUse, slot);
    std::sort(byUse.begin(), byUse.end());
    for (const auto& [lastUse, slot] : byUse) {
        if (memory.used <= memory.limit / 4 * 3) break;
        auto found = guides.find(slot);
        memory.used -= kGuideOverhead + found->second.points.capacity() * sizeof(StreamPoint);
        guides.erase(found);
    }
}

}  // namespace kolva
