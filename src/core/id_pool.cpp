#include "core/id_pool.h"

#include <algorithm>

namespace zb {

void resetPool(IdPool& pool, int32_t maxId) {
    pool.maxId = maxId;
    pool.freeIds.clear();
    pool.releasedIds.clear();
    for (int32_t id = 4; id < maxId; ++id) pool.freeIds.push_back(static_cast<uint32_t>(id));
}

std::optional<uint32_t> takeId(IdPool& pool) {
    if (pool.freeIds.empty()) {
        if (pool.releasedIds.empty()) return std::nullopt;
        // Earliest released at the back, so it is handed out first.
        std::reverse(pool.releasedIds.begin(), pool.releasedIds.end());
        std::swap(pool.freeIds, pool.releasedIds);
    }
    uint32_t id = pool.freeIds.back();
    pool.freeIds.pop_back();
    return id;
}

void releaseId(IdPool& pool, uint32_t id) { pool.releasedIds.push_back(id); }

int64_t availableIds(const IdPool& pool) {
    return static_cast<int64_t>(pool.freeIds.size()) + static_cast<int64_t>(pool.releasedIds.size());
}

}  // namespace zb
