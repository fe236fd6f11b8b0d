// A fixed set of threads, made once, that run one job over contiguous slices
// of a batch. The calling thread takes the first slice itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zbenv {

struct WorkerPool {
    std::vector<std::thread> threads;
    std::mutex mutex;
    std::condition_variable wake, done;
    std::function<void(int32_t)> job;  // called with the slice number
    uint64_t generation = 0;
    int32_t pending = 0;
    bool stopping = false;
    std::exception_ptr failure;  // of a worker, rethrown by the caller
};

// `slices` slices in all: slices - 1 threads are started.
void startPool(WorkerPool& pool, int32_t slices);
void stopPool(WorkerPool& pool);
// Runs job(0) .. job(slices - 1) and returns when all are done; rethrows
// what a worker threw (out of memory).
void runOnPool(WorkerPool& pool, const std::function<void(int32_t)>& job);

}  // namespace zbenv
