#include "core/id_pool.h"

#include <algorithm>

namespace zb {

void resetPool(IdPool& pool, int32_t maxId) {
    pool.maxId = maxId;
    pool.freshIds = maxId > 4 ? static_cast<uint32_t>(maxId - 4) : 0;
    pool.freeIds.clear();
    pool.releasedIds.clear();
}

std::optional<uint32_t> takeId(IdPool& pool) {
    if (pool.freshIds > 0) return 3 + pool.freshIds--;
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
    return static_cast<int64_t>(pool.freshIds) + static_cast<int64_t>(pool.freeIds.size()) +
           static_cast<int64_t>(pool.releasedIds.size());
}

}  // namespace zb
