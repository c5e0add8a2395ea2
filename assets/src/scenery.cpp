// The stage's scenery: the far landscape (also drawn upside down as its reflection), the
// translucent lake, the ground strip, the roof girder and the stone blocks.
// Tiles are laid side by side, so everything that reaches a left or right edge is drawn a
// second time one tile width away, and ridge lines use whole-period noise.
#include <algorithm>
#include <cmath>

#include "layout.hpp"
#include "pictures.hpp"

namespace gx {

namespace {

template <typename F>
void Wrapped(double period, F&& draw) {
    for (double dx : {-period, 0.0, period}) draw(dx);
}

void Ridge(cairo_t* cr, int width, int height, const PeriodicNoise& n, double base, double amp,
           double sharpness) {
    cairo_move_to(cr, 0, height);
    for (int x = 0; x <= width; x += 4) {
        double v = n(x);
        // Folding the noise gives mountain-like peaks instead of soft hills.
        double peak = 1.0 - std::pow(std::fabs(v), sharpness);
        cairo_line_to(cr, x, base - amp * peak);
    }
    cairo_line_to(cr, width, height);
    cairo_close_path(cr);
}

}  // namespace

Canvas DrawDistantView() {
    const int W = layout::kDistantSheet.width, H = layout::kDistantSheet.height;
    Canvas c(W, H);
    cairo_t* cr = c.cr();

    // Dusk sky: deep indigo at the top to warm orange at the horizon.
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, H);
    cairo_pattern_add_color_stop_rgb(sky, 0.00, 0.09, 0.07, 0.23);
    cairo_pattern_add_color_stop_rgb(sky, 0.35, 0.21, 0.18, 0.43);
    cairo_pattern_add_color_stop_rgb(sky, 0.62, 0.52, 0.31, 0.52);
    cairo_pattern_add_color_stop_rgb(sky, 0.82, 0.86, 0.48, 0.45);
    cairo_pattern_add_color_stop_rgb(sky, 1.00, 0.96, 0.64, 0.40);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);

    // Stars fade out toward the glow of the horizon.
    Random rnd(0x57A25);
    for (int i = 0; i < 160; ++i) {
        double x = rnd.Range(0, W), y = std::pow(rnd.Uniform(), 1.6) * 230;
        double r = rnd.Range(0.8, 2.2), a = (1.0 - y / 260.0) * rnd.Range(0.35, 0.85);
        Wrapped(W, [&](double dx) {
            cairo_arc(cr, x + dx, y, r, 0, 2 * kPi);
            cairo_set_source_rgba(cr, 1.0, 0.96, 0.88, a);
            cairo_fill(cr);
        });
    }

    // Low sun and its glow, well inside the tile so the edges stay equal.
    const double sunX = 1240, sunY = 318;  // low, between the far peaks
    cairo_pattern_t* glow = cairo_pattern_create_radial(sunX, sunY, 0, sunX, sunY, 420);
    cairo_pattern_add_color_stop_rgba(glow, 0.0, 1.0, 0.87, 0.62, 0.65);
    cairo_pattern_add_color_stop_rgba(glow, 0.3, 1.0, 0.72, 0.48, 0.25);
    cairo_pattern_add_color_stop_rgba(glow, 1.0, 1.0, 0.65, 0.45, 0.0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
    cairo_arc(cr, sunX, sunY, 44, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1.0, 0.9, 0.7, 0.95);
    cairo_fill(cr);

    // Long thin clouds lit from below.
    for (int i = 0; i < 14; ++i) {
        double x = rnd.Range(0, W), y = rnd.Range(170, 360), len = rnd.Range(120, 380);
        double th = rnd.Range(4, 11), a = rnd.Range(0.10, 0.25);
        Wrapped(W, [&](double dx) {
            cairo_save(cr);
            cairo_translate(cr, x + dx, y);
            cairo_scale(cr, len, th);
            cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
            cairo_restore(cr);
            cairo_set_source_rgba(cr, 1.0, 0.78, 0.7, a);
            cairo_fill(cr);
        });
    }

    // Two ranges of mountains, cool blue-grey, hazier toward the horizon.
    PeriodicNoise far(0xFA5, W, 2, 22, 1.1), near(0x4EA5, W, 3, 28, 1.0);
    Ridge(cr, W, H, far, 400, 150, 1.3);
    VerticalGradient(cr, 250, Hex(0x6e6a9c), H, Hex(0xb08ea6));
    cairo_fill(cr);
    Ridge(cr, W, H, near, 470, 110, 1.6);
    VerticalGradient(cr, 360, Hex(0x46527c), H, Hex(0x7c7c9c));
    cairo_fill(cr);

    // Haze on the water line, where the reflection meets the picture.
    VerticalGradient(cr, 470, Hex(0xf0a070, 0.0), H, Hex(0xe8a07a, 0.35));
    cairo_rectangle(cr, 0, 470, W, H - 470);
    cairo_fill(cr);
    return c;
}

