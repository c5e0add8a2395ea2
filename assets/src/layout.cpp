#include "layout.hpp"

#include <stdexcept>

namespace gx {

namespace {

Cell Labelled(const layout::Cell& c, const std::string& label) { return {c.x, c.y, c.w, c.h, label}; }

SheetLayout Sheet(const layout::Sheet& s, std::vector<Cell> cells) {
    return {s.file,
            s.width,
            s.height,
            s.storedWidth ? s.storedWidth : s.width,
            s.storedHeight ? s.storedHeight : s.height,
            std::move(cells)};
}

std::vector<Cell> RunnerCells() {
    using namespace layout;
    std::vector<Cell> c;
    const char* stand[] = {"stand 1", "stand 2 (breath in)", "stand 3 (held)"};
    for (int i = 0; i < 3; ++i) c.push_back(Labelled(kStand[i], stand[i]));
    for (int i = 0; i < 4; ++i) c.push_back(Labelled(kReel[i], "reel " + std::to_string(i + 1)));
    for (int i = 0; i < 4; ++i) c.push_back(Labelled(kAir[i], "air " + std::to_string(i + 1)));
    for (int i = 0; i < 4; ++i) c.push_back(Labelled(kRunLeft[i], "run left " + std::to_string(i + 1)));
    for (int i = 0; i < 4; ++i)
        c.push_back(Labelled(kRunRight[i], "run right/swing " + std::to_string(i + 1)));
    c.push_back(Labelled(kClingWallLeft, "cling, wall left"));
    c.push_back(Labelled(kClingWallRight, "cling, wall right"));
    for (int i = 0; i < 4; ++i) c.push_back(Labelled(kJump[i], "jump " + std::to_string(i + 1)));
    return c;
}

std::vector<Cell> GlyphCells() {
    std::vector<Cell> c;
    for (int code = layout::kFirstGlyph; code <= layout::kLastGlyph; ++code) {
        std::string label = code == 32 ? "space" : std::string(1, static_cast<char>(code));
        c.push_back(Labelled(layout::GlyphCell(code), label));
    }
    return c;
}

std::vector<Cell> BannerCells() {
    static const char* kWords[layout::kBannerLevels] = {"LIGHTSPEED", "SONIC", "HYPER", "TURBO",
                                                        "RAPID",      "FAST",  "QUICK", "CRUISE"};
    std::vector<Cell> c;
    for (int i = 0; i < layout::kBannerLevels; ++i)
        c.push_back(Labelled(layout::BannerCell(i), "level " + std::to_string(i) + " " + kWords[i]));
    return c;
}

std::vector<SheetLayout> Build() {
    using namespace layout;
    return {
        Sheet(kLogoSheet, {Labelled(kLogo, "logo")}),
        Sheet(kFontSheet, GlyphCells()),
        Sheet(kDistantSheet, {Labelled(kDistant, "far view (and its reflection)")}),
        Sheet(kLakeSheet, {Labelled(kLake, "lake")}),
        Sheet(kGroundSheet, {Labelled(kGround, "ground")}),
        Sheet(kRoofSheet, {Labelled(kRoof, "roof")}),
        Sheet(kBlockSheet,
              {Labelled(kHanging200, "100 hanging 200"), Labelled(kHanging400A, "200 hanging 400"),
               Labelled(kHanging400B, "300 hanging 400"), Labelled(kStanding200, "500 standing 200"),
               Labelled(kStanding400A, "600 standing 400"), Labelled(kStanding400B, "700 standing 400"),
               Labelled(kStanding600A, "800 standing 600"), Labelled(kStanding600B, "400 standing 600")}),
        Sheet(kBannerSheet, BannerCells()),
        Sheet(kWireSheet, {Labelled(kWire, "wire")}),
        Sheet(kAnchorSheet, {Labelled(kAnchor, "anchor (+x)")}),
        Sheet(kRingSheet, {Labelled(kRing, "aim ring (+x)")}),
        Sheet(kHookPointSheet, {Labelled(kMarkerAiming, "aiming"), Labelled(kMarkerCaught, "caught"),
                                Labelled(kMarkerReeling, "reeling")}),
        Sheet(kRunnerSheet, RunnerCells()),
        Sheet(kSmogSheet, {Labelled(kSmog, "smog")}),
    };
}

}  // namespace

const std::vector<SheetLayout>& Sheets() {
    static const std::vector<SheetLayout> sheets = Build();
    return sheets;
}

const SheetLayout& SheetNamed(const std::string& file) {
    for (const SheetLayout& s : Sheets())
        if (s.file == file) return s;
    throw std::out_of_range("no sheet named " + file);
}

}  // namespace gx
