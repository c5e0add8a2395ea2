// player_text.cpp -- what only the player sees and does outside play: text typed into a field
// (a name, an address), and text drawn over the finished frame as it goes to the window (what
// was typed, content from the network). Neither is recorded, traced or hashed: typing takes
// the keys it uses away from the game, so the game sees (and a replay records) only the Return
// or Escape that ends it.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "engine.hpp"
#include "fit_line.hpp"

namespace brisel {

namespace {

// The UTF-8 text without its last character.
void DropLastCharacter(std::string& text) {
    if (text.empty()) return;
    size_t at = text.size() - 1;
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    text.erase(at);
}

// Typed text as it is added: no control characters, and never past maxBytes (a character that
// does not fit whole is left out).
void AddTyped(Engine::Typing& t, const char* typed) {
    std::string add;
    for (const char* c = typed; *c != '\0'; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u >= 0x20 && u != 0x7F) add += *c;
    }
    size_t fits = 0;
    for (size_t i = 0; i <= add.size(); ++i) {
        const bool boundary = i == add.size() || (static_cast<unsigned char>(add[i]) & 0xC0) != 0x80;
        if (boundary && t.text.size() + i <= t.maxBytes) fits = i;
    }
    t.text += add.substr(0, fits);
}

struct OverlayFonts {
    std::map<int, TTF_Font*> bySize;
    bool missing = false;
} g_fonts;

struct CachedLine {
    int size = 0;
    std::string text;  // as asked for, before fitting
    double maxWidth = 0;
    SDL_Texture* texture = nullptr;
    int w = 0, h = 0;
    bool used = false;
};
std::vector<CachedLine> g_lines;

TTF_Font* FontOfSize(int size) {
    auto it = g_fonts.bySize.find(size);
    if (it != g_fonts.bySize.end()) return it->second;
    if (g_fonts.missing || TTF_WasInit() == 0) return nullptr;
    TTF_Font* font = TTF_OpenFont(DataPath("font.ttf").c_str(), size);
    if (font == nullptr) {
        g_fonts.missing = true;
        return nullptr;
    }
    g_fonts.bySize[size] = font;
    return font;
}

CachedLine* LineTexture(Engine& e, int size, const std::string& text, double maxWidth) {
    for (CachedLine& l : g_lines)
        if (l.size == size && l.text == text && l.maxWidth == maxWidth) {
            l.used = true;
            return &l;
        }
    TTF_Font* font = FontOfSize(size);
    if (font == nullptr) return nullptr;
    const auto width = [font](const std::string& line) {
        int w = 0, h = 0;
        return TTF_SizeUTF8(font, line.c_str(), &w, &h) == 0 ? double(w) : HUGE_VAL;
    };
    const std::string shown = maxWidth > 0 ? FitLineEnd(text, maxWidth, width) : text;
    if (shown.empty()) return nullptr;
    SDL_Surface* s = TTF_RenderUTF8_Blended(font, shown.c_str(), SDL_Color{255, 255, 255, 255});
    if (s == nullptr) return nullptr;
    CachedLine line{size, text, maxWidth, SDL_CreateTextureFromSurface(e.renderer, s), s->w, s->h, true};
    SDL_FreeSurface(s);
    if (line.texture == nullptr) return nullptr;
    g_lines.push_back(line);
    return &g_lines.back();
}

// Asked for over the next frame shown; a line wider than maxWidth is fitted (0: any width).
void AddOverlay(double x, double y, double height, double maxWidth, const char* text) {
    if (text == nullptr || !(height > 0) || !(x == x) || !(y == y) || !(maxWidth >= 0)) return;
    std::vector<Engine::OverlayLine>& overlay = E().overlay;
    if (overlay.size() < 64)
        overlay.push_back({x, y, std::min(height, 200.0), std::string(text).substr(0, 4096), maxWidth});
}

}  // namespace

