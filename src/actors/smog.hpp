// The little puffs of smoke left at the runner's feet: a fixed pool of puffs, each a moving
// actor with an age and an opacity, drawn from one sheet.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "actors/moving_actor.hpp"
#include "common/anime.hpp"

namespace grappix {

class SmogPool {
public:
    void Configure(double spin, double fade, int64_t life, double size, double accX, double accY,
                   int64_t count);
    double GetSize() const;
    int64_t GetCount() const;
    void Emit(double x, double y);  // takes the lowest free puff; dropped when all are live
    bool IsAlive(int64_t i) const;
    int64_t GetAge(int64_t i) const;
    double GetPuffX(int64_t i) const;
    double GetPuffY(int64_t i) const;
    double GetPuffAngle(int64_t i) const;
    double GetPuffAlpha(int64_t i) const;
    void Update(double dt);

private:
    bool InRange(int64_t i) const;  // a puff index the pool has; others read as a dead puff

    std::vector<bool> alive;
    std::vector<int64_t> age;
    std::vector<std::unique_ptr<MovingActor>> puffs;
    std::vector<double> alpha;
    double spin = 0, fade = 0, accX = 0, accY = 0;
    int64_t life = 0;
    double size = 0;
    int64_t count = 0;
};

class Smog {
public:
    void Prepare();
    void LoadSheet(double viewX, double viewY, double viewW, double viewH);
    void Emit(int64_t clock, double x, double y);  // only when clock is a multiple of 60
    void Update(double dt);
    void Draw(double viewX, double viewY);

    const SmogPool& Pool() const { return *pool; }  // after Prepare

private:
    std::unique_ptr<SmogPool> pool;
    std::unique_ptr<Anime> sheet;
};

}  // namespace grappix
