// User-interface pictures: the title logo, the bitmap font sheet and the speed banners.
// Text comes from DejaVu fonts (the same family the credits use), outlined so it reads on
// any background.
#include <cmath>
#include <string>

#include "layout.hpp"
#include "pictures.hpp"

namespace gx {

namespace {

void TextPath(cairo_t* cr, const std::string& text, double x, double y) {
    cairo_move_to(cr, x, y);
    cairo_text_path(cr, text.c_str());
}

}  // namespace

Canvas DrawGlyphs(const FontFiles& fonts) {
    // White glyphs with a dark outline, each in its cell (16 a row from code 32, 64 x 128).
    Canvas c(layout::kFontSheet.width, layout::kFontSheet.height);
    cairo_t* cr = c.cr();
    FontFace face(fonts.monoBold);
    // The font's advance is 0.602 em: 92 texels wide glyphs, stretched tall to 112 so the
    // narrow cell is filled like the screen cells (twice as high as wide) it is drawn into.
    face.Use(cr, 92, 112);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (int code = layout::kFirstGlyph + 1; code <= layout::kLastGlyph; ++code) {
        const layout::Cell cell = layout::GlyphCell(code);
        double cx = cell.x, cy = cell.y;
        char s[2] = {static_cast<char>(code), 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, s, &e);
        double x = cx + 32 - e.x_advance / 2;
        double baseline = cy + 98;
        cairo_save(cr);
        cairo_rectangle(cr, cx, cy, cell.w, cell.h);
        cairo_clip(cr);
        TextPath(cr, s, x, baseline);
        SetColor(cr, kInk);
        cairo_set_line_width(cr, 9);
        cairo_stroke_preserve(cr);
        SetColor(cr, Hex(0xffffff));
        cairo_fill(cr);
        cairo_restore(cr);
    }
    return c;
}

Canvas DrawLogo(const FontFiles& fonts) {
    // "GRAPPIX" in heavy gold letters with a wire running through them to a hook, on a
    // transparent background. Laid out in the sheet's 4096 x 1024 texels, drawn at the size
    // the title shows it (1600 x 400 px, 2.56 texels a pixel), which is the size it is stored at.
    const layout::Sheet& sheet = layout::kLogoSheet;
    Canvas c(sheet.storedWidth, sheet.storedHeight);
    cairo_t* cr = c.cr();
    cairo_scale(cr, double(sheet.storedWidth) / sheet.width, double(sheet.storedHeight) / sheet.height);
    FontFace face(fonts.sansBold);
    const std::string word = "GRAPPIX";
    face.Use(cr, 760, 820);
    cairo_text_extents_t e;
    cairo_text_extents(cr, word.c_str(), &e);
    const double scale = 3300.0 / e.width;
    face.Use(cr, 760 * scale, 820 * scale);
    cairo_text_extents(cr, word.c_str(), &e);
    const double x = 1880 - e.width / 2 - e.x_bearing;  // room for the hook on the right
    const double top = 120, baseline = top - e.y_bearing;

    // Shadow toward the lower right (light from the upper left).
    TextPath(cr, word, x + 40, baseline + 40);
    cairo_set_source_rgba(cr, 0.03, 0.02, 0.08, 0.55);
    cairo_set_line_width(cr, 70);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);

    // Wire behind the letters, from the lower left up to the hook past the X.
    auto wirePath = [&]() {
        cairo_move_to(cr, 60, 900);
        cairo_curve_to(cr, 900, 420, 2500, 760, 3640, 360);
    };
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    wirePath();
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 64);
    cairo_stroke(cr);
    wirePath();
    SetColor(cr, Hex(0xf4f1e6));
    cairo_set_line_width(cr, 30);
    cairo_stroke(cr);

    // Letters: thick outline, gold gradient, a lighter bevel on top.
    TextPath(cr, word, x, baseline);
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 60);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, top, 0, top + e.height);
    cairo_pattern_add_color_stop_rgb(p, 0.0, 1.0, 0.93, 0.62);
    cairo_pattern_add_color_stop_rgb(p, 0.45, 1.0, 0.78, 0.23);
    cairo_pattern_add_color_stop_rgb(p, 1.0, 0.91, 0.45, 0.12);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_save(cr);
    TextPath(cr, word, x, baseline);
    cairo_clip(cr);
    TextPath(cr, word, x + 18, baseline + 22);
    cairo_set_source_rgba(cr, 0.6, 0.25, 0.0, 0.35);  // inner shade on the lower right
    cairo_set_line_width(cr, 30);
    cairo_stroke(cr);
    cairo_restore(cr);

    // The wire passes in front of the middle letters ("APP"), behind the outer ones: drawn again
    // through a mask of those letters and their outline, so it goes over and under at the
    // letters' own edges (a straight cut across a letter showed as a step in the wire).
    cairo_text_extents_t before;
    cairo_text_extents(cr, "GR", &before);
    cairo_push_group(cr);
    wirePath();
    SetColor(cr, kInk);
    cairo_set_line_width(cr, 64);
    cairo_stroke(cr);
    wirePath();
    SetColor(cr, Hex(0xf4f1e6));
    cairo_set_line_width(cr, 30);
    cairo_stroke(cr);
    cairo_pattern_t* frontWire = cairo_pop_group(cr);
    cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
    TextPath(cr, "APP", x + before.x_advance, baseline);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    // Six texels past the outline (two pixels of the stored picture): the mask's soft edge
    // falls where the wire below is bare and the same, not on the outline's own soft edge.
    cairo_set_line_width(cr, 72);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);
    cairo_pattern_t* middle = cairo_pop_group(cr);
    cairo_set_source(cr, frontWire);
    cairo_mask(cr, middle);
    cairo_pattern_destroy(middle);
    cairo_pattern_destroy(frontWire);

    // Hook at the wire's end, pointing along the wire.
    cairo_save(cr);
    cairo_translate(cr, 3640, 360);
    cairo_rotate(cr, -0.36);
    cairo_scale(cr, 0.44, 0.44);
    cairo_translate(cr, -280, -512);
    GrappleHook(cr, 60, false);
    cairo_restore(cr);
    return c;
}

