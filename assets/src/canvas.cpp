#include "canvas.hpp"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace gx {

Rgba Hex(uint32_t rgb, double a) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a};
}

Rgba Mix(const Rgba& p, const Rgba& q, double t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}

Rgba Shade(const Rgba& c, double t) {
    Rgba target = t > 0 ? Rgba{1, 1, 1, c.a} : Rgba{0, 0, 0, c.a};
    return Mix(c, target, std::fabs(t));
}

namespace {
thread_local int t_scale = 1;  // ScaledCanvases
}  // namespace

ScaledCanvases::ScaledCanvases(int scale) { t_scale = scale; }
ScaledCanvases::~ScaledCanvases() { t_scale = 1; }

Canvas::Canvas(int width, int height) : width_(width * t_scale), height_(height * t_scale) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot create a " + std::to_string(width_) + " x " +
                                 std::to_string(height_) + " image (out of memory?)");
    cr_ = cairo_create(surface_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GOOD);
    cairo_scale(cr_, t_scale, t_scale);
}

Canvas::Canvas(Canvas&& other) noexcept
    : surface_(other.surface_), cr_(other.cr_), width_(other.width_), height_(other.height_) {
    other.surface_ = nullptr;
    other.cr_ = nullptr;
}

Canvas::~Canvas() {
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

void Canvas::WritePng(const std::string& path, int texWidth, int texHeight) const {
    gx::WritePng(surface_, path, texWidth, texHeight);
}

namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

}  // namespace

void WritePng(cairo_surface_t* surface, const std::string& path, int texWidth, int texHeight) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);

    // Cairo keeps premultiplied native-endian ARGB; PNG wants straight RGBA bytes.
    std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        unsigned char* out = rgba.data() + static_cast<size_t>(y) * w * 4;
        for (int x = 0; x < w; ++x) {
            uint32_t p = row[x];
            unsigned a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a != 0 && a != 255) {
                r = (r * 255 + a / 2) / a;
                g = (g * 255 + a / 2) / a;
                b = (b * 255 + a / 2) / a;
            }
            out[4 * x + 0] = static_cast<unsigned char>(r > 255 ? 255 : r);
            out[4 * x + 1] = static_cast<unsigned char>(g > 255 ? 255 : g);
            out[4 * x + 2] = static_cast<unsigned char>(b > 255 ? 255 : b);
            out[4 * x + 3] = static_cast<unsigned char>(a);
        }
    }

    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) throw std::runtime_error(path + ": cannot open for writing");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error(path + ": cannot start the PNG encoder");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error(path + ": PNG encoding failed (disk full?)");
    }
    png_init_io(png, file.get());
    // Fixed settings: the same pixels always give the same bytes. Level 6 with the
    // paeth filter keeps the big sheets small without costing much time.
    png_set_compression_level(png, 6);
    png_set_filter(png, 0, PNG_FILTER_PAETH);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (texWidth > 0 && texHeight > 0) {
        const png_byte size[8] = {png_byte(texWidth >> 24),  png_byte(texWidth >> 16),
                                  png_byte(texWidth >> 8),   png_byte(texWidth),
                                  png_byte(texHeight >> 24), png_byte(texHeight >> 16),
                                  png_byte(texHeight >> 8),  png_byte(texHeight)};
        png_write_chunk(png, reinterpret_cast<png_const_bytep>("vqSz"), size, sizeof size);
    }
    for (int y = 0; y < h; ++y) png_write_row(png, rgba.data() + static_cast<size_t>(y) * w * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get()))
        throw std::runtime_error(path + ": write failed");
}

cairo_surface_t* ReadPng(const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    cairo_status_t st = cairo_surface_status(s);
    if (st != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        throw std::runtime_error(path + ": not a readable PNG image (" + cairo_status_to_string(st) + ")");
    }
    return s;
}

void SetColor(cairo_t* cr, const Rgba& c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void FillAndOutline(cairo_t* cr, const Rgba& fill, double outline, const Rgba& ink) {
    SetColor(cr, fill);
    cairo_fill_preserve(cr);
    SetColor(cr, ink);
    cairo_set_line_width(cr, outline);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void VerticalGradient(cairo_t* cr, double y0, const Rgba& top, double y1, const Rgba& bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

FontFace::FontFace(const std::string& path) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) throw std::runtime_error("FreeType cannot start");
    library_ = lib;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) {
        FT_Done_FreeType(lib);
        throw std::runtime_error(path + ": cannot load this font (missing or not a TrueType file)");
    }
    ftFace_ = face;
    face_ = cairo_ft_font_face_create_for_ft_face(face, 0);
}

FontFace::~FontFace() {
    // Cairo may keep the face in its caches; it must be gone before FreeType lets go.
    cairo_font_face_destroy(face_);
    FT_Done_Face(static_cast<FT_Face>(ftFace_));
    FT_Done_FreeType(static_cast<FT_Library>(library_));
}

void FontFace::Use(cairo_t* cr, double size) const { Use(cr, size, size); }

void FontFace::Use(cairo_t* cr, double sizeX, double sizeY) const {
    cairo_set_font_face(cr, face_);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, sizeX, sizeY);
    cairo_set_font_matrix(cr, &m);
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

uint64_t Random::Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
}

double Random::Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

PeriodicNoise::PeriodicNoise(uint64_t seed, double period, int lowestHarmonic, int highestHarmonic,
                             double falloff)
    : period_(period) {
    Random rnd(seed);
    double total = 0;
    for (int k = lowestHarmonic; k <= highestHarmonic; ++k) {
        double amp = std::pow(static_cast<double>(k) / lowestHarmonic, -falloff) * rnd.Range(0.6, 1.0);
        terms_.push_back({static_cast<double>(k), amp, rnd.Range(0, 2 * kPi)});
        total += amp;
    }
    for (Term& t : terms_) t.amp /= total * 0.6;
}

double PeriodicNoise::operator()(double x) const {
    double v = 0;
    for (const Term& t : terms_) v += t.amp * std::sin(2 * kPi * t.k * x / period_ + t.phase);
    return v;
}

}  // namespace gx
