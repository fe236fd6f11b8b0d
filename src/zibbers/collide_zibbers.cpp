#include <zibber.h>

#include <cmath>

#include "core/hot.h"
#include "core/phases.h"
#include "core/tuning.h"
#include "math/step_math.h"

namespace zb {
namespace {

// How much zibber z shows its back to the other one: 1 with the back turned,
// -0.25 side-on, -1 facing. (ux, uy) points from the other zibber toward z.
double exposure(const Zibber& z, double ux, double uy) {
    const fm::SinCos sc = fm::sinCos(z.heading);
    double c = std::fma(sc.c, ux, sc.s * uy);
    if (c > 1.0) c = 1.0;
    if (c < -1.0) c = -1.0;
    const double a = fm::acos(c);
    const double f = (a + a) / (-3.141592653589793) + 1.0;
    return (f + (-0.25)) / std::fma(-0.25, f, 1.0);
}

// A charging bracer swells up to 40 % less.
double softenedGrowth(const Zibber& z, double change) {
    if (change < 0.0 || z.kind != ZB_KIND_BRACER || z.chargeTicks < 1) return change;
    const double e = 1.0 - fm::exp(static_cast<double>(-z.chargeTicks) * 0.24);
    return change * std::fma(e, -0.4, 1.0);
}

int32_t ramScore(double advantage) {
    const double s = std::floor(std::fma(advantage, 67.4, 0.5));
    return s > 0.0 ? static_cast<int32_t>(s) : 0;
}

}  // namespace

ZB_HOT void collideZibbers(World& world, Zibber& a, Zibber& b, uint32_t indexB) {
    if (!zibbersTouch(a, b)) return;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double rs = b.radius + a.radius;
    const double dist = fm::hypot(dx, dy);
    // Coincident centres have no direction of their own; any fixed one will do.
    const double nx = dist != 0.0 ? dx / dist : 1.0;
    const double ny = dist != 0.0 ? dy / dist : 0.0;
    const double half = (rs - dist) * 0.5;
    a.x = std::fma(-nx, half, a.x);
    a.y = std::fma(-ny, half, a.y);
    b.x = std::fma(nx, half, b.x);
    b.y = std::fma(ny, half, b.y);

    // A pair that bounced recently is only kept apart.
    for (const Contact& c : a.contacts) {
        if (c.otherIndex == indexB) return;
    }
    a.contacts.push_back(Contact{indexB, 0});

    const double eA = exposure(a, -nx, -ny);
    const double eB = exposure(b, nx, ny);
    const double sA = eB - (eA > 0.0 ? eA : 0.0);
    const double sB = eA - (eB > 0.0 ? eB : 0.0);
    const double gA = softenedGrowth(a, -(kCollisionGrowthRate * sA));
    const double gB = softenedGrowth(b, sB * (-kCollisionGrowthRate));

    a.vx = -(kCollisionBounceSpeed * nx);
    a.vy = -(kCollisionBounceSpeed * ny);
    a.growthRate = gA + a.growthRate;
    a.score = addScore(a.score, ramScore(sA));
    b.vx = nx * kCollisionBounceSpeed;
    b.vy = ny * kCollisionBounceSpeed;
    b.growthRate = gB + b.growthRate;
    b.score = addScore(b.score, ramScore(sB));

    const double px = std::fma(nx, a.radius, a.x);
    const double py = std::fma(ny, a.radius, a.y);
    world.particles.push_back(
        Particle{ZB_PARTICLE_SIZE_CHANGE, px, py, (gA < gB ? gB : gA) * kDecayTime, -1, a.id, b.id});
    world.particles.push_back(Particle{ZB_PARTICLE_SIZE_CHANGE, px, py, gA * kDecayTime, a.id, -1, -1});
    world.particles.push_back(Particle{ZB_PARTICLE_SIZE_CHANGE, px, py, gB * kDecayTime, b.id, -1, -1});
}

}  // namespace zb
