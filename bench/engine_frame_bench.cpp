// engine_frame_bench -- what a frame costs in the real engine library, headless.
//
// Measures, in one run and under SDL's dummy drivers with pacing off:
//   - baseline: a frame that only clears and presents;
//   - typical: a game frame of ~58 textured draws covering the 1600 x 900 screen about three
//     times (far scenery and its reflection, a translucent lake, ground and roof strips, blocks,
//     a turned ring, sprites, smog puffs, a speed banner), camera moving every frame;
//   - the same scene drawn into the rasteriser alone (no present), to split the cost;
//   - the naive path: the same draws through SDL's own software renderer into a 1600 x 900
//     surface (nearest sampling, as the engine's default; alpha modulation; SDL_RenderCopy, or
//     SDL_RenderCopyEx where a draw turns or flips), no present: the rasteriser's speed as a
//     ratio against it;
//   - a title frame in the rasteriser alone: the same scrolling backdrop under a logo mostly
//     clear, four translucent buttons, 40 glyphs from a font sheet and dim strips, as a ratio
//     against the typical frame (the title should cost no more than play);
//   - Init to the first shown frame, with the scene's textures loaded on the way;
//   - peak resident memory.
// With DISPLAY set (an X server: Xvfb with Mesa's llvmpipe will do), also the typical frame in a
// window of 1600 x 900 and of 3840 x 2160 (the screen must have room for it and a title bar:
// Xvfb -screen 0 3840x2300x24), drawn by the rasteriser and on the
// GPU path: CPU per frame of the main thread, and of the process's other threads apart (there
// the GL driver's own threads, llvmpipe's standing in for a GPU), from /proc/self/task.
// The textures are generated here, with the sizes the game uses; none of the game's assets.
#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif
#include <time.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

#include <SDL.h>

#include "canvas.hpp"
#include "engine_support.hpp"

using namespace engine_test;
using Clock = std::chrono::steady_clock;

namespace {

uint32_t Argb(int a, int r, int g, int b) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// A picture with some structure, so sampling is not a memset in disguise. alpha(x, y) gives
// the coverage: 255 everywhere makes an opaque texture.
template <class AlphaFn>
Picture Make(int w, int h, int hue, AlphaFn alpha) {
    Picture p;
    p.width = w;
    p.height = h;
    p.argb.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int r = (hue + x / 4) & 255, g = (hue * 3 + y / 2) & 255, b = (x ^ y) & 255;
            p.argb[size_t(y) * w + x] = Argb(alpha(x, y), r, g, b);
        }
    return p;
}

struct Scene {
    BriselTex *far, *lake, *ground, *roof, *block, *ring, *sprite, *smog, *banner, *logo, *font;
};

void WriteTextures(const Sandbox& box) {
    auto opaque = [](int, int) { return 255; };
    WritePng(box.Data("far.vqtex"), Make(2048, 512, 40, opaque));
    WritePng(box.Data("lake.vqtex"), Make(2048, 512, 90, [](int, int y) { return 120 + y / 8; }));
    WritePng(box.Data("ground.vqtex"), Make(1024, 128, 10, [](int, int y) { return y < 20 ? 0 : 255; }));
    WritePng(box.Data("roof.vqtex"), Make(1024, 128, 200, [](int, int y) { return y > 108 ? 0 : 255; }));
    WritePng(box.Data("block.vqtex"), Make(256, 512, 120, opaque));
    WritePng(box.Data("ring.vqtex"), Make(512, 512, 60, [](int x, int y) {
                 double d = std::hypot(x - 255.5, y - 255.5);
                 return (d > 200 && d < 250) ? 255 : 0;
             }));
    WritePng(box.Data("sprite.vqtex"), Make(256, 256, 180, [](int x, int y) {
                 return std::hypot(x - 127.5, y - 127.5) < 110 ? 255 : 0;
             }));
    WritePng(box.Data("smog.vqtex"), Make(128, 128, 240, [](int x, int y) {
                 double d = std::hypot(x - 63.5, y - 63.5);
                 return d < 64 ? int(200 * (1 - d / 64)) : 0;
             }));
    WritePng(box.Data("banner.vqtex"),
             Make(1024, 128, 150, [](int, int y) { return y < 16 || y > 112 ? 0 : 230; }));
    WritePng(box.Data("logo.vqtex"), Make(1600, 400, 30, [](int x, int y) {
                 return x < 1560 && y < 380 && (x / 40 + y / 50) % 2 ? 255 : 0;
             }));
    WritePng(box.Data("font.vqtex"), Make(1024, 768, 0, [](int x, int y) {
                 return (x % 64) > 8 && (x % 64) < 56 && (y % 128) > 12 && (x + y) % 7 < 3 ? 255 : 0;
             }));
}

