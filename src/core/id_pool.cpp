#include "core/id_pool.h"

namespace zb {

void resetPool(IdPool& pool, int32_t maxId) {
    pool.maxId = maxId;
    pool.freshIds = maxId > 4 ? static_cast<uint32_t>(maxId - 4) : 0;
    pool.ring.clear();
    pool.head = 0;
    pool.queued = 0;
}

std::optional<uint32_t> takeId(IdPool& pool) {
    if (pool.freshIds > 0) return 3 + pool.freshIds--;
    if (pool.queued == 0) return std::nullopt;
    const uint32_t id = pool.ring[pool.head];
    pool.head = pool.head + 1 == pool.ring.size() ? 0 : pool.head + 1;
    --pool.queued;
    return id;
}

void releaseId(IdPool& pool, uint32_t id) {
    if (pool.ring.empty()) pool.ring.assign(pool.maxId > 4 ? static_cast<size_t>(pool.maxId - 4) : 1, 0);
    if (pool.queued == pool.ring.size()) return;
    size_t tail = pool.head + pool.queued;
    if (tail >= pool.ring.size()) tail -= pool.ring.size();
    pool.ring[tail] = static_cast<uint16_t>(id);
    ++pool.queued;
}

int64_t availableIds(const IdPool& pool) {
    return static_cast<int64_t>(pool.freshIds) + static_cast<int64_t>(pool.queued);
}

}  // namespace zb
