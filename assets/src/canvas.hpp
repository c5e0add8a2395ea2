// Drawing helpers shared by every picture the generator makes: an RGBA canvas on cairo,
// colours, fonts loaded straight from their files, outlined shapes and a PNG writer whose
// bytes depend on the pixels only (no time stamps, fixed compression settings).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gx {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 1;
};

// 0xRRGGBB with an alpha.
Rgba Hex(uint32_t rgb, double a = 1.0);
// Linear blend of two colours, t in 0..1.
Rgba Mix(const Rgba& p, const Rgba& q, double t);
// The same colour, lighter (t > 0, toward white) or darker (t < 0, toward black).
Rgba Shade(const Rgba& c, double t);

// The outline colour of everything the player touches.
inline const Rgba kInk = {0.07, 0.05, 0.12, 1.0};

// An ARGB32 image with its cairo context. Moves, never copies. Its size is given in the units
// its pictures are drawn in; while a ScaledCanvases lives on the thread, the image holds that
// many pixels a unit (a sharper set of the same pictures), and width() and height() say so.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(Canvas&& other) noexcept;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    Canvas& operator=(Canvas&&) = delete;

    cairo_t* cr() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }
    int width() const { return width_; }  // pixels
    int height() const { return height_; }

    // Writes the image as PNG. Throws std::runtime_error naming the file on failure. With a
    // texture size, the file says it stands for a texture of that size (see WritePng below).
    void WritePng(const std::string& path, int texWidth = 0, int texHeight = 0) const;

private:
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Every Canvas made on this thread while it lives is drawn `scale` times finer (vector shapes
// and text scale with it; scales do not nest).
class ScaledCanvases {
public:
    explicit ScaledCanvases(int scale);
    ~ScaledCanvases();
    ScaledCanvases(const ScaledCanvases&) = delete;
    ScaledCanvases& operator=(const ScaledCanvases&) = delete;
};

// Writes a premultiplied ARGB32 cairo surface as an 8-bit RGBA PNG. A picture stored smaller
// than the texture the game draws it from gets a `vqSz` chunk (private, ancillary: other PNG
// readers skip it) with the texture's width and height, big-endian, before the image data;
// the engine then maps the game's source rectangles onto the picture. A picture stored finer
// than its texture (twice, for large windows) says the same.
void WritePng(cairo_surface_t* surface, const std::string& path, int texWidth = 0, int texHeight = 0);
// Reads a PNG (whatever its file name) into an ARGB32 surface. Throws naming the file.
cairo_surface_t* ReadPng(const std::string& path);

void SetColor(cairo_t* cr, const Rgba& c);
// Fills the current path, then strokes it with the outline colour (path is consumed).
void FillAndOutline(cairo_t* cr, const Rgba& fill, double outline, const Rgba& ink = kInk);
// A rounded rectangle path.
void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r);
// A vertical linear gradient from top colour to bottom colour, set as source.
void VerticalGradient(cairo_t* cr, double y0, const Rgba& top, double y1, const Rgba& bottom);

// A font face loaded from a TrueType file through FreeType. Owned by this object.
class FontFace {
public:
    explicit FontFace(const std::string& path);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;
    cairo_font_face_t* face() const { return face_; }
    // Selects this face on cr with no hinting, so glyphs come out the same everywhere.
    void Use(cairo_t* cr, double size) const;
    void Use(cairo_t* cr, double sizeX, double sizeY) const;

private:
    void* library_ = nullptr;
    void* ftFace_ = nullptr;
    cairo_font_face_t* face_ = nullptr;
};

// Where the generator finds the Debian fonts it draws text with.
struct FontFiles {
    std::string sans;      // DejaVuSans.ttf (copied as font.ttf)
    std::string sansBold;  // DejaVuSans-Bold.ttf
    std::string sansBoldOblique;
    std::string monoBold;  // DejaVuSansMono-Bold.ttf
};

// Deterministic pseudo-random numbers (xorshift64*), so every run draws the same picture.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint64_t Next();
    double Uniform();  // 0 <= x < 1
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

private:
    uint64_t state_;
};

// A smooth function of x that repeats exactly every `period` (a sum of whole-period sines),
// used for ridges and shorelines that must join when tiles are laid side by side.
class PeriodicNoise {
public:
    PeriodicNoise(uint64_t seed, double period, int lowestHarmonic, int highestHarmonic, double falloff);
    double operator()(double x) const;  // roughly -1..1

private:
    struct Term {
        double k, amp, phase;
    };
    std::vector<Term> terms_;
    double period_;
};

constexpr double kPi = 3.14159265358979323846;

}  // namespace gx