Scene LoadScene(Api& e) {
    return Scene{e.LoadTex("far.vqtex"),    e.LoadTex("lake.vqtex"),  e.LoadTex("ground.vqtex"),
                 e.LoadTex("roof.vqtex"),   e.LoadTex("block.vqtex"), e.LoadTex("ring.vqtex"),
                 e.LoadTex("sprite.vqtex"), e.LoadTex("smog.vqtex"),  e.LoadTex("banner.vqtex"),
                 e.LoadTex("logo.vqtex"),   e.LoadTex("font.vqtex")};
}

// Draw calls of one game frame, as the backdrop, blocks, player, smog and banner make them.
// draw(tex, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, alpha)
template <class Draw>
int DrawScene(const Scene& s, double camX, int frame, Draw draw) {
    int calls = 0;
    auto tile = [&](BriselTex* t, double sh, double sy, double cxw, double cy, double hw, double hh,
                    double alpha) {
        draw(t, 0, sy, 2048 * (t == s.ground || t == s.roof ? 0.5 : 1), sh, cxw - hw - camX, cy - hh + 900,
             2 * hw, 2 * hh, 0, 0, 0, alpha);
        ++calls;
    };
    double distant = camX - 0.1 * std::fmod(camX, 2 * 1100 / 0.1);
    double lake = camX - 0.3 * std::fmod(camX, 2 * 2200 / 0.3);
    double ground = camX - std::fmod(camX, 2000);
    for (int k = -1; k <= 2; ++k) tile(s.far, 512, 0, distant + k * 2200, -600, 1100, 300, 1);
    for (int k = -1; k <= 2; ++k) tile(s.far, -512, 512, distant + k * 2200, 0, 1100, 300, 1);
    for (int k = -1; k <= 2; ++k) tile(s.lake, 512, 0, lake + k * 4400, 0, 2200, 300, 1);
    for (int k = -1; k <= 2; ++k) tile(s.ground, 128, 0, ground + k * 2000, -25, 1000, 50, 1);
    for (int k = -2; k <= 2; ++k) tile(s.roof, 128, 0, ground + k * 2000, -900, 1000, 50, 1);
    for (int i = 0; i < 10; ++i) {  // blocks hanging from the roof and standing on the ground
        double x = std::fmod(i * 410.0 - camX * 1.0 + 8000, 4100) - 300;
        double h = 180 + (i * 97) % 220;
        draw(s.block, 0, 0, 256, 512, x, i % 2 ? 50 : 825 - h, 160, h, 0, 0, 0, 1);
        ++calls;
    }
    draw(s.ring, 0, 0, 512, 512, 600, 250, 400, 400, 200, 200, frame * 0.05, 0.8);  // aim ring
    draw(s.sprite, 0, 0, 256, 256, 700, 350, 200, 200, 100, 100, 0.2, 1);           // character
    draw(s.sprite, 0, 0, 256, 256, 980, 120, 200, 200, 0, 0, 0, 1);                 // hook
    draw(s.sprite, 0, 0, 256, 256, 300, 600, 200, 200, 0, 0, 0, 1);
    draw(s.sprite, 0, 0, 256, 256, 1250, 500, 200, 200, 0, 0, 0, 1);
    draw(s.sprite, 0, 0, 256, 256, 800, 260, 4, 420, 2, 0, -0.7, 1);  // the wire
    calls += 6;
    for (int i = 0; i < 20; ++i) {  // smog puffs
        draw(s.smog, 0, 0, 128, 128, 650 - i * 18.0, 420 + (i % 5) * 9.0, 60, 60, 30, 30, i * 0.3, 0.6);
        ++calls;
    }
    draw(s.banner, 0, 0, 1024, 128, 32, 40, 1536, 192, 0, 0, 0, 1);
    return calls + 1;
}

