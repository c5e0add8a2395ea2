#include "actors/smog.hpp"

#include <algorithm>

#include "common/sprite_layout.hpp"

namespace grappix {

namespace {

// How the runner's puffs look and live: a quarter turn every six updates, a sixtieth of
// opacity lost per update, gone after 31 updates (at about half opacity), 60 x 60 pixels.
constexpr double kSmogSpin = 0.261799387799149;   // pi / 12
constexpr double kSmogFade = 0.0166666666666667;  // 1 / 60
constexpr int64_t kSmogLife = 30;
constexpr double kSmogSize = 30.0;
constexpr int64_t kSmogCount = 20;
constexpr int64_t kSmogInterval = 60;  // ticks between puffs (every 6th frame at 10 ticks)

constexpr int64_t kPuffAnime = 100;

}  // namespace

void SmogPool::Configure(double spinIn, double fadeIn, int64_t lifeIn, double sizeIn, double accXIn,
                         double accYIn, int64_t countIn) {
    spin = spinIn;
    fade = fadeIn;
    life = lifeIn;
    size = sizeIn;
    accX = accXIn;
    accY = accYIn;
    count = std::max<int64_t>(countIn, 0);
    const auto n = static_cast<size_t>(count);
    alive.assign(n, false);
    age.assign(n, 0);
    alpha.assign(n, 1.0);
    puffs.clear();
    puffs.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        auto puff = std::make_unique<MovingActor>();
        puff->Prepare();
        puffs.push_back(std::move(puff));
    }
}

double SmogPool::GetSize() const { return size; }
int64_t SmogPool::GetCount() const { return count; }

void SmogPool::Emit(double x, double y) {
    for (int64_t i = 0; i < count; ++i) {
        const auto k = static_cast<size_t>(i);
        if (alive[k]) continue;
        // A reused puff keeps the rotation it had: puffs need not all start upright.
        alive[k] = true;
        age[k] = 0;
        puffs[k]->SetPos(x, y);
        alpha[k] = 1.0;
        return;
    }
    // Every puff is live: this one is simply not made.
}

bool SmogPool::IsAlive(int64_t i) const { return InRange(i) && alive[static_cast<size_t>(i)]; }

int64_t SmogPool::GetAge(int64_t i) const { return InRange(i) ? age[static_cast<size_t>(i)] : 0; }

double SmogPool::GetPuffX(int64_t i) const {
    return InRange(i) ? puffs[static_cast<size_t>(i)]->GetX() : 0.0;
}

double SmogPool::GetPuffY(int64_t i) const {
    return InRange(i) ? puffs[static_cast<size_t>(i)]->GetY() : 0.0;
}

double SmogPool::GetPuffAngle(int64_t i) const {
    return InRange(i) ? puffs[static_cast<size_t>(i)]->GetAngle() : 0.0;
}

double SmogPool::GetPuffAlpha(int64_t i) const { return InRange(i) ? alpha[static_cast<size_t>(i)] : 0.0; }

void SmogPool::Update(double dt) {
    for (int64_t i = 0; i < count; ++i) {
        const auto k = static_cast<size_t>(i);
        if (!alive[k]) continue;
        // The age is compared before it grows, so a puff lives through life + 1 updates.
        if (life < age[k]) {
            alive[k] = false;
            continue;
        }
        age[k] += 1;
        MovingActor& puff = *puffs[k];
        puff.AddAngle(spin);
        alpha[k] -= fade;
        puff.AddMove(accX, accY);
        puff.Step(dt);
    }
}

bool SmogPool::InRange(int64_t i) const { return i >= 0 && i < count; }

void Smog::Prepare() {
    pool = std::make_unique<SmogPool>();
    pool->Configure(kSmogSpin, kSmogFade, kSmogLife, kSmogSize, 0.0, 0.0, kSmogCount);
    sheet = std::make_unique<Anime>();
}

void Smog::LoadSheet(double viewX, double viewY, double viewW, double viewH) {
    if (!sheet) sheet = std::make_unique<Anime>();
    sheet->LoadTexture(layout::kSmogSheet.file);
    sheet->Setup(1, viewX, viewY, viewW, viewH);
    sheet->SetAnime(kPuffAnime, false, 1);
    const layout::Cell& c = layout::kSmog;
    sheet->AddFrame(kPuffAnime, c.x, c.y, c.w, c.h, 0, 60);
}

void Smog::Emit(int64_t clock, double x, double y) {
    if (!pool) return;
    if (clock % kSmogInterval == 0) pool->Emit(x, y);
}

void Smog::Update(double dt) {
    if (pool) pool->Update(dt);
}

void Smog::Draw(double viewX, double viewY) {
    if (!pool || !sheet) return;
    const double size = pool->GetSize();
    for (int64_t i = 0; i <= pool->GetCount() - 1; ++i) {
        if (!pool->IsAlive(i)) continue;
        sheet->Draw(kPuffAnime, pool->GetAge(i), pool->GetPuffX(i), pool->GetPuffY(i), size, size,
                    pool->GetPuffAngle(i), pool->GetPuffAlpha(i), viewX, viewY);
    }
}

}  // namespace grappix
