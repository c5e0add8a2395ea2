// The contact sheet: every cell the game cuts from every sheet, labelled, over a checker
// board that shows transparency; and a stage preview put together the way the game lays
// out its layers, to check that feet meet the ground and bodies meet blocks and roof.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>

#include "layout.hpp"
#include "outputs.hpp"
#include "pictures.hpp"

namespace gx {

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// A picture stored at its drawn size, stretched back to the texels the cells are given in.
Surface AtTexelSize(cairo_surface_t* stored, int width, int height) {
    Surface out(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_t* cr = cairo_create(out.get());
    cairo_scale(cr, double(width) / cairo_image_surface_get_width(stored),
                double(height) / cairo_image_surface_get_height(stored));
    cairo_set_source_surface(cr, stored, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return out;
}

// Draws the source rectangle (sx, sy, sw, sh) into (dx, dy, dw, dh), rotated by angle
// about the destination's centre, as the engine does. A negative sh reads upside down.
void Blit(cairo_t* cr, cairo_surface_t* tex, double sx, double sy, double sw, double sh, double dx, double dy,
          double dw, double dh, double angle = 0, double alpha = 1) {
    cairo_save(cr);
    cairo_translate(cr, dx + dw / 2, dy + dh / 2);
    cairo_rotate(cr, angle);
    cairo_translate(cr, -dw / 2, -dh / 2);
    cairo_rectangle(cr, 0, 0, dw, dh);
    // A hard-edged clip, so tiles laid edge to edge leave no hairline between them.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_clip(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_scale(cr, dw / sw, dh / sh);
    cairo_set_source_surface(cr, tex, -sx, -sy);
    // Like the engine's renderer, clamp at the texture's edge instead of fading out.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

void Checker(cairo_t* cr, double x, double y, double w, double h) {
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0.62, 0.62, 0.66);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.78, 0.78, 0.82);
    for (double yy = y; yy < y + h; yy += 8)
        for (double xx = x + (static_cast<int>((yy - y) / 8) % 2) * 8; xx < x + w; xx += 16)
            cairo_rectangle(cr, xx, yy, 8, 8);
    cairo_fill(cr);
    cairo_restore(cr);
}

void Label(cairo_t* cr, const FontFace& face, const std::string& text, double x, double y, double size,
           const Rgba& col = Hex(0xeeeeee)) {
    face.Use(cr, size);
    cairo_move_to(cr, x, y);
    SetColor(cr, col);
    cairo_show_text(cr, text.c_str());
}

// The game's screen at camera (0, -900), scaled: world (x, y) -> screen (x, y + 900).
void StagePreview(cairo_t* cr, std::map<std::string, Surface>& tex, double ox, double oy, double scale) {
    cairo_save(cr);
    cairo_translate(cr, ox, oy);
    cairo_scale(cr, scale, scale);
    cairo_rectangle(cr, 0, 0, 1600, 900);
    cairo_clip(cr);
    using namespace layout;
    auto t = [&](const layout::Sheet& sheet) { return tex.at(sheet.file).get(); };
    auto sprite = [&](const layout::Sheet& sheet, const layout::Cell& c, double cx, double cy, double hw,
                      double hh, double angle = 0, double alpha = 1) {
        Blit(cr, t(sheet), c.x, c.y, c.w, c.h, cx - hw, cy + 900 - hh, 2 * hw, 2 * hh, angle, alpha);
    };
    // Camera x of 700 so tile seams (every 2000 px of ground, 2200 of far view) are on screen.
    const double cam = 700;
    cairo_translate(cr, -cam, 0);
    const double dv = cam - 0.1 * std::fmod(cam, 22000), lk = cam - 0.3 * std::fmod(cam, 4400 / 0.3);
    const double gr = cam - std::fmod(cam, 2000);
    const layout::Cell reflection{kDistant.x, kDistant.y + kDistant.h, kDistant.w, -kDistant.h};
    for (int k = -1; k <= 2; ++k) sprite(kDistantSheet, kDistant, dv + k * 2200, -600, 1100, 300);
    for (int k = -1; k <= 2; ++k) sprite(kDistantSheet, reflection, dv + k * 2200, 0, 1100, 300);
    for (int k = -1; k <= 2; ++k) sprite(kLakeSheet, kLake, lk + k * 4400, 0, 2200, 300);
    for (int k = -1; k <= 2; ++k) sprite(kGroundSheet, kGround, gr + k * 2000, -25, 1000, 50);
    for (int k = -2; k <= 2; ++k) sprite(kRoofSheet, kRoof, gr + k * 2000, -900, 1000, 50);
    // A standing block (kind 600) and a hanging one (kind 200), a tall one (800).
    sprite(kBlockSheet, kStanding400A, 900, -200, 100, 200);
    sprite(kBlockSheet, kHanging400A, 1400, -700, 100, 200);
    sprite(kBlockSheet, kStanding600A, 2000, -300, 100, 300);
    // Bodies where the collisions put them.
    const layout::Sheet& ch = kRunnerSheet;
    sprite(ch, kStand[0], 780, -140, 100, 100);                                 // standing on the ground
    sprite(ch, kRunRight[0], 1700, -140, 100, 100, 3.14159265358979 / 10);      // running right
    sprite(ch, kRunLeft[1], 2250, -140, 100, 100);                              // running left
    sprite(ch, kStand[1], 900, -480, 100, 100);                                 // on the block's top
    sprite(ch, kClingWallLeft, 1040, -250, 100, 100);                           // clinging, wall on the left
    sprite(ch, kClingWallRight, 1260, -540, 100, 100, -3.14159265358979 / 20);  // wall on the right
    sprite(ch, kReel[0], 1700, -810, 100, 100);                                 // reeling, held by the roof
    sprite(ch, kAir[0], 2060, -810, 100, 100);                                  // airborne under the roof
    sprite(ch, kJump[0], 2000, -710, 100, 100);  // jumping, on top of block 800
    // Wire from the reeling body to a hook in the roof, with anchor, ring and marker.
    const double bx = 1700, by = -810, hx = 1840, hy = -850;
    const double dx = hx - bx, dy = hy - by, ang = std::atan2(dy, dx);
    sprite(kWireSheet, kWire, bx + dx / 2, by + dy / 2, 5, std::hypot(dx, dy) / 2,
           ang + 3.14159265358979 / 2);
    sprite(kAnchorSheet, kAnchor, hx + 10 * std::cos(ang), hy + 10 * std::sin(ang), 25, 25, ang);
    sprite(kRingSheet, kRing, 780, -140, 200, 200, -0.6);
    sprite(kHookPointSheet, kMarkerAiming, 1000, -800, 25, 25, 0.3);
    sprite(kHookPointSheet, kMarkerCaught, 1100, -800, 25, 25, 0.3);
    sprite(kHookPointSheet, kMarkerReeling, 1200, -800, 25, 25, 0.3);
    sprite(kSmogSheet, kSmog, 1680, -60, 30, 30, 0.5, 0.8);
    sprite(kSmogSheet, kSmog, 1630, -60, 30, 30, 1.5, 0.55);
    cairo_translate(cr, cam, 0);
    // Heads-up display: speed readout and a banner.
    const layout::Cell banner = BannerCell(3);
    Blit(cr, t(kBannerSheet), banner.x, banner.y, banner.w, banner.h, 0, 110, 1536, 192);
    const std::string speed = "SPEED 9600";
    for (size_t i = 0; i < speed.size(); ++i) {
        const layout::Cell g = GlyphCell(speed[i]);
        Blit(cr, t(kFontSheet), g.x, g.y, g.w, g.h, 50 + 30 * i, 50, 30, 60);
    }
    cairo_restore(cr);
}

}  // namespace

void WriteContactSheet(const std::string& dataDir, const std::string& fontsDir, const std::string& outPng) {
    std::map<std::string, Surface> tex;
    for (const SheetLayout& s : Sheets()) {
        const std::string path = dataDir + "/" + s.file;
        Surface surf(ReadPng(path));
        int w = cairo_image_surface_get_width(surf.get()), h = cairo_image_surface_get_height(surf.get());
        if (w != s.storedWidth || h != s.storedHeight)
            throw std::runtime_error(path + ": is " + std::to_string(w) + " x " + std::to_string(h) +
                                     ", the game expects " + std::to_string(s.storedWidth) + " x " +
                                     std::to_string(s.storedHeight));
        tex.emplace(s.file, s.StoredSmaller() ? AtTexelSize(surf.get(), s.width, s.height) : std::move(surf));
    }
    FontFace face(fontsDir + "/DejaVuSans.ttf");

    // Lay out: each sheet a section; cells scaled so a character cell is 128 px wide.
    const double pageW = 2200, margin = 20;
    struct Item {
        const SheetLayout* sheet;
        const Cell* cell;
        double x, y, w, h;
    };
    std::vector<Item> items;
    std::vector<std::pair<std::string, double>> headings;
    const double previewScale = (pageW - 2 * margin) / 1600.0;
    double y = 40 + 900 * previewScale + 30;  // below the stage preview
    for (const SheetLayout& s : Sheets()) {
        std::string size = std::to_string(s.width) + " x " + std::to_string(s.height);
        if (s.StoredSmaller())
            size += ", stored at " + std::to_string(s.storedWidth) + " x " + std::to_string(s.storedHeight);
        headings.push_back({s.file + "  (" + size + ")", y + 22});
        y += 34;
        // Small sheets enlarged, big ones reduced, so every cell reads on one page.
        double scale = 0.5;
        if (s.file == "hookpoint.vqtex" || s.file == "smog.vqtex") scale = 2;
        if (s.file == "anchor.vqtex") scale = 0.2;
        if (s.file == "ground.vqtex" || s.file == "roof.vqtex" || s.file == "combo.vqtex") scale = 1;
        if (s.file == "ese_raf.vqtex") scale = 0.75;
        double x = margin, rowH = 0;
        for (const Cell& c : s.cells) {
            double w = c.w * scale, h = std::min(c.h, s.height - c.y) * scale;
            if (x + w > pageW - margin) {
                x = margin;
                y += rowH + 26;
                rowH = 0;
            }
            items.push_back({&s, &c, x, y, w, h});
            x += w + 12;
            rowH = std::max(rowH, h);
        }
        y += rowH + 40;
    }
    Canvas page(static_cast<int>(pageW), static_cast<int>(y + 20));
    cairo_t* cr = page.cr();
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.15);
    cairo_paint(cr);
    Label(cr, face, "Stage preview: camera at x 700; bodies placed where the collisions put them", margin, 28,
          20);
    StagePreview(cr, tex, margin, 40, previewScale);
    for (const auto& [text, hy] : headings) Label(cr, face, text, margin, hy, 20, Hex(0xffd35a));
    for (const Item& it : items) {
        Checker(cr, it.x, it.y, it.w, it.h);
        double sh = std::min(it.cell->h, it.sheet->height - it.cell->y);
        Blit(cr, tex.at(it.sheet->file).get(), it.cell->x, it.cell->y, it.cell->w, sh, it.x, it.y, it.w,
             it.h);
        Label(cr, face, it.cell->label, it.x, it.y + it.h + 16, 13);
    }
    page.WritePng(outPng);
}

}  // namespace gx
