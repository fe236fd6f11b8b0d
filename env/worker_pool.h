// A fixed set of threads, made once, that all run one job at a time, each
// with its own number. The calling thread is number 0.
#pragma once

#include <atomic>
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
    std::function<void(int32_t)> job;  // called with the thread's number
    // Changed under the mutex, but also read without it while spinning.
    std::atomic<uint64_t> generation{0};
    std::atomic<int32_t> pending{0};
    std::atomic<bool> stopping{false};
    std::exception_ptr failure;  // of a worker, rethrown by the caller
};

// `threads` in all, the caller's included: threads - 1 are started.
void startPool(WorkerPool& pool, int32_t threads);
void stopPool(WorkerPool& pool);
// Runs job(0) .. job(threads - 1) at once and returns when all are done; rethrows
// what a worker threw (out of memory).
void runOnPool(WorkerPool& pool, const std::function<void(int32_t)>& job);

}  // namespace zbenv
