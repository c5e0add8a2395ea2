// The wire and what sits on it (anchor), the aiming ring and hook-point markers, and the
// smog puff. Everything the game rotates is drawn pointing along +x.
#include <cmath>

#include "layout.hpp"
#include "pictures.hpp"

namespace gx {

namespace {
const Rgba kCyan = Hex(0x38e0f0), kGold = Hex(0xffc83a);
const Rgba kWire = Hex(0xf4f1e6), kSteel = Hex(0x9aa6b6);
}  // namespace

Canvas DrawWire() {
    // Stretched to a strip 10 px wide along the wire: the texture's x runs across the wire,
    // its y along it. Dark edges, an off-white core and twisted strands.
    const int N = layout::kWireSheet.width;  // a square sheet
    Canvas c(N, N);
    cairo_t* cr = c.cr();
    SetColor(cr, kInk);
    cairo_rectangle(cr, 24, 0, N - 48, N);
    cairo_fill(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(64, 0, 192, 0);
    cairo_pattern_add_color_stop_rgb(p, 0.0, 1.0, 1.0, 1.0);
    cairo_pattern_add_color_stop_rgb(p, 0.5, kWire.r, kWire.g, kWire.b);
    cairo_pattern_add_color_stop_rgb(p, 1.0, 0.74, 0.72, 0.68);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, 64, 0, N - 128, N);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_save(cr);
    cairo_rectangle(cr, 64, 0, N - 128, N);
    cairo_clip(cr);
    for (int y = -128; y < N + 128; y += 32) {
        cairo_move_to(cr, 64, y);
        cairo_line_to(cr, 192, y + 48);
        cairo_set_source_rgba(cr, 0.45, 0.42, 0.38, 0.45);
        cairo_set_line_width(cr, 6);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    return c;
}

void GrappleHook(cairo_t* cr, double outline, bool eye) {
    // In a 1024-unit box, pointing along +x through (512, 512): spear tip, two prongs
    // curving back, a shaft and the eye where the wire is tied (at x 280).
    const double cy = 512;
    auto prong = [&](double side) {
        cairo_move_to(cr, 560, cy + side * 30);
        cairo_curve_to(cr, 620, cy + side * 250, 760, cy + side * 330, 880, cy + side * 250);
        cairo_curve_to(cr, 820, cy + side * 300, 700, cy + side * 250, 640, cy + side * 40);
        cairo_close_path(cr);
    };
    // Outline pass, then fill pass, so the parts read as one piece.
    for (int pass = 0; pass < 2; ++pass) {
        auto paint = [&](const Rgba& col) {
            if (pass == 0) {
                SetColor(cr, kInk);
                cairo_set_line_width(cr, outline * 2);
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
                cairo_stroke(cr);
            } else {
                SetColor(cr, col);
                cairo_fill(cr);
            }
        };
        prong(-1);
        paint(kSteel);
        prong(1);
        paint(Shade(kSteel, -0.25));
        RoundRect(cr, 300, cy - 48, 520, 96, 40);
        paint(kSteel);
        cairo_move_to(cr, 780, cy - 95);
        cairo_line_to(cr, 960, cy);
        cairo_line_to(cr, 780, cy + 95);
        cairo_close_path(cr);
        paint(Shade(kSteel, 0.15));
        if (eye) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, 280, cy, 95, 0, 2 * kPi);
            cairo_new_sub_path(cr);
            cairo_arc_negative(cr, 280, cy, 45, 2 * kPi, 0);
            paint(kGold);
        }
    }
    // Highlight from the upper left.
    cairo_move_to(cr, 330, cy - 22);
    cairo_line_to(cr, 800, cy - 22);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
    cairo_set_line_width(cr, 22);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

Canvas DrawAnchor() {
    // Drawn 50 x 50 px and turned to the shot's direction. The wire ends at the hook point,
    // 10 px (205 texels) behind the anchor's centre: the eye sits there.
    Canvas c(layout::kAnchorSheet.width, layout::kAnchorSheet.height);
    GrappleHook(c.cr(), 44, true);
    return c;
}

Canvas DrawRing() {
    // Drawn 400 x 400 px round the body and turned toward the cursor: a thin cyan circle
    // with ticks, and a gold chevron on the +x side showing the aim.
    Canvas c(layout::kRingSheet.width, layout::kRingSheet.height);
    cairo_t* cr = c.cr();
    const double cx = layout::kRingSheet.width / 2.0, cy = layout::kRingSheet.height / 2.0, r = 228;
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0.05, 0.05, 0.15, 0.35);
    cairo_set_line_width(cr, 11);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source_rgba(cr, kCyan.r, kCyan.g, kCyan.b, 0.55);
    cairo_set_line_width(cr, 5);
    cairo_stroke(cr);
    for (int i = 0; i < 24; ++i) {
        double a = i * 2 * kPi / 24;
        double len = i % 6 == 0 ? 20 : 9;
        cairo_move_to(cr, cx + std::cos(a) * (r - len), cy + std::sin(a) * (r - len));
        cairo_line_to(cr, cx + std::cos(a) * r, cy + std::sin(a) * r);
        cairo_set_source_rgba(cr, kCyan.r, kCyan.g, kCyan.b, 0.6);
        cairo_set_line_width(cr, 4);
        cairo_stroke(cr);
    }
    // Aim arc and chevron along +x.
    cairo_arc(cr, cx, cy, r, -0.35, 0.35);
    cairo_set_source_rgba(cr, kGold.r, kGold.g, kGold.b, 0.9);
    cairo_set_line_width(cr, 10);
    cairo_stroke(cr);
    cairo_move_to(cr, 508, cy);
    cairo_line_to(cr, 462, cy - 30);
    cairo_line_to(cr, 474, cy);
    cairo_line_to(cr, 462, cy + 30);
    cairo_close_path(cr);
    FillAndOutline(cr, kGold, 4);
    return c;
}

