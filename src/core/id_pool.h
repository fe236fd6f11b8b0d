// Small integer ids per kind of entity: handed out from the top down, given
// back ids reused in the order they were given back.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace zb {

// The ids never handed out, maxId - 1 down to 4, are only counted: a fresh
// World then costs nothing however large its pools. They come first, exactly
// as if they stood at the back of freeIds.
struct IdPool {
    int32_t maxId = 0;
    uint32_t freshIds = 0;              // ids 4 .. 3 + freshIds still unused
    std::vector<uint32_t> freeIds;      // taken from the back
    std::vector<uint32_t> releasedIds;  // in order of release
};

void resetPool(IdPool& pool, int32_t maxId);
// No id when both lists are empty; the pool is then left as it was.
std::optional<uint32_t> takeId(IdPool& pool);
void releaseId(IdPool& pool, uint32_t id);
// How many ids takeId can still hand out.
int64_t availableIds(const IdPool& pool);

}  // namespace zb
