#include "common/anime.hpp"

#include <algorithm>

#include "frame/engine.hpp"

namespace grappix {

namespace {

// What a lookup hands back when there is nothing to show: an empty rectangle, drawn as
// nothing. Shared and never written.
const AnimeFrame kNoFrame{};

// The id as the engine formats numbers, for the log lines.
std::string IdText(int64_t id) {
    const char* text = Engine().IToS != nullptr ? Engine().IToS(id, 0) : nullptr;
    return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

void Anime::LoadTexture(const std::string& path) { tex = LoadTex(path); }

void Anime::Setup(int64_t count, double vx, double vy, double vw, double vh) {
    viewX = vx;
    viewY = vy;
    viewW = vw;
    viewH = vh;
    noCull = false;
    // A negative size means no table at all, like 0.
    entryCount = std::max<int64_t>(count, 0);
    entries.assign(static_cast<size_t>(entryCount), AnimeEntry{});
    // A new table: nothing of it has been drawn yet.
    hasCurrent = false;
}

void Anime::DisableCulling() { noCull = true; }

void Anime::SetAnime(int64_t id, bool loop, int64_t frameCount) {
    if (entryCount < 1) {
        DebugLog("err02:アニメの領域が存在しません。");
        return;
    }
    for (int64_t i = 0; i < entryCount; ++i) {
        AnimeEntry& e = entries[static_cast<size_t>(i)];
        if (e.id == id) {
            // Registered twice: the scan goes on, so a later free entry takes a second copy
            // that lookups (first match wins) never reach.
            DebugLog("err00:アニメIDが重複しました。");
        } else if (e.id == -1) {
            e.id = id;
            e.loop = loop;
            e.filled = 0;
            e.frames.assign(static_cast<size_t>(std::max<int64_t>(frameCount, 0)), AnimeFrame{});
            DebugLog("Set Anime." + IdText(id));
            return;
        } else if (i == entryCount - 1) {
            DebugLog("err01:アニメの配列が不足しています。");
        }
    }
}

void Anime::AddFrame(int64_t id, double srcX, double srcY, double srcW, double srcH, double angle,
                     int64_t duration) {
    if (entryCount < 1) {
        DebugLog("err04:アニメの領域が存在しません。");
        return;
    }
    for (AnimeEntry& e : entries) {
        if (e.id != id) continue;
        if (e.filled >= static_cast<int64_t>(e.frames.size())) {
            // More frames than SetAnime made room for: the extra one is dropped whole, so
            // the length still matches the frames that can be shown.
            DebugLog("err07:AnimeFrame Overflow." + IdText(id));
            return;
        }
        AnimeFrame& f = e.frames[static_cast<size_t>(e.filled)];
        f.srcX = srcX;
        f.srcY = srcY;
        f.srcW = srcW;
        f.srcH = srcH;
        f.angle = angle;
        f.duration = duration;
        e.length += duration;
        e.filled += 1;
        return;
    }
    DebugLog("err03:AnimeID Not Found.");
}

const AnimeFrame& Anime::GetFrame(int64_t id, int64_t time) {
    for (const AnimeEntry& e : entries) {
        if (e.id != id) continue;
        if (e.filled > 0 && e.loop && e.length <= 0) {
            // A loop with no length has no period to wrap around: it rests on its first frame.
            return e.frames[0];
        }
        for (int64_t j = 0; j < e.filled; ++j) {
            const AnimeFrame& f = e.frames[static_cast<size_t>(j)];
            if (e.loop) time %= e.length;  // remainder with the sign of the time
            if (time < f.duration || j == e.filled - 1) return f;
            time -= f.duration;
        }
        // An entry with the id but no frames yet is passed over.
    }
    DebugLog("err05:AnimeID Not Found.");
    return Fallback();
}

const AnimeFrame& Anime::GetFrameAt(int64_t id, int64_t index) {
    for (const AnimeEntry& e : entries) {
        if (e.id != id) continue;
        if (index < 0 || index >= static_cast<int64_t>(e.frames.size())) {
            DebugLog("err08:AnimeFrame Index Out Of Range." + IdText(id));
            return kNoFrame;
        }
        return e.frames[static_cast<size_t>(index)];
    }
    DebugLog("err06:AnimeID Not Found.");
    return Fallback();
}

int64_t Anime::GetLength(int64_t id) const {
    for (const AnimeEntry& e : entries)
        if (e.id == id) return e.length;
    return 0;
}

void Anime::Draw(int64_t id, int64_t time, double x, double y, double halfW, double halfH, double angle,
                 double alpha, double vx, double vy) {
    // The stored view follows the caller's camera, whether or not anything is drawn.
    viewX = vx;
    viewY = vy;
    // Touching the view's edge counts as outside; off-screen sprites cost four comparisons.
    const bool visible = noCull || (x > viewX - halfW && x < viewX + viewW + halfW && y > viewY - halfH &&
                                    y < viewY + viewH + halfH);
    if (!visible) return;
    current = GetFrame(id, time);
    hasCurrent = true;
    if (!tex.IsLoaded()) return;  // no sheet yet: nothing to draw from
    const AnimeFrame& f = current;
    tex.DrawRot(f.srcX, f.srcY, f.srcW, f.srcH, x - halfW - viewX, y - halfH - viewY, 2 * halfW, 2 * halfH,
                halfW, halfH, f.angle + angle, 1.0, 1.0, 1.0, alpha);
}

const AnimeFrame& Anime::Fallback() {
    // Frame 0 of entry 0 stands in for an unknown id; without one there is only the empty frame.
    if (entries.empty() || entries[0].frames.empty()) return kNoFrame;
    return entries[0].frames[0];
}

}  // namespace grappix