Canvas DrawHookPoints() {
    // Three 64-texel markers, drawn 50 x 50 px at the cursor and spun 3 degrees a frame.
    Canvas c(layout::kHookPointSheet.width, layout::kHookPointSheet.height);
    cairo_t* cr = c.cr();
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    auto centreX = [](const layout::Cell& cell) { return cell.x + cell.w / 2.0; };
    auto centreY = [](const layout::Cell& cell) { return cell.y + cell.h / 2.0; };

    // Aiming: an open cyan sight with four notches.
    {
        const double x = centreX(layout::kMarkerAiming), y = centreY(layout::kMarkerAiming);
        for (int i = 0; i < 4; ++i) {
            double a = i * kPi / 2 + 0.25;
            for (int pass = 0; pass < 2; ++pass) {
                cairo_arc(cr, x, y, 20, a, a + 1.05);
                SetColor(cr, pass ? kCyan : kInk);
                cairo_set_line_width(cr, pass ? 4 : 8);
                cairo_stroke(cr);
            }
            double b = i * kPi / 2;
            cairo_move_to(cr, x + std::cos(b) * 9, y + std::sin(b) * 9);
            cairo_line_to(cr, x + std::cos(b) * 16, y + std::sin(b) * 16);
            SetColor(cr, kCyan);
            cairo_set_line_width(cr, 3);
            cairo_stroke(cr);
        }
        cairo_arc(cr, x, y, 3, 0, 2 * kPi);
        FillAndOutline(cr, Hex(0xffffff), 2);
    }
    // Caught: a closed gold diamond lock with a solid centre.
    {
        const double x = centreX(layout::kMarkerCaught), y = centreY(layout::kMarkerCaught);
        cairo_move_to(cr, x, y - 26);
        cairo_line_to(cr, x + 26, y);
        cairo_line_to(cr, x, y + 26);
        cairo_line_to(cr, x - 26, y);
        cairo_close_path(cr);
        cairo_new_sub_path(cr);
        cairo_move_to(cr, x, y - 15);
        cairo_line_to(cr, x - 15, y);
        cairo_line_to(cr, x, y + 15);
        cairo_line_to(cr, x + 15, y);
        cairo_close_path(cr);
        FillAndOutline(cr, kGold, 3);
        cairo_arc(cr, x, y, 7, 0, 2 * kPi);
        FillAndOutline(cr, Hex(0xfff3c0), 3);
    }
    // Reeling: three gold arrows chasing each other inward.
    {
        const double x = centreX(layout::kMarkerReeling), y = centreY(layout::kMarkerReeling);
        for (int i = 0; i < 3; ++i) {
            double a = i * 2 * kPi / 3;
            for (int pass = 0; pass < 2; ++pass) {
                cairo_arc(cr, x, y, 21, a, a + 1.4);
                SetColor(cr, pass ? kGold : kInk);
                cairo_set_line_width(cr, pass ? 5 : 9);
                cairo_stroke(cr);
            }
            double e = a + 1.4;
            double hx = x + std::cos(e) * 21, hy = y + std::sin(e) * 21;
            double tx = -std::sin(e), ty = std::cos(e);  // along the arc
            cairo_move_to(cr, hx + tx * 9, hy + ty * 9);
            cairo_line_to(cr, hx - tx * 2 + std::cos(e) * 8, hy - ty * 2 + std::sin(e) * 8);
            cairo_line_to(cr, hx - tx * 2 - std::cos(e) * 8, hy - ty * 2 - std::sin(e) * 8);
            cairo_close_path(cr);
            FillAndOutline(cr, kGold, 2);
        }
        cairo_arc(cr, x, y, 6, 0, 2 * kPi);
        FillAndOutline(cr, kCyan, 2);
    }
    return c;
}

