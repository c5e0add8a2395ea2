#include "layout.hpp"

#include <stdexcept>

namespace gx {

namespace {

std::vector<Cell> CharacterCells() {
    std::vector<Cell> c;
    const char* stand[] = {"stand 1", "stand 2 (breath in)", "stand 3 (held)"};
    for (int i = 0; i < 3; ++i) c.push_back({1280 + 256 * i, 0, 256, 256, stand[i]});
    for (int i = 0; i < 4; ++i) c.push_back({256 * i, 256, 256, 256, "reel " + std::to_string(i + 1)});
    for (int i = 0; i < 4; ++i) c.push_back({1024 + 256 * i, 256, 256, 256, "air " + std::to_string(i + 1)});
    for (int i = 0; i < 4; ++i) c.push_back({256 * i, 512, 256, 256, "run left " + std::to_string(i + 1)});
    for (int i = 0; i < 4; ++i)
        c.push_back({1024 + 256 * i, 512, 256, 256, "run right/swing " + std::to_string(i + 1)});
    c.push_back({0, 768, 256, 256, "cling, wall left"});
    c.push_back({512, 768, 256, 256, "cling, wall right"});
    for (int i = 0; i < 4; ++i) c.push_back({1024 + 256 * i, 768, 256, 256, "jump " + std::to_string(i + 1)});
    return c;
}

std::vector<Cell> GlyphCells() {
    std::vector<Cell> c;
    for (int code = 32; code <= 126; ++code) {
        int k = code - 32;
        std::string label = code == 32 ? "space" : std::string(1, static_cast<char>(code));
        c.push_back({(k % 16) * 64, (k / 16) * 128, 64, 128, label});
    }
    return c;
}

std::vector<Cell> BannerCells() {
    static const char* kWords[8] = {"LIGHTSPEED", "SONIC", "HYPER", "TURBO",
                                    "RAPID",      "FAST",  "QUICK", "CRUISE"};
    std::vector<Cell> c;
    for (int i = 0; i < 8; ++i)
        c.push_back({0, 128 * i, 1024, 128, "level " + std::to_string(i) + " " + kWords[i]});
    return c;
}

std::vector<SheetLayout> Build() {
    return {
        {"title03.vqtex", 4096, 1024, {{0, 0, 4096, 1024, "logo"}}},
        {"font_128_64.vqtex", 1024, 768, GlyphCells()},
        {"distant_view.vqtex", 2048, 512, {{0, 0, 2048, 512, "far view (and its reflection)"}}},
        {"lake.vqtex", 2048, 512, {{0, 0, 2048, 512, "lake"}}},
        {"ground.vqtex", 1024, 128, {{0, 0, 1024, 128, "ground"}}},
        {"roof.vqtex", 1024, 128, {{0, 0, 1024, 128, "roof"}}},
        {"block.vqtex",
         1024,
         1024,
         {{0, 0, 256, 256, "100 hanging 200"},
          {256, 0, 256, 512, "200 hanging 400"},
          {512, 0, 256, 512, "300 hanging 400"},
          {768, 768, 256, 256, "500 standing 200"},
          {512, 512, 256, 512, "600 standing 400"},
          {256, 512, 256, 512, "700 standing 400"},
          {0, 258, 256, 768, "800 standing 600"},
          {768, 0, 256, 768, "400 standing 600"}}},
        {"combo.vqtex", 1024, 1024, BannerCells()},
        {"wire.vqtex", 256, 256, {{0, 0, 256, 256, "wire"}}},
        {"anchor.vqtex", 1024, 1024, {{0, 0, 1024, 1024, "anchor (+x)"}}},
        {"ring.vqtex", 512, 512, {{0, 0, 512, 512, "aim ring (+x)"}}},
        {"hookpoint.vqtex",
         128,
         128,
         {{0, 0, 64, 64, "aiming"}, {64, 0, 64, 64, "caught"}, {0, 64, 64, 64, "reeling"}}},
        {"ese_raf.vqtex", 2048, 1024, CharacterCells()},
        {"smog.vqtex", 128, 128, {{0, 0, 128, 128, "smog"}}},
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
