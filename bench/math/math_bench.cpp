// Each correctly rounded function next to the platform's, on arguments drawn
// from the ranges the step uses (a fixed pseudo-random set of 4096 per
// function, cycled), so the two can be compared within one run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "math/correctly_rounded.h"

namespace {

constexpr int kArgs = 4096;
constexpr double kPi = 3.141592653589793;

std::vector<double> draw(double lo, double hi, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> dist(lo, hi);
    std::vector<double> v(kArgs);
    for (double& x : v) {
        x = dist(rng);
    }
    return v;
}

const std::vector<double> kAngles = draw(-kPi, 3 * kPi, 1);
const std::vector<double> kCosines = draw(-1, 1, 2);
const std::vector<double> kExpArgs = draw(-100, 0, 3);
const std::vector<double> kLogArgs = draw(1, 1e7, 4);
const std::vector<double> kVelocities = draw(-10, 10, 5);
const std::vector<double> kPositions = draw(-70, 70, 6);
const std::vector<double> kUnit = draw(0, 1, 7);

template <typename F>
void runUnary(benchmark::State& state, const std::vector<double>& args, F f) {
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(args[i]));
        i = (i + 1) & (kArgs - 1);
    }
}

template <typename F>
void runBinary(benchmark::State& state, const std::vector<double>& args, F f) {
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(args[i], args[(i + 1) & (kArgs - 1)]));
        i = (i + 1) & (kArgs - 1);
    }
}

void SinCosCr(benchmark::State& s) {
    runUnary(s, kAngles, [](double x) {
        double sn, cs;
        zb::cr::sinCos(x, &sn, &cs);
        return sn + cs;
    });
}
void SinCosPlatform(benchmark::State& s) {
    runUnary(s, kAngles, [](double x) { return std::sin(x) + std::cos(x); });
}
void AcosCr(benchmark::State& s) {
    runUnary(s, kCosines, [](double x) { return zb::cr::acos(x); });
}
void AcosPlatform(benchmark::State& s) {
    runUnary(s, kCosines, [](double x) { return std::acos(x); });
}
void ExpCr(benchmark::State& s) {
    runUnary(s, kExpArgs, [](double x) { return zb::cr::exp(x); });
}
void ExpPlatform(benchmark::State& s) {
    runUnary(s, kExpArgs, [](double x) { return std::exp(x); });
}
void LogCr(benchmark::State& s) {
    runUnary(s, kLogArgs, [](double x) { return zb::cr::log(x); });
}
void LogPlatform(benchmark::State& s) {
    runUnary(s, kLogArgs, [](double x) { return std::log(x); });
}
void HypotVelocityCr(benchmark::State& s) {
    runBinary(s, kVelocities, [](double x, double y) { return zb::cr::hypot(x, y); });
}
void HypotVelocityPlatform(benchmark::State& s) {
    runBinary(s, kVelocities, [](double x, double y) { return std::hypot(x, y); });
}
void HypotPositionCr(benchmark::State& s) {
    runBinary(s, kPositions, [](double x, double y) { return zb::cr::hypot(x, y); });
}
void HypotPositionPlatform(benchmark::State& s) {
    runBinary(s, kPositions, [](double x, double y) { return std::hypot(x, y); });
}
void PowOneAndHalfCr(benchmark::State& s) {
    runUnary(s, kUnit, [](double x) { return zb::cr::powOneAndHalf(x); });
}
void PowOneAndHalfPlatform(benchmark::State& s) {
    runUnary(s, kUnit, [](double x) { return std::pow(x, 1.5); });
}

// Each argument depends on the previous result, as in the step's sub-step
// loops: this measures latency rather than throughput.
template <typename F>
void runChained(benchmark::State& state, const std::vector<double>& args, F f) {
    size_t i = 0;
    double carry = 0;
    for (auto _ : state) {
        carry = f(args[i] + carry * 1e-300);
        i = (i + 1) & (kArgs - 1);
    }
    benchmark::DoNotOptimize(carry);
}

void SinCosChainedCr(benchmark::State& s) {
    runChained(s, kAngles, [](double x) {
        double sn, cs;
        zb::cr::sinCos(x, &sn, &cs);
        return sn + cs;
    });
}
void SinCosChainedPlatform(benchmark::State& s) {
    runChained(s, kAngles, [](double x) { return std::sin(x) + std::cos(x); });
}
void HypotChainedCr(benchmark::State& s) {
    runChained(s, kPositions, [](double x) { return zb::cr::hypot(x, x * 0.75); });
}
void HypotChainedPlatform(benchmark::State& s) {
    runChained(s, kPositions, [](double x) { return std::hypot(x, x * 0.75); });
}

}  // namespace

BENCHMARK(SinCosChainedCr);
BENCHMARK(SinCosChainedPlatform);
BENCHMARK(HypotChainedCr);
BENCHMARK(HypotChainedPlatform);
BENCHMARK(SinCosCr);
BENCHMARK(SinCosPlatform);
BENCHMARK(AcosCr);
BENCHMARK(AcosPlatform);
BENCHMARK(ExpCr);
BENCHMARK(ExpPlatform);
BENCHMARK(LogCr);
BENCHMARK(LogPlatform);
BENCHMARK(HypotVelocityCr);
BENCHMARK(HypotVelocityPlatform);
BENCHMARK(HypotPositionCr);
BENCHMARK(HypotPositionPlatform);
BENCHMARK(PowOneAndHalfCr);
BENCHMARK(PowOneAndHalfPlatform);