bool TakeTypingEvent(Engine& e, const SDL_Event& ev) {
    Engine::Typing& t = e.typing;
    if (!t.active || e.input.scripted || e.playback.active) return false;
    switch (ev.type) {
    case SDL_TEXTINPUT: AddTyped(t, ev.text.text); return true;
    case SDL_KEYDOWN: {
        const SDL_Keycode key = ev.key.keysym.sym;
        if (key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE) {
            if (ev.key.repeat) return true;
            if (key == SDLK_ESCAPE) t.text = t.before;
            t.active = false;
            return false;  // the game sees the key that ended the typing
        }
        if (key == SDLK_F11) return false;  // the window's own key
        if (key == SDLK_BACKSPACE) DropLastCharacter(t.text);
        return true;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_MOUSEWHEEL: return true;
    default: return false;
    }
}

void DrawOverlay(Engine& e) {
    if (e.renderer == nullptr) {
        e.overlay.clear();
        return;
    }
    for (CachedLine& l : g_lines) l.used = false;
    for (const Engine::OverlayLine& o : e.overlay) {
        const int size = std::clamp(int(o.height * 0.8), 8, 200);
        size_t from = 0;
        for (int row = 0; from <= o.text.size(); ++row) {
            size_t to = o.text.find('\n', from);
            if (to == std::string::npos) to = o.text.size();
            const std::string text = o.text.substr(from, to - from);
            from = to + 1;
            CachedLine* line = LineTexture(e, size, text, o.maxWidth);
            if (line == nullptr) continue;
            const int x = int(o.x), y = int(o.y + o.height * row);
            SDL_SetRenderDrawBlendMode(e.renderer, SDL_BLENDMODE_BLEND);
            SDL_SetRenderDrawColor(e.renderer, 0, 0, 0, 160);
            SDL_Rect plate{x - 6, y, line->w + 12, int(o.height)};
            SDL_RenderFillRect(e.renderer, &plate);
            SDL_Rect to_rect{x, y + (int(o.height) - line->h) / 2, line->w, line->h};
            SDL_RenderCopy(e.renderer, line->texture, nullptr, &to_rect);
        }
    }
    e.overlay.clear();
    // Lines not shown this frame go: the cache holds what is on screen.
    for (CachedLine& l : g_lines)
        if (!l.used && l.texture != nullptr) {
            SDL_DestroyTexture(l.texture);
            l.texture = nullptr;
        }
    g_lines.erase(
        std::remove_if(g_lines.begin(), g_lines.end(), [](const CachedLine& l) { return !l.texture; }),
        g_lines.end());
}

void ReleaseOverlay() {
    for (CachedLine& l : g_lines)
        if (l.texture != nullptr) SDL_DestroyTexture(l.texture);
    g_lines.clear();
    for (auto& [size, font] : g_fonts.bySize) TTF_CloseFont(font);
    g_fonts = OverlayFonts{};
    E().overlay.clear();
}

}  // namespace brisel

extern "C" {

void BeginTextInput(const char* text, int64_t maxBytes) {
    BRISEL_ENTRY;
    brisel::Engine::Typing& t = brisel::E().typing;
    t.active = true;
    t.maxBytes = size_t(std::clamp<int64_t>(maxBytes, 0, 4096));
    t.text.clear();
    t.before.clear();
    brisel::AddTyped(t, text != nullptr ? text : "");
    t.before = t.text;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_StartTextInput();
}

void EndTextInput(void) {
    BRISEL_ENTRY;
    brisel::E().typing.active = false;
}

const char* TypedText(void) {
    BRISEL_ENTRY;
    return brisel::E().typing.text.c_str();
}

void OverlayText(double x, double y, double height, const char* text) {
    BRISEL_ENTRY;
    brisel::AddOverlay(x, y, height, 0, text);
}

void OverlayTextWithin(double x, double y, double height, double maxWidth, const char* text) {
    BRISEL_ENTRY;
    brisel::AddOverlay(x, y, height, maxWidth, text);
}

}  // extern "C"