Canvas DrawLake() {
    const int W = layout::kLakeSheet.width, H = layout::kLakeSheet.height;
    Canvas c(W, H);
    cairo_t* cr = c.cr();
    // Translucent teal: the reflection drawn before the lake shows through, strongest at
    // the far shore, deeper water further down.
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, H);
    cairo_pattern_add_color_stop_rgba(p, 0.0, 0.16, 0.56, 0.58, 0.40);
    cairo_pattern_add_color_stop_rgba(p, 0.4, 0.11, 0.43, 0.47, 0.58);
    cairo_pattern_add_color_stop_rgba(p, 1.0, 0.07, 0.25, 0.32, 0.82);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);

    // Far shore line.
    cairo_rectangle(cr, 0, 0, W, 3);
    cairo_set_source_rgba(cr, 0.75, 0.93, 0.9, 0.55);
    cairo_fill(cr);

    // Glints: short horizontal streaks, denser near the far shore.
    Random rnd(0x1A4E);
    for (int i = 0; i < 320; ++i) {
        double y = 4 + std::pow(rnd.Uniform(), 1.8) * 300;
        double x = rnd.Range(0, W), len = rnd.Range(12, 70) * (1.0 + y / 200.0);
        double th = 1.2 + y / 120.0, a = rnd.Range(0.08, 0.28) * (1.0 - y / 420.0);
        Wrapped(W, [&](double dx) {
            cairo_rectangle(cr, x + dx, y, len, th);
            cairo_set_source_rgba(cr, 0.8, 0.96, 0.94, a);
            cairo_fill(cr);
        });
    }
    return c;
}

Canvas DrawGround() {
    const int W = layout::kGroundSheet.width, H = layout::kGroundSheet.height;
    const double S = stage::kGroundSurfaceRow;  // where the feet stand
    Canvas c(W, H);
    cairo_t* cr = c.cr();
    Random rnd(0x6B0D);

    // Soil, then rock.
    VerticalGradient(cr, S, Hex(0x7a5536), H, Hex(0x4c3422));
    cairo_rectangle(cr, 0, S, W, H - S);
    cairo_fill(cr);
    for (int i = 0; i < 60; ++i) {
        double x = rnd.Range(0, W), y = rnd.Range(80, 124), rw = rnd.Range(18, 46), rh = rnd.Range(10, 20);
        double shade = rnd.Range(-0.15, 0.1);
        Wrapped(W, [&](double dx) {
            RoundRect(cr, x + dx - rw / 2, y - rh / 2, rw, rh, rh * 0.45);
            SetColor(cr, Shade(Hex(0x6c6259), shade));
            cairo_fill_preserve(cr);
            cairo_set_source_rgba(cr, 0.2, 0.15, 0.12, 0.5);
            cairo_set_line_width(cr, 2);
            cairo_stroke(cr);
            cairo_arc(cr, x + dx - rw * 0.2, y - rh * 0.2, rh * 0.2, 0, 2 * kPi);
            cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
            cairo_fill(cr);
        });
    }
    for (int i = 0; i < 90; ++i) {
        double x = rnd.Range(0, W), y = rnd.Range(S + 18, 78), r = rnd.Range(1.5, 4);
        double a = rnd.Range(0.25, 0.5);
        bool light = rnd.Uniform() < 0.4;
        Wrapped(W, [&](double dx) {
            cairo_arc(cr, x + dx, y, r, 0, 2 * kPi);
            if (light)
                cairo_set_source_rgba(cr, 0.85, 0.7, 0.5, a);
            else
                cairo_set_source_rgba(cr, 0.2, 0.12, 0.08, a);
            cairo_fill(cr);
        });
    }

    // Turf: a green band with roots reaching into the soil.
    PeriodicNoise roots(0x7007, W, 16, 60, 0.6);
    cairo_move_to(cr, 0, S);
    cairo_line_to(cr, W, S);
    for (int x = W; x >= 0; x -= 4) cairo_line_to(cr, x, S + 15 + 5 * roots(x));
    cairo_close_path(cr);
    VerticalGradient(cr, S, Hex(0x6aa844), S + 20, Hex(0x3f7a30));
    cairo_fill(cr);
    cairo_rectangle(cr, 0, S + 1, W, 3);
    cairo_set_source_rgba(cr, 0.85, 1.0, 0.6, 0.35);  // lit edge
    cairo_fill(cr);

    // Grass tips above the surface (the rows above are otherwise transparent).
    for (int i = 0; i < 170; ++i) {
        double x = rnd.Range(0, W), hgt = rnd.Range(4, S - 2), lean = rnd.Range(-4, 5);
        double w = rnd.Range(2.5, 5);
        Rgba col = rnd.Uniform() < 0.5 ? Hex(0x74b64c) : Hex(0x4f8e38);
        Wrapped(W, [&](double dx) {
            cairo_move_to(cr, x + dx - w, S + 1);
            cairo_line_to(cr, x + dx + lean, S - hgt);
            cairo_line_to(cr, x + dx + w, S + 1);
            cairo_close_path(cr);
            SetColor(cr, col);
            cairo_fill(cr);
        });
    }
    // The surface the player stands on, outlined in front of the grass.
    cairo_move_to(cr, 0, S);
    cairo_line_to(cr, W, S);
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);

    return c;
}