Canvas DrawSmog() {
    // A soft dust puff: overlapping clouds that fade to nothing before the cell's edge,
    // so it can spin freely.
    Canvas c(layout::kSmogSheet.width, layout::kSmogSheet.height);
    cairo_t* cr = c.cr();
    struct Blob {
        double x, y, r, a;
    };
    const Blob blobs[] = {{64, 70, 40, 0.55}, {44, 60, 26, 0.5}, {84, 58, 28, 0.5},
                          {62, 44, 24, 0.45}, {78, 80, 22, 0.4}, {46, 82, 20, 0.4}};
    for (const Blob& b : blobs) {
        cairo_pattern_t* p = cairo_pattern_create_radial(b.x - b.r * 0.3, b.y - b.r * 0.3, 0, b.x, b.y, b.r);
        cairo_pattern_add_color_stop_rgba(p, 0.0, 0.98, 0.96, 0.93, b.a);
        cairo_pattern_add_color_stop_rgba(p, 0.6, 0.86, 0.84, 0.82, b.a * 0.6);
        cairo_pattern_add_color_stop_rgba(p, 1.0, 0.75, 0.74, 0.74, 0.0);
        cairo_set_source(cr, p);
        cairo_arc(cr, b.x, b.y, b.r, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
    }
    return c;
}

Canvas DrawIcon(int size) {
    // The grappling hook on a dusk tile, with the wire and the runner's red scarf.
    Canvas c(size, size);
    cairo_t* cr = c.cr();
    cairo_scale(cr, size / 64.0, size / 64.0);
    RoundRect(cr, 1, 1, 62, 62, 12);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 64);
    cairo_pattern_add_color_stop_rgb(p, 0.0, 0.13, 0.10, 0.33);
    cairo_pattern_add_color_stop_rgb(p, 0.7, 0.55, 0.30, 0.52);
    cairo_pattern_add_color_stop_rgb(p, 1.0, 0.96, 0.62, 0.40);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    // Wire from lower left to the hook.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 18, 48);
    cairo_line_to(cr, 40, 24);
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    SetColor(cr, kWire);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    // The grappling hook, pointing up and right.
    cairo_save(cr);
    cairo_translate(cr, 42, 22);
    cairo_rotate(cr, -kPi / 4);
    cairo_scale(cr, 0.036, 0.036);
    cairo_translate(cr, -560, -512);
    GrappleHook(cr, 60, false);
    cairo_restore(cr);
    // The runner's head and scarf at the wire's end.
    cairo_move_to(cr, 18, 48);
    cairo_curve_to(cr, 12, 44, 10, 54, 5, 51);
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 7);
    cairo_stroke_preserve(cr);
    SetColor(cr, Hex(0xff4438));
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
    cairo_arc(cr, 18, 48, 8, 0, 2 * kPi);
    FillAndOutline(cr, Hex(0xcc2433), 2.5);
    return c;
}

}  // namespace gx