Canvas DrawBanners(const FontFiles& fonts) {
    // Eight ribbons of 1024 x 128, row 0 the fastest. Colours run from hot (level 0) to
    // cool (level 7); each carries its rank word and as many chevrons as it is fast.
    static const char* kWords[layout::kBannerLevels] = {"LIGHTSPEED", "SONIC", "HYPER", "TURBO",
                                                        "RAPID",      "FAST",  "QUICK", "CRUISE"};
    static const uint32_t kColours[layout::kBannerLevels] = {0xff2f5f, 0xff5a24, 0xff8f1c, 0xffc41e,
                                                             0xb4e032, 0x3ed67a, 0x22c4d8, 0x3a7cf0};
    Canvas c(layout::kBannerSheet.width, layout::kBannerSheet.height);
    cairo_t* cr = c.cr();
    FontFace face(fonts.sansBoldOblique);
    for (int i = 0; i < layout::kBannerLevels; ++i) {
        const layout::Cell cell = layout::BannerCell(i);
        const double y = cell.y;
        const Rgba col = Hex(kColours[i]);
        cairo_save(cr);
        cairo_rectangle(cr, cell.x, y, cell.w, cell.h);
        cairo_clip(cr);
        // Ribbon: square on the left (it slides in from the screen's edge), a swept tip on
        // the right; it leaves the right part of the screen free.
        const double top = y + 20, bottom = y + 108, mid = y + 64, end = 800;
        cairo_move_to(cr, 0, top);
        cairo_line_to(cr, end, top);
        cairo_line_to(cr, end + 70, mid);
        cairo_line_to(cr, end, bottom);
        cairo_line_to(cr, 0, bottom);
        cairo_close_path(cr);
        cairo_pattern_t* p = cairo_pattern_create_linear(0, top, 0, bottom);
        Rgba hi = Shade(col, 0.35), lo = Shade(col, -0.35);
        cairo_pattern_add_color_stop_rgba(p, 0.0, hi.r, hi.g, hi.b, 0.92);
        cairo_pattern_add_color_stop_rgba(p, 0.5, col.r, col.g, col.b, 0.92);
        cairo_pattern_add_color_stop_rgba(p, 1.0, lo.r, lo.g, lo.b, 0.92);
        cairo_set_source(cr, p);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(p);
        SetColor(cr, kInk);
        cairo_set_line_width(cr, 7);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_stroke(cr);
        // Speed streaks trailing off the tip.
        for (int k = 0; k < 4; ++k) {
            double sy = top + 14 + k * 19;
            cairo_rectangle(cr, 560 + (k % 2) * 30 + k * 9, sy, 200 - k * 30, 5);
            cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
            cairo_fill(cr);
            cairo_rectangle(cr, end + 90 + (k % 2) * 20, sy + 4, 90 - k * 12, 6);
            SetColor(cr, Shade(col, 0.2));
            cairo_fill(cr);
        }
        // Chevrons by the tip: eight for the fastest, one for the slowest.
        const double chevW = 22;
        for (int k = 0; k < 8 - i; ++k) {
            double x0 = end - 36 - k * chevW;
            cairo_move_to(cr, x0, mid - 20);
            cairo_line_to(cr, x0 + 15, mid);
            cairo_line_to(cr, x0, mid + 20);
            cairo_line_to(cr, x0 + 9, mid + 20);
            cairo_line_to(cr, x0 + 24, mid);
            cairo_line_to(cr, x0 + 9, mid - 20);
            cairo_close_path(cr);
            FillAndOutline(cr, Hex(0xffffff), 3.5);
        }
        // The word, as large as the ribbon allows.
        std::string word = kWords[i];
        face.Use(cr, 88);
        cairo_text_extents_t e;
        cairo_text_extents(cr, word.c_str(), &e);
        double maxW = end - 36 - (8 - i) * chevW - 40 - 30;
        double sx = std::min(1.0, maxW / e.width);
        face.Use(cr, 88 * sx, 88);
        cairo_text_extents(cr, word.c_str(), &e);
        double tx = 30 - e.x_bearing, ty = mid - e.y_bearing - e.height / 2;
        TextPath(cr, word, tx, ty);
        SetColor(cr, kInk);
        cairo_set_line_width(cr, 12);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke_preserve(cr);
        SetColor(cr, Hex(0xffffff));
        cairo_fill(cr);
        cairo_restore(cr);
    }
    return c;
}

}  // namespace gx
