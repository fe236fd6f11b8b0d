// Small integer ids per kind of entity: handed out from the top down, given
// back ids reused in the order they were given back.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace zb {

// The ids never handed out, maxId - 1 down to 4, are only counted: a fresh
// World then costs nothing however large its pools. They come first; given
// back ids wait in a ring in order of release. The ring is sized to the whole
// pool on the first release, so a pool allocates once in a World's life
// however long the queue grows (ids stay below 65535, two bytes each).
struct IdPool {
    int32_t maxId = 0;
    uint32_t freshIds = 0;       // ids 4 .. 3 + freshIds still unused
    std::vector<uint16_t> ring;  // given back ids, oldest at head
    uint32_t head = 0;
    uint32_t queued = 0;
};

void resetPool(IdPool& pool, int32_t maxId);
// No id when none is fresh or queued; the pool is then left as it was.
std::optional<uint32_t> takeId(IdPool& pool);
// Queues an id the pool handed out (more than the pool holds are dropped).
void releaseId(IdPool& pool, uint32_t id);
// How many ids takeId can still hand out.
int64_t availableIds(const IdPool& pool);

}  // namespace zb