// Draw and rectangle calls of a title frame: the backdrop, the logo (1600 x 400, drawn at its
// own size), the menu's buttons with their captions, and the dim strips under the lines of text.
// rect(x, y, w, h, r, g, b, a)
template <class Draw, class Rect>
void DrawTitle(const Scene& s, double camX, Draw draw, Rect rect) {
    auto layer = [&](BriselTex* t, double sy, double sh, double x, double y, double w, double h) {
        for (int k = -1; k <= 2; ++k) draw(t, 0, sy, 2048, sh, x + k * w - camX, y, w, h, 0, 0, 0, 1);
    };
    layer(s.far, 0, 512, -0.1 * camX, 0, 2200, 600);
    layer(s.far, 512, -512, -0.1 * camX, 600, 2200, 600);
    layer(s.lake, 0, 512, -0.3 * camX, 600, 4400, 600);
    for (int k = -1; k <= 2; ++k)
        draw(s.ground, 0, 0, 1024, 128, k * 2000 - camX, 825, 2000, 100, 0, 0, 0, 1);
    draw(s.logo, 0, 0, 1600, 400, 30, 20, 1600, 400, 0, 0, 0, 1);
    for (int b = 0; b < 4; ++b) {
        const double y = 380 + 120 * b;
        rect(400, y, 800, 10, 0, 0, 1, 0.5);
        rect(400, y, 10, 100, 0, 0, 1, 0.5);
        rect(400, y + 90, 800, 10, 0, 0, 1, 0.5);
        rect(1190, y, 10, 100, 0, 0, 1, 0.5);
        rect(410, y + 10, 780, 80, 0, 0, 1, 0.5);
        for (int i = 0; i < 10; ++i)
            draw(s.font, 64 * (i % 16), 128 * (i % 6), 64, 128, 600 + 40 * i, y + 10, 40, 80, 0, 0, 0, 1);
    }
    rect(1215, 394, 308, 72, 0, 0, 0, 0.45);
    rect(18, 858, 889, 36, 0, 0, 0, 0.45);
}

struct Stats {
    double mean, median, p95, cpu;  // wall clock, and mean CPU time of the thread
};

Stats Summarise(std::vector<double> ms, double cpuTotal) {
    std::sort(ms.begin(), ms.end());
    double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / double(ms.size());
    return Stats{mean, ms[ms.size() / 2], ms[ms.size() * 95 / 100], cpuTotal / double(ms.size())};
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time of this thread: what a frame costs even when other programs share the cores.
double CpuMs() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1.0e6;
}

void Print(const char* name, const Stats& s, const Stats& base) {
    std::printf("%-32s median %6.3f ms  p95 %6.3f ms  cpu %6.3f ms  (%.1fx baseline median, %.1fx cpu)\n",
                name, s.median, s.p95, s.cpu, s.median / base.median, s.cpu / base.cpu);
}

#if !defined(_WIN32)  // no windows to measure under wine, and no /proc
// CPU time of every thread of the process but the calling one, from the scheduler's figures.
double OtherThreadsMs() {
    const std::string self = std::to_string(gettid());
    double ms = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self) continue;
        std::ifstream in(task.path() / "schedstat");
        double ns = 0;
        if (in >> ns) ms += ns / 1.0e6;
    }
    return ms;
}