Canvas DrawRoof() {
    const int W = layout::kRoofSheet.width, H = layout::kRoofSheet.height;
    Canvas c(W, H);
    cairo_t* cr = c.cr();
    // Riveted steel girder seen from below: top chord, lattice web, bottom flange. Only the
    // lower half is inside the view, so the flange carries the detail.
    VerticalGradient(cr, 0, Hex(0x252a35), 92, Hex(0x343b48));
    cairo_rectangle(cr, 0, 0, W, 92);
    cairo_fill(cr);
    VerticalGradient(cr, 0, Hex(0x6a7382), 24, Hex(0x4a515e));
    cairo_rectangle(cr, 0, 0, W, 24);
    cairo_fill(cr);

    // Lattice: diagonals every 128 texels (the tile holds a whole number of them).
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    for (int k = -1; k <= W / 128; ++k) {
        double x0 = k * 128.0;
        for (int dir : {1, -1}) {
            cairo_move_to(cr, x0 + (dir > 0 ? 0 : 128), 22);
            cairo_line_to(cr, x0 + (dir > 0 ? 128 : 0), 92);
            SetColor(cr, Hex(0x1a1d26));
            cairo_set_line_width(cr, 16);
            cairo_stroke_preserve(cr);
            SetColor(cr, Hex(0x586070));
            cairo_set_line_width(cr, 10);
            cairo_stroke(cr);
        }
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);

    // Bottom flange, lit from the upper left, with two rows of rivets.
    VerticalGradient(cr, 90, Hex(0x7f8898), 126, Hex(0x4e5563));
    cairo_rectangle(cr, 0, 90, W, 36);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 92, W, 3);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_fill(cr);
    for (int x = 16; x < W; x += 32) {
        for (double y : {103.0, 116.0}) {
            cairo_arc(cr, x, y, 4.5, 0, 2 * kPi);
            SetColor(cr, Hex(0x2a2e38));
            cairo_fill(cr);
            cairo_arc(cr, x - 0.8, y - 0.8, 3.5, 0, 2 * kPi);
            SetColor(cr, Hex(0x9aa3b2));
            cairo_fill(cr);
            cairo_arc(cr, x - 1.6, y - 1.6, 1.3, 0, 2 * kPi);
            cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
            cairo_fill(cr);
        }
    }
    // Outlines: the flange's top and the edge the player hits.
    SetColor(cr, kInk);
    cairo_rectangle(cr, 0, 89, W, 2.5);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, H - 4, W, 4);
    cairo_fill(cr);
    return c;
}

