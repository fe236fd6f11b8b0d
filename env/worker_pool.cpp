#include "env/worker_pool.h"

#include <chrono>
#include <utility>

namespace zbenv {

namespace {

// A batch step usually follows the last one at once, and waking a sleeping
// thread costs tens of microseconds, a large share of a step of a few
// hundred: so a thread waits this long awake before it sleeps.
constexpr auto kSpin = std::chrono::microseconds(200);

void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Until `ready` or kSpin has passed; the caller then sleeps if need be.
template <typename Ready>
void spinUntil(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    while (!ready()) {
        for (int i = 0; i < 64 && !ready(); ++i) relax();
        if (std::chrono::steady_clock::now() > until) return;
    }
}

void workerLoop(WorkerPool& pool, int32_t number) {
    uint64_t seen = 0;
    const auto called = [&] {
        return pool.stopping.load(std::memory_order_acquire) || pool.generation.load(std::memory_order_acquire) != seen;
    };
    for (;;) {
        spinUntil(called);
        std::unique_lock lock(pool.mutex);
        pool.wake.wait(lock, called);
        if (pool.stopping) return;
        seen = pool.generation;
        lock.unlock();
        std::exception_ptr failure;
        try {
            pool.job(number);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure) pool.failure = failure;
        if (pool.pending.fetch_sub(1, std::memory_order_acq_rel) == 1) pool.done.notify_one();
    }
}

}  // namespace

void startPool(WorkerPool& pool, int32_t threads) {
    for (int32_t number = 1; number < threads; ++number) pool.threads.emplace_back(workerLoop, std::ref(pool), number);
}

void stopPool(WorkerPool& pool) {
    {
        std::lock_guard lock(pool.mutex);
        pool.stopping = true;
    }
    pool.wake.notify_all();
    for (std::thread& t : pool.threads) t.join();
    pool.threads.clear();
}

void runOnPool(WorkerPool& pool, const std::function<void(int32_t)>& job) {
    if (pool.threads.empty()) {
        job(0);
        return;
    }
    {
        std::lock_guard lock(pool.mutex);
        pool.job = job;
        pool.pending = static_cast<int32_t>(pool.threads.size());
        ++pool.generation;
    }
    pool.wake.notify_all();
    std::exception_ptr failure;
    try {
        job(0);
    } catch (...) {
        failure = std::current_exception();
    }
    const auto finished = [&] { return pool.pending.load(std::memory_order_acquire) == 0; };
    spinUntil(finished);
    std::unique_lock lock(pool.mutex);
    pool.done.wait(lock, finished);
    if (!failure) failure = std::exchange(pool.failure, nullptr);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace zbenv