// The typical frame in a window on the path BRISEL_RENDERER names: CPU per frame of the main
// thread and of the others, and the wall clock.
void WindowFrames(Api& e, const char* renderer, int width, int height, int frames) {
    setenv("BRISEL_RENDERER", renderer, 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    e.SetWindowSize(width, height);
    InitEngine();
    Scene scene = LoadScene(e);
    auto draw = [&](BriselTex* t, double sx, double sy, double sw, double sh, double dx, double dy, double dw,
                    double dh, double cx, double cy, double angle, double alpha) {
        e.DrawTexRot(t, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, 1, 1, 1, alpha);
    };
    for (int i = 0; i < 20; ++i) {  // textures made, copies kept
        DrawScene(scene, i * 7.5, i, draw);
        e.Act();
    }
    int64_t w = 0, h = 0;
    e.GetWindowSize(&w, &h);
    const double main0 = CpuMs(), others0 = OtherThreadsMs();
    Clock::time_point a = Clock::now();
    for (int i = 0; i < frames; ++i) {
        DrawScene(scene, i * 7.5, i, draw);
        e.Act();
    }
    const double wall = Ms(Clock::now() - a);
    const double main = (CpuMs() - main0) / frames, others = (OtherThreadsMs() - others0) / frames;
    e.Free();
    std::printf("  %-9s %-26s main thread %6.3f ms  other threads %6.3f ms  wall %6.3f ms a frame\n",
                renderer, (std::to_string(w) + " x " + std::to_string(h) + " window").c_str(), main, others,
                wall / frames);
    unsetenv("BRISEL_RENDERER");
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::max(20, std::atoi(argv[1])) : 300;
    Sandbox box;
    WriteTextures(box);
    Api& e = Engine();

    // Start-up: Init, the scene's textures, one drawn frame shown.
    Clock::time_point t0 = Clock::now();
    InitEngine();
    Clock::time_point tInit = Clock::now();
    Scene scene = LoadScene(e);
    auto engineDraw = [&](BriselTex* t, double sx, double sy, double sw, double sh, double dx, double dy,
                          double dw, double dh, double cx, double cy, double angle, double alpha) {
        if (angle == 0 && cx == 0 && cy == 0)
            e.DrawTex(t, sx, sy, sw, sh, dx, dy, dw, dh, 1, 1, 1, alpha);
        else
            e.DrawTexRot(t, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, 1, 1, 1, alpha);
    };
    int calls = DrawScene(scene, 0, 0, engineDraw);
    e.Act();
    Clock::time_point tFirst = Clock::now();

    std::vector<double> baseline, typical, raster;
    double cpuBase = CpuMs();
    for (int i = 0; i < frames; ++i) {
        Clock::time_point a = Clock::now();
        e.Clear(0, 0, 0);
        e.Act();
        baseline.push_back(Ms(Clock::now() - a));
    }
    cpuBase = CpuMs() - cpuBase;
    double cpuTypical = CpuMs();
    for (int i = 0; i < frames; ++i) {
        Clock::time_point a = Clock::now();
        DrawScene(scene, i * 7.5, i, engineDraw);
        e.Act();
        typical.push_back(Ms(Clock::now() - a));
    }
    cpuTypical = CpuMs() - cpuTypical;
    e.Free();
    double cpuRaster = 0, cpuTitle = 0;
    std::vector<double> title;

    // The rasteriser alone, with the same pictures decoded by the same rules.
    {
        std::vector<brisel::Image> images;
        for (const char* name :
             {"far", "lake", "ground", "roof", "block", "ring", "sprite", "smog", "banner", "logo", "font"}) {
            Picture p = ReadPng(box.Data(std::string(name) + ".vqtex"));
            images.push_back(brisel::Image::FromStraight(p.width, p.height, p.argb.data(), p.width));
        }
        Scene ids{};
        BriselTex** slots = reinterpret_cast<BriselTex**>(&ids);
        for (size_t i = 0; i < images.size(); ++i) slots[i] = reinterpret_cast<BriselTex*>(i + 1);
        brisel::Canvas canvas;
        auto canvasDraw = [&](BriselTex* t, double sx, double sy, double sw, double sh, double dx, double dy,
                              double dw, double dh, double cx, double cy, double angle, double alpha) {
            const brisel::Image& img = images[reinterpret_cast<size_t>(t) - 1];
            canvas.DrawImage(img, sx, sy, sw, sh, dx, dy, dw, dh, cx, cy, angle, 1, 1, 1, alpha);
        };
        cpuRaster = CpuMs();
        for (int i = 0; i < frames; ++i) {
            Clock::time_point a = Clock::now();
            DrawScene(ids, i * 7.5, i, canvasDraw);
            canvas.EndFrame();
            raster.push_back(Ms(Clock::now() - a));
        }
        cpuRaster = CpuMs() - cpuRaster;
        auto canvasRect = [&](double x, double y, double w, double h, double r, double g, double b,
                              double a) { canvas.FillRect(x, y, w, h, r, g, b, a); };
        cpuTitle = CpuMs();
        for (int i = 0; i < frames; ++i) {
            Clock::time_point a = Clock::now();
            DrawTitle(ids, i * 7.5, canvasDraw, canvasRect);
            canvas.EndFrame();
            title.push_back(Ms(Clock::now() - a));
        }
        cpuTitle = CpuMs() - cpuTitle;
    }

    // The naive path: SDL's software renderer drawing the same draws into a surface.
    std::vector<double> naive;
    double cpuNaive = 0;
    {
        SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(
            0, brisel::Canvas::kWidth, brisel::Canvas::kHeight, 32, SDL_PIXELFORMAT_RGB888);
        SDL_Renderer* renderer = target != nullptr ? SDL_CreateSoftwareRenderer(target) : nullptr;
        if (renderer == nullptr) {
            std::fprintf(stderr, "engine_frame_bench: SDL's software renderer: %s\n", SDL_GetError());
            return 1;
        }
        std::vector<SDL_Texture*> textures;
        for (const char* name :
             {"far", "lake", "ground", "roof", "block", "ring", "sprite", "smog", "banner", "logo", "font"}) {
            Picture p = ReadPng(box.Data(std::string(name) + ".vqtex"));
            SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                               p.width, p.height);
            SDL_UpdateTexture(t, nullptr, p.argb.data(), p.width * 4);
            SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
            textures.push_back(t);
        }
        Scene ids{};
        BriselTex** slots = reinterpret_cast<BriselTex**>(&ids);
        for (size_t i = 0; i < textures.size(); ++i) slots[i] = reinterpret_cast<BriselTex*>(i + 1);
        auto sdlDraw = [&](BriselTex* t, double sx, double sy, double sw, double sh, double dx, double dy,
                           double dw, double dh, double cx, double cy, double angle, double alpha) {
            SDL_Texture* tex = textures[reinterpret_cast<size_t>(t) - 1];
            const bool flip = sh < 0;
            SDL_Rect src{int(sx), int(flip ? sy + sh : sy), int(sw), int(flip ? -sh : sh)};
            SDL_FRect dst{float(dx), float(dy), float(dw), float(dh)};
            SDL_FPoint centre{float(cx), float(cy)};
            SDL_SetTextureAlphaMod(tex, Uint8(alpha * 255 + 0.5));
            if (angle == 0 && !flip)  // SDL's plain scaled copy where nothing turns or flips
                SDL_RenderCopyF(renderer, tex, &src, &dst);
            else
                SDL_RenderCopyExF(renderer, tex, &src, &dst, angle * 180 / M_PI, &centre,
                                  flip ? SDL_FLIP_VERTICAL : SDL_FLIP_NONE);
        };
        cpuNaive = CpuMs();
        for (int i = 0; i < frames; ++i) {
            Clock::time_point a = Clock::now();
            DrawScene(ids, i * 7.5, i, sdlDraw);
            SDL_RenderFlush(renderer);
            naive.push_back(Ms(Clock::now() - a));
        }
        cpuNaive = CpuMs() - cpuNaive;
        for (SDL_Texture* t : textures) SDL_DestroyTexture(t);
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(target);
    }

    Stats base = Summarise(baseline, cpuBase), full = Summarise(typical, cpuTypical),
          draw = Summarise(raster, cpuRaster);
    std::printf("engine frame benchmark: %d frames each, %d draw calls in the typical frame\n", frames,
                calls);
    Print("baseline (clear + present)", base, base);
    Print("typical frame (draws + present)", full, base);
    Print("typical draws, rasteriser alone", draw, base);
    Stats sdl = Summarise(naive, cpuNaive);
    Print("typical draws, SDL's software", sdl, base);
    std::printf("%-34s %7.2fx (median), %.2fx (cpu)\n", "rasteriser against SDL's software",
                sdl.median / draw.median, sdl.cpu / draw.cpu);
    Stats titleDraw = Summarise(title, cpuTitle);
    Print("title draws, rasteriser alone", titleDraw, base);
    std::printf("%-34s %7.2fx (median), %.2fx (cpu)\n", "title against typical, rasteriser",
                titleDraw.median / draw.median, titleDraw.cpu / draw.cpu);
    std::printf("%-34s %7.1f ms (Init alone %.1f ms)\n", "Init to first shown frame", Ms(tFirst - t0),
                Ms(tInit - t0));
#if !defined(_WIN32)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-34s %7.1f MiB\n", "peak resident memory", usage.ru_maxrss / 1024.0);

    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != '\0') {
        std::printf("typical frame in a window on DISPLAY=%s, %d frames each:\n", display, frames);
        for (int scale : {1, 2})  // 1600 x 900, 3840 x 2160
            for (const char* renderer : {"software", "gpu"})
                WindowFrames(e, renderer, scale == 1 ? 1600 : 3840, scale == 1 ? 900 : 2160, frames);
    }
#endif
    return 0;
}
