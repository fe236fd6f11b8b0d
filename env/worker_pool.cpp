#include "env/worker_pool.h"

#include <utility>

namespace zbenv {

namespace {

void workerLoop(WorkerPool& pool, int32_t number) {
    uint64_t seen = 0;
    for (;;) {
        std::unique_lock lock(pool.mutex);
        pool.wake.wait(lock, [&] { return pool.stopping || pool.generation != seen; });
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
        if (--pool.pending == 0) pool.done.notify_one();
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
    std::unique_lock lock(pool.mutex);
    pool.done.wait(lock, [&] { return pool.pending == 0; });
    if (!failure) failure = std::exchange(pool.failure, nullptr);
    if (failure) std::rethrow_exception(failure);
}

}  // namespace zbenv