namespace {

// One stone pillar at its own proportions: bricks keep one size on every block, so a tall
// block has more courses instead of taller bricks.
void DrawBlock(cairo_t* cr, double bx, double by, double bw, double bh, bool hanging, int variant,
               uint64_t seed) {
    Random rnd(seed);
    const double outline = 7, brickH = 40, brickW = 84;
    const Rgba stone = Hex(0x8c8277), mortar = Hex(0x4d463f);
    cairo_save(cr);
    cairo_rectangle(cr, bx, by, bw, bh);
    cairo_clip(cr);

    SetColor(cr, mortar);
    cairo_paint(cr);
    int row = 0;
    for (double y = by; y < by + bh; y += brickH, ++row) {
        double offset = (row + variant) % 2 ? -brickW / 2 : 0;
        for (double x = bx + offset; x < bx + bw; x += brickW) {
            double t = rnd.Range(-0.09, 0.07);
            Rgba base = Shade(stone, t);
            RoundRect(cr, x + 3, y + 3, brickW - 6, brickH - 6, 5);
            cairo_pattern_t* p = cairo_pattern_create_linear(x, y, x + brickW * 0.6, y + brickH);
            Rgba hi = Shade(base, 0.14), lo = Shade(base, -0.14);
            cairo_pattern_add_color_stop_rgb(p, 0, hi.r, hi.g, hi.b);
            cairo_pattern_add_color_stop_rgb(p, 1, lo.r, lo.g, lo.b);
            cairo_set_source(cr, p);
            cairo_fill(cr);
            cairo_pattern_destroy(p);
            // Lit upper-left edges.
            cairo_move_to(cr, x + 5, y + brickH - 6);
            cairo_line_to(cr, x + 5, y + 5);
            cairo_line_to(cr, x + brickW - 6, y + 5);
            cairo_set_source_rgba(cr, 1, 0.97, 0.9, 0.28);
            cairo_set_line_width(cr, 2.5);
            cairo_stroke(cr);
            if (rnd.Uniform() < 0.25) {  // weathering pits
                cairo_arc(cr, x + rnd.Range(15, brickW - 15), y + rnd.Range(12, brickH - 12), rnd.Range(2, 4),
                          0, 2 * kPi);
                cairo_set_source_rgba(cr, 0.2, 0.16, 0.12, 0.35);
                cairo_fill(cr);
            }
        }
    }

    if (variant == 1) {  // a crack running down the face
        double x = bx + bw * 0.62, y = by + bh * 0.25;
        cairo_move_to(cr, x, y);
        while (y < by + bh * 0.7) {
            x += rnd.Range(-14, 14);
            y += rnd.Range(14, 30);
            cairo_line_to(cr, x, y);
        }
        cairo_set_source_rgba(cr, 0.12, 0.09, 0.08, 0.8);
        cairo_set_line_width(cr, 3);
        cairo_stroke(cr);
    }
    if (variant == 2) {  // an iron band with bolts
        double y = by + (hanging ? bh * 0.55 : bh * 0.4);
        cairo_rectangle(cr, bx, y, bw, 26);
        VerticalGradient(cr, y, Hex(0x6f7785), y + 26, Hex(0x3c424e));
        cairo_fill(cr);
        cairo_rectangle(cr, bx, y, bw, 26);
        SetColor(cr, kInk);
        cairo_set_line_width(cr, 3);
        cairo_stroke(cr);
        for (double x = bx + 28; x < bx + bw - 10; x += 50) {
            cairo_arc(cr, x, y + 13, 5, 0, 2 * kPi);
            SetColor(cr, Hex(0xa3abb8));
            cairo_fill_preserve(cr);
            SetColor(cr, kInk);
            cairo_set_line_width(cr, 2);
            cairo_stroke(cr);
        }
    }

    if (hanging) {
        // Darker underside: the light comes from above.
        VerticalGradient(cr, by + bh - 60, Hex(0x000000, 0.0), by + bh - 24, Hex(0x1a1410, 0.45));
        cairo_rectangle(cr, bx, by + bh - 60, bw, 36);
        cairo_fill(cr);
        cairo_rectangle(cr, bx, by + bh - 24, bw, 24);
        SetColor(cr, Hex(0x3e3630));
        cairo_fill(cr);
        for (int i = 0; i < 6; ++i) {  // damp stains running down to the underside
            double x = bx + rnd.Range(20, bw - 20), len = rnd.Range(18, 60), w = rnd.Range(5, 10);
            double y1 = by + bh - 24;
            cairo_move_to(cr, x, y1 - len);
            cairo_curve_to(cr, x + w * 0.2, y1 - len * 0.4, x - w * 0.5, y1, x - w * 0.5, y1);
            cairo_line_to(cr, x + w * 0.5, y1);
            cairo_curve_to(cr, x + w * 0.5, y1, x + w * 0.2, y1 - len * 0.4, x, y1 - len);
            VerticalGradient(cr, y1 - len, Hex(0x261e18, 0.0), y1, Hex(0x261e18, 0.35));
            cairo_fill(cr);
        }
    } else {
        // Lighter top face with moss on the edge.
        cairo_rectangle(cr, bx, by, bw, 22);
        VerticalGradient(cr, by, Hex(0xd4c8b6), by + 22, Hex(0xa89c8c));
        cairo_fill(cr);
        cairo_rectangle(cr, bx, by + 20, bw, 3);
        SetColor(cr, Hex(0x5a5048));
        cairo_fill(cr);
        for (int i = 0; i < 34; ++i) {
            double x = bx + rnd.Range(-6, bw + 6), y = by + rnd.Range(2, 16);
            double rx = rnd.Range(9, 20), ry = rnd.Range(6, 14) + (variant == 3 ? 6 : 0);
            cairo_save(cr);
            cairo_translate(cr, x, y);
            cairo_scale(cr, rx, ry);
            cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
            cairo_restore(cr);
            SetColor(cr, rnd.Uniform() < 0.5 ? Hex(0x5f9a3c) : Hex(0x467d30));
            cairo_fill(cr);
        }
        if (variant == 3) {  // vines hanging down the face
            for (int v = 0; v < 3; ++v) {
                double x = bx + 40 + v * (bw - 80) / 2.0 + rnd.Range(-10, 10);
                double len = rnd.Range(bh * 0.25, bh * 0.6), y = by + 12;
                cairo_move_to(cr, x, y);
                for (double t = 0; t < len; t += 20) cairo_line_to(cr, x + 8 * std::sin(t / 23.0 + v), y + t);
                SetColor(cr, Hex(0x3f7430));
                cairo_set_line_width(cr, 5);
                cairo_stroke(cr);
                for (double t = 20; t < len; t += 34) {
                    cairo_arc(cr, x + 8 * std::sin(t / 23.0 + v) + 6, y + t, 6, 0, 2 * kPi);
                    SetColor(cr, Hex(0x5f9a3c));
                    cairo_fill(cr);
                }
            }
        }
    }
    cairo_restore(cr);

    // The outline lies inside the rectangle, on the edges the body collides with.
    cairo_rectangle(cr, bx + outline / 2, by + outline / 2, bw - outline, bh - outline);
    SetColor(cr, kInk);
    cairo_set_line_width(cr, outline);
    cairo_stroke(cr);
}

}  // namespace

Canvas DrawBlocks() {
    using namespace layout;
    Canvas c(kBlockSheet.width, kBlockSheet.height);
    cairo_t* cr = c.cr();
    // Each picture fills its cell; a cell that runs past the sheet's end (the first tall
    // standing block) ends at the edge: its last rows sit behind the ground strip anyway.
    auto block = [&](const layout::Cell& cell, bool hanging, int style, unsigned seed) {
        DrawBlock(cr, cell.x, cell.y, cell.w, std::min(cell.h, kBlockSheet.height - cell.y), hanging, style,
                  seed);
    };
    block(kHanging200, true, 0, 101);
    block(kHanging400A, true, 1, 201);
    block(kHanging400B, true, 2, 301);
    block(kStanding200, false, 0, 501);
    block(kStanding400A, false, 3, 601);
    block(kStanding400B, false, 1, 701);
    block(kStanding600A, false, 2, 801);
    block(kStanding600B, false, 0, 401);
    return c;
}

}  // namespace gx
