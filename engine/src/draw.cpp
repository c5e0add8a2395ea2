// draw.cpp -- textures, fonts and the 2D drawing entry points.

#include <algorithm>
#include <cmath>

#include "engine.hpp"

using namespace brisel;

namespace {

BriselTex* LiveTex(BriselTex* tex, const char* entry) {
    if (!IsLive(tex, Kind::Tex)) Raise(BRISEL_FAIL_ARGUMENT, std::string(entry) + ": not a live texture");
    return tex;
}

// Whether rendered text of `letters` characters at a line height of `size` pixels has a
// believable size: glyphs a few times their size at most, and never wider than a texture.
bool TextFits(int64_t w, int64_t h, int64_t size, int64_t letters) {
    const int64_t glyph = 4 * size + 16;
    return w >= 0 && h >= 0 && h <= glyph &&
           w <= std::min<int64_t>(16384, glyph * std::max<int64_t>(letters, 1));
}

BriselFont* LiveFont(BriselFont* font, const char* entry) {
    if (!IsLive(font, Kind::Font)) Raise(BRISEL_FAIL_ARGUMENT, std::string(entry) + ": not a live font");
    return font;
}

// Any SDL surface as a premultiplied image. The 32-bit layouts decoders produce are read
// directly (one pass instead of a conversion and then a second pass).
Image ToImage(SDL_Surface* surface) {
    Uint32 format = surface->format->format;
    if ((format == SDL_PIXELFORMAT_ABGR8888 || format == SDL_PIXELFORMAT_ARGB8888) &&
        surface->pitch % 4 == 0 && !SDL_HasColorKey(surface) && SDL_LockSurface(surface) == 0) {
        Image img = Image::FromStraight(surface->w, surface->h, static_cast<const uint32_t*>(surface->pixels),
                                        surface->pitch / 4, format == SDL_PIXELFORMAT_ABGR8888);
        SDL_UnlockSurface(surface);
        return img;
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    if (argb == nullptr) return Image{};
    Image img;
    if (SDL_LockSurface(argb) == 0) {
        img = Image::FromStraight(argb->w, argb->h, static_cast<const uint32_t*>(argb->pixels),
                                  argb->pitch / 4);
        SDL_UnlockSurface(argb);
    }
    SDL_FreeSurface(argb);
    return img;
}

void TraceTex(const BriselTex* tex, double sx, double sy, double sw, double sh, double dx, double dy,
              double dw, double dh, double cx, double cy, double angle, double r, double g, double b,
              double a) {
    TraceLine("tex %s %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g",
              tex->name.c_str(), sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a);
}

// Text in white with a dark outline n pixels thick, in a line `size` pixels high. Runs on the
// decoding worker: fails with a code and the whole message instead of raising.
bool RenderText(FontCore& core, int64_t size, const std::string& line, int64_t n, Image& out, uint32_t& code,
                std::string& message) {
    std::lock_guard<std::mutex> lock(FontLock());
    FontCore* font = &core;
    const char* text = line.c_str();
    auto fail = [&](uint32_t c, const std::string& m) {
        code = c;
        message = m;
        return false;
    };
    if (font->lineSize != int(size)) {
        // `size` is the height of a line of text in pixels, so lines laid out `size` apart
        // never overlap: take the font's point size whose line height fits it.
        if (TTF_SetFontSize(font->font, int(size)) != 0)
            return fail(BRISEL_FAIL_SYSTEM, "MakeFontTex: " + std::string(TTF_GetError()));
        int height = TTF_FontHeight(font->font);
        int points = height > size ? std::max(1, int(size * size / height)) : int(size);
        if (points != int(size) && TTF_SetFontSize(font->font, points) != 0)
            return fail(BRISEL_FAIL_SYSTEM, "MakeFontTex: " + std::string(TTF_GetError()));
        font->size = points;
        font->lineSize = int(size);
    }
    if (*text == '\0') {
        // Nothing to render: a transparent texture one pixel wide and a line high.
        Image empty;
        empty.width = 1;
        empty.height = std::max(1, TTF_FontHeight(font->font) + 2 * int(n));
        empty.texels.assign(size_t(empty.height), 0);
        empty.translucent = true;
        out = std::move(empty);
        return true;
    }

    TTF_SetFontOutline(font->font, 0);
    int textW = 0, textH = 0;
    int64_t letters = 0;
    for (const char* c = text; *c != '\0'; ++c) letters += (*c & 0xC0) != 0x80 ? 1 : 0;
    if (TTF_SizeUTF8(font->font, text, &textW, &textH) != 0 || !TextFits(textW, textH, size, letters))
        return fail(BRISEL_FAIL_LOAD, DataPath(font->name.c_str()) + ": the font is damaged (text of size " +
                                          std::to_string(size) + " would be " + std::to_string(textW) +
                                          " x " + std::to_string(textH) + " pixels)");
    SDL_Surface* fill = TTF_RenderUTF8_Blended(font->font, text, SDL_Color{255, 255, 255, 255});
    if (fill == nullptr) return fail(BRISEL_FAIL_SYSTEM, "MakeFontTex: " + std::string(TTF_GetError()));
    Image image = ToImage(fill);
    SDL_FreeSurface(fill);
    if (n > 0) {
        // The outline is the same text rendered n pixels bolder, under the white fill.
        TTF_SetFontOutline(font->font, int(n));
        SDL_Surface* outline = TTF_RenderUTF8_Blended(font->font, text, SDL_Color{16, 16, 24, 255});
        TTF_SetFontOutline(font->font, 0);
        if (outline == nullptr)
            return fail(BRISEL_FAIL_SYSTEM, "MakeFontTex: " + std::string(TTF_GetError()));
        Image under = ToImage(outline);
        SDL_FreeSurface(outline);
        under.Compose(image, int(n), int(n));
        image = std::move(under);
    }
    image.translucent = true;
    out = std::move(image);
    return true;
}

}  // namespace

namespace brisel {

void ReleaseTex(BriselTex* tex) {
    Unregister(tex);
    ForgetTexture(tex);
    delete tex;
}

std::mutex& FontLock() {
    static std::mutex m;
    return m;
}

FontCore::~FontCore() {
    std::lock_guard<std::mutex> lock(FontLock());
    if (font != nullptr && TTF_WasInit()) TTF_CloseFont(font);
}

void ReleaseFont(BriselFont* font) {
    Unregister(font);
    delete font;  // the font itself closes when its last queued text is done with it
}

}  // namespace brisel

extern "C" {

void Flip(void) {
    BRISEL_ENTRY;
    RaiseNotProvided("Flip");
}

void SetZBuf(bool) {
    BRISEL_ENTRY;
    RaiseNotProvided("SetZBuf");
}

void Clear(double r, double g, double b) {
    BRISEL_ENTRY;
    RequireInit("Clear");
    HashCall('C', r, g, b);
    if (NothingShown(E())) return;
    if (E().gpu)
        E().gpuCanvas.Clear(r, g, b);
    else
        E().canvas.Clear(r, g, b);
}

void SetViewport(double x, double y, double w, double h) {
    BRISEL_ENTRY;
    RequireInit("SetViewport");
    HashCall('V', x, y, w, h);
    E().canvas.SetViewport(x, y, w, h);
    if (E().gpu) E().gpuCanvas.SetViewport(x, y, w, h);
}

void ResetViewport(void) {
    BRISEL_ENTRY;
    RequireInit("ResetViewport");
    HashCall('v');
    E().canvas.ResetViewport();
    if (E().gpu) E().gpuCanvas.ResetViewport();
}

void SetBlend(int64_t mode) {
    BRISEL_ENTRY;
    RequireInit("SetBlend");
    if (mode < 0 || mode > 2)
        Raise(BRISEL_FAIL_ARGUMENT,
              "SetBlend: unknown mode " + std::to_string(mode) + " (0 alpha, 1 additive, 2 none)");
    HashCall('B', mode);
    E().canvas.SetBlend(static_cast<BlendMode>(mode));
    E().gpuCanvas.SetBlend(static_cast<BlendMode>(mode));
}

void SetFilter(bool linear) {
    BRISEL_ENTRY;
    RequireInit("SetFilter");
    HashCall('F', linear);
    E().canvas.SetLinear(linear);
    E().gpuCanvas.SetLinear(linear);
}

void DrawRect(double x, double y, double w, double h, double r, double g, double b, double a) {
    BRISEL_ENTRY;
    RequireInit("DrawRect");
    TraceLine("rect %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g", x, y, w, h, r, g, b, a);
    HashCall('R', x, y, w, h, r, g, b, a);
    if (NothingShown(E())) return;  // minimised or fast-forwarding: nothing will be shown
    if (E().gpu)
        E().gpuCanvas.FillRect(x, y, w, h, r, g, b, a);
    else
        E().canvas.FillRect(x, y, w, h, r, g, b, a);
}

BriselTex* LoadTex(const char* path) {
    BRISEL_ENTRY;
    RequireInit("LoadTex");
    if (path == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "LoadTex: no file name");
    const uint64_t start = SDL_GetPerformanceCounter();
    BriselTex* tex = LoadTexture(path);
    if (E().config.debug)
        std::fprintf(
            stderr, "brisel: %s: %d x %d %s in %.1f ms\n", tex->file.c_str(), tex->width, tex->height,
            tex->decoding != nullptr ? "checked and queued" : "taken from the last scene",
            double(SDL_GetPerformanceCounter() - start) * 1000.0 / double(SDL_GetPerformanceFrequency()));
    return tex;
}

void DrawTex(BriselTex* tex, double sx, double sy, double sw, double sh, double dx, double dy, double dw,
             double dh, double r, double g, double b, double a) {
    BRISEL_ENTRY;
    RequireInit("DrawTex");
    LiveTex(tex, "DrawTex");
    TraceTex(tex, sx, sy, sw, sh, dx, dy, dw, dh, 0, 0, 0, r, g, b, a);
    HashText(tex->name);
    HashCall('T', sx, sy, sw, sh, dx, dy, dw, dh, r, g, b, a);
    if (NothingShown(E())) return;  // minimised or fast-forwarding: nothing will be shown
    const Image& picture = TexPicture(tex, sx, sy, sw, sh);
    if (E().gpu)
        E().gpuCanvas.DrawImage(picture, sx, sy, sw, sh, dx, dy, dw, dh, 0, 0, 0, r, g, b, a);
    else
        E().canvas.DrawImage(picture, sx, sy, sw, sh, dx, dy, dw, dh, 0, 0, 0, r, g, b, a);
}

void DrawTexRot(BriselTex* tex, double sx, double sy, double sw, double sh, double dx, double dy, double dw,
                double dh, double cx, double cy, double angle, double r, double g, double b, double a) {
    BRISEL_ENTRY;
    RequireInit("DrawTexRot");
    LiveTex(tex, "DrawTexRot");
    TraceTex(tex, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a);
    HashText(tex->name);
    HashCall('X', sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a);
    if (NothingShown(E())) return;  // minimised or fast-forwarding: nothing will be shown
    const Image& picture = TexPicture(tex, sx, sy, sw, sh);
    if (E().gpu)
        E().gpuCanvas.DrawImage(picture, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a);
    else
        E().canvas.DrawImage(picture, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, r, g, b, a);
}

double GetTexW(BriselTex* tex) {
    BRISEL_ENTRY;
    return TexWidth(LiveTex(tex, "GetTexW"));
}

double GetTexH(BriselTex* tex) {
    BRISEL_ENTRY;
    return TexHeight(LiveTex(tex, "GetTexH"));
}

BriselFont* LoadFont(const char* path) {
    BRISEL_ENTRY;
    RequireInit("LoadFont");
    if (path == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "LoadFont: no file name");
    std::string file = DataPath(path);
    auto font = std::make_shared<FontCore>();
    font->data = ReadWholeFile(file);
    std::lock_guard<std::mutex> lock(FontLock());
    font->name = path;
    font->size = 16;
    SDL_RWops* rw = SDL_RWFromConstMem(font->data.data(), int(font->data.size()));
    font->font = rw != nullptr ? TTF_OpenFontRW(rw, 1, font->size) : nullptr;
    if (font->font == nullptr)
        Raise(BRISEL_FAIL_LOAD, file + ": not a usable TrueType font (" + TTF_GetError() + ")");
    // FreeType reads glyphs lazily: render a few now, so a damaged file fails here, where
    // the message can name it, and not in the middle of a scene.
    // A damaged font may claim glyphs hundreds of times their size, and every text drawn with
    // it would then take megapixels and seconds to render: measured first, rendered after.
    int probeW = 0, probeH = 0;
    if (TTF_SizeUTF8(font->font, "Ag0", &probeW, &probeH) == 0 && !TextFits(probeW, probeH, font->size, 3)) {
        TTF_CloseFont(font->font);
        font->font = nullptr;
        Raise(BRISEL_FAIL_LOAD, file + ": the font is damaged (its glyphs are far larger than their size)");
    }
    SDL_Surface* probe = TTF_RenderUTF8_Blended(font->font, "Ag0", SDL_Color{255, 255, 255, 255});
    if (probe == nullptr) {
        std::string why = TTF_GetError();
        TTF_CloseFont(font->font);
        font->font = nullptr;
        Raise(BRISEL_FAIL_LOAD, file + ": the font's glyphs cannot be rendered (" + why + ")");
    }
    // Drawn glyphs may still reach beyond what their metrics say.
    const bool huge = !TextFits(probe->w, probe->h, font->size, 3);
    SDL_FreeSurface(probe);
    if (huge) {
        TTF_CloseFont(font->font);
        font->font = nullptr;
        Raise(BRISEL_FAIL_LOAD, file + ": the font is damaged (its glyphs are far larger than their size)");
    }
    auto* handle = new BriselFont{std::move(font)};
    Register(handle, Kind::Font);
    return handle;
}

BriselTex* MakeFontTex(BriselFont* font, int64_t size, const char* text, int64_t n) {
    BRISEL_ENTRY;
    RequireInit("MakeFontTex");
    LiveFont(font, "MakeFontTex");
    if (text == nullptr) Raise(BRISEL_FAIL_ARGUMENT, "MakeFontTex: no text");
    if (size < 1 || size > 2048)
        Raise(BRISEL_FAIL_ARGUMENT,
              "MakeFontTex: text size " + std::to_string(size) + " out of range 1..2048");
    if (n < 0 || n > size)
        Raise(BRISEL_FAIL_ARGUMENT, "MakeFontTex: outline " + std::to_string(n) + " out of range 0..size");
    // Rendering (two passes of FreeType, the outline costly) happens on the worker: a scene
    // that makes dozens of lines of text at its start shows its first frame without waiting
    // for them. The texture's size and picture are there once rendered.
    // In a large window on the GPU path the text is rasterised at the size it is shown, and
    // stands for the texture of the text at its own size, which the game sees.
    std::shared_ptr<FontCore> core = font->core;
    std::string line = text;
    const double scale = E().gpu ? E().gpuCanvas.TextScale() : 1.0;
    return QueueTexture(
        "text:" + line, [core, line, size, n, scale](Image& out, int& texWidth, int& texHeight,
                                                     uint32_t& code, std::string& message) {
            if (!RenderText(*core, size, line, n, out, code, message)) return false;
            const int64_t finerSize = std::llround(double(size) * scale);
            Image finer;
            if (finerSize <= size ||
                !RenderText(*core, finerSize, line, std::llround(double(n) * scale), finer, code, message))
                return true;  // a text too long to render finer is drawn as it is
            texWidth = out.width;
            texHeight = out.height;
            out = std::move(finer);
            return true;
        });
}

}  // extern "C"
