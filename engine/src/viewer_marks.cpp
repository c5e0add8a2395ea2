// viewer_marks.cpp -- what only the viewer of a replay sees: a strip ("Replay", the time, the
// speed, "Paused"), and the message of a replay that no longer matches the game. Drawn by the
// renderer over the finished frame as it goes to the window: never into the canvas, so never
// into a screenshot, a trace or a check.
#include <algorithm>
#include <cstdio>
#include <string>

#include "engine.hpp"

namespace brisel {

namespace {

struct ViewerText {
    TTF_Font* font = nullptr;
    bool tried = false;
    std::string shown;  // the text the texture holds
    SDL_Texture* texture = nullptr;
    int w = 0, h = 0;
    int widest = 0;  // the strip's plate never narrows as its text changes
};

ViewerText g_strip, g_failure;

// The game's own lettering where it has one (Data/font.ttf); rectangles alone otherwise.
TTF_Font* ViewerFont(ViewerText& t, int size) {
    if (!t.tried) {
        t.tried = true;
        if (TTF_WasInit() != 0) t.font = TTF_OpenFont(DataPath("font.ttf").c_str(), size);
    }
    return t.font;
}

// The text's texture made (or kept), its size in t.w and t.h; false when there is none.
bool Prepare(Engine& e, ViewerText& t, int size, const std::string& text) {
    TTF_Font* font = ViewerFont(t, size);
    if (font == nullptr) return false;
    if (t.texture == nullptr || t.shown != text) {
        if (t.texture != nullptr) SDL_DestroyTexture(t.texture);
        t.texture = nullptr;
        t.shown = text;
        SDL_Surface* s = TTF_RenderUTF8_Blended(font, text.c_str(), SDL_Color{255, 255, 255, 255});
        if (s == nullptr) return false;
        t.texture = SDL_CreateTextureFromSurface(e.renderer, s);
        t.w = s->w;
        t.h = s->h;
        SDL_FreeSurface(s);
    }
    return t.texture != nullptr;
}

void DrawText(Engine& e, ViewerText& t, int size, const std::string& text, int x, int y, bool centred) {
    if (!Prepare(e, t, size, text)) return;
    SDL_Rect to{centred ? x - t.w / 2 : x, y, t.w, t.h};
    SDL_RenderCopy(e.renderer, t.texture, nullptr, &to);
}

void Plate(Engine& e, SDL_Rect r, Uint8 alpha) {
    SDL_SetRenderDrawBlendMode(e.renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(e.renderer, 0, 0, 0, alpha);
    SDL_RenderFillRect(e.renderer, &r);
}

std::string Clock(int64_t steps) {
    const int64_t seconds = steps / 60;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace

void DrawViewerMarks(Engine& e) {
    const Playback& p = e.playback;
    if (!p.active || e.renderer == nullptr) return;
    // The strip: in the bottom right corner, below the title's options entry (which ends at
    // y 850) and right of where its bottom line ends (x 1260), clear of the game's lettering on
    // every screen; the timeline a thin line along its foot, filled up to the step shown.
    std::string text =
        "Replay  " + Clock(e.step) + " / " + Clock(p.script.endStep) + "  " + ViewerSpeedName(e);
    if (p.paused) text += "  Paused";
    constexpr int kRight = Canvas::kWidth - 12, kTop = 858, kHeight = 38, kMinWidth = 300;
    if (Prepare(e, g_strip, 18, text)) g_strip.widest = std::max(g_strip.widest, g_strip.w + 24);
    const int width = std::max(kMinWidth, g_strip.widest);
    Plate(e, SDL_Rect{kRight - width, kTop, width, kHeight}, 170);
    DrawText(e, g_strip, 18, text, kRight - width + 12, kTop + 3, false);
    const int64_t end = std::max<int64_t>(1, p.script.endStep);
    SDL_Rect line{kRight - width + 12, kTop + kHeight - 8, width - 24, 3};
    const int filled = int(line.w * std::min<int64_t>(e.step, end) / end);
    SDL_SetRenderDrawColor(e.renderer, 90, 90, 90, 255);
    SDL_RenderFillRect(e.renderer, &line);
    SDL_SetRenderDrawColor(e.renderer, 240, 200, 80, 255);
    line.w = filled;
    SDL_RenderFillRect(e.renderer, &line);
    if (!p.failure.empty()) {
        Plate(e, SDL_Rect{200, 400, 1200, 100}, 210);
        DrawText(e, g_failure, 32, p.failure, 800, 428, true);
    }
}

void ReleaseViewerMarks() {
    for (ViewerText* t : {&g_strip, &g_failure}) {
        if (t->texture != nullptr) SDL_DestroyTexture(t->texture);
        if (t->font != nullptr) TTF_CloseFont(t->font);
        *t = ViewerText{};
    }
}

}  // namespace brisel
