// Every picture sheet the game loads: its file name, its size in texels, and every rectangle
// the game cuts from it. The game's objects read their sheets from here, the asset generator
// draws each picture at its rectangle, and the asset tests check the drawn sheets against it,
// so a sheet is laid out in this one place. The header depends on nothing, not even the
// standard library, so that the generator can include it without any of the game.
#pragma once

namespace grappix::layout {

struct Sheet {
    const char* file;
    int width, height;  // texels
    // A sheet only ever drawn smaller than its texels is stored at its drawn size, and its
    // file tells the engine the size above (so draws still address it in texels). 0: stored
    // at full size.
    int storedWidth = 0, storedHeight = 0;
};

// A source rectangle on a sheet, in texels: top-left corner and size.
struct Cell {
    int x, y, w, h;
};

// ---- title03.vqtex: the logo, drawn over the top of the title screen -------------------
// Drawn at 1600 x 400 screen pixels, never larger: stored at that size (a quarter of a
// megabyte to decode instead of four).
inline constexpr Sheet kLogoSheet{"title03.vqtex", 4096, 1024, 1600, 400};
inline constexpr Cell kLogo{0, 0, 4096, 1024};

// ---- font_128_64.vqtex: the bitmap font ------------------------------------------------
// Cells of 64 x 128, sixteen a row in character-code order from the space (32) to '~' (126).
inline constexpr Sheet kFontSheet{"font_128_64.vqtex", 1024, 768};
inline constexpr int kGlyphW = 64, kGlyphH = 128;
inline constexpr int kGlyphColumns = 16;
inline constexpr int kFirstGlyph = 32, kLastGlyph = 126;
constexpr Cell GlyphCell(int code) {
    return {(code - kFirstGlyph) % kGlyphColumns * kGlyphW, (code - kFirstGlyph) / kGlyphColumns * kGlyphH,
            kGlyphW, kGlyphH};
}

// ---- the scenery: one tile each, laid side by side ---------------------------------------
// The far view is also drawn upside down below the horizon, as its reflection.
inline constexpr Sheet kDistantSheet{"distant_view.vqtex", 2048, 512};
inline constexpr Cell kDistant{0, 0, 2048, 512};
inline constexpr Sheet kLakeSheet{"lake.vqtex", 2048, 512};
inline constexpr Cell kLake{0, 0, 2048, 512};
inline constexpr Sheet kGroundSheet{"ground.vqtex", 1024, 128};
inline constexpr Cell kGround{0, 0, 1024, 128};
inline constexpr Sheet kRoofSheet{"roof.vqtex", 1024, 128};
inline constexpr Cell kRoof{0, 0, 1024, 128};

// ---- block.vqtex: one picture per block shape --------------------------------------------
// Named by how the block stands and its height on the stage (200 world pixels wide, 256
// texels). The first tall standing block is read from row 258 to 1026, two rows past the
// sheet's end: those rows lie behind the ground strip, and the picture ends at the edge.
inline constexpr Sheet kBlockSheet{"block.vqtex", 1024, 1024};
inline constexpr Cell kHanging200{0, 0, 256, 256};
inline constexpr Cell kHanging400A{256, 0, 256, 512};
inline constexpr Cell kHanging400B{512, 0, 256, 512};
inline constexpr Cell kStanding200{768, 768, 256, 256};
inline constexpr Cell kStanding400A{512, 512, 256, 512};
inline constexpr Cell kStanding400B{256, 512, 256, 512};
inline constexpr Cell kStanding600A{0, 258, 256, 768};
inline constexpr Cell kStanding600B{768, 0, 256, 768};

// ---- combo.vqtex: the speed banners, one 1024 x 128 row per level, level 0 the fastest ----
inline constexpr Sheet kBannerSheet{"combo.vqtex", 1024, 1024};
inline constexpr int kBannerLevels = 8;
constexpr Cell BannerCell(int level) { return {0, 128 * level, 1024, 128}; }

// ---- what the runner handles: wire, anchor, aim ring, hook-point markers, smog -----------
// The anchor and the ring point along +x, as the game turns them.
inline constexpr Sheet kWireSheet{"wire.vqtex", 256, 256};
inline constexpr Cell kWire{0, 0, 256, 256};
inline constexpr Sheet kAnchorSheet{"anchor.vqtex", 1024, 1024};
inline constexpr Cell kAnchor{0, 0, 1024, 1024};
inline constexpr Sheet kRingSheet{"ring.vqtex", 512, 512};
inline constexpr Cell kRing{0, 0, 512, 512};
inline constexpr Sheet kHookPointSheet{"hookpoint.vqtex", 128, 128};
inline constexpr Cell kMarkerAiming{0, 0, 64, 64};
inline constexpr Cell kMarkerCaught{64, 0, 64, 64};  // also the catch square of "Free Style"
inline constexpr Cell kMarkerReeling{0, 64, 64, 64};
inline constexpr Sheet kSmogSheet{"smog.vqtex", 128, 128};
inline constexpr Cell kSmog{0, 0, 128, 128};

// ---- ese_raf.vqtex: the runner, in cells of 256 x 256 -------------------------------------
inline constexpr Sheet kRunnerSheet{"ese_raf.vqtex", 2048, 1024};
inline constexpr Cell kStand[3] = {{1280, 0, 256, 256}, {1536, 0, 256, 256}, {1792, 0, 256, 256}};
inline constexpr Cell kReel[4] = {
    {0, 256, 256, 256}, {256, 256, 256, 256}, {512, 256, 256, 256}, {768, 256, 256, 256}};
inline constexpr Cell kAir[4] = {
    {1024, 256, 256, 256}, {1280, 256, 256, 256}, {1536, 256, 256, 256}, {1792, 256, 256, 256}};
inline constexpr Cell kRunLeft[4] = {
    {0, 512, 256, 256}, {256, 512, 256, 256}, {512, 512, 256, 256}, {768, 512, 256, 256}};
// Running right; the swing shows the same frames.
inline constexpr Cell kRunRight[4] = {
    {1024, 512, 256, 256}, {1280, 512, 256, 256}, {1536, 512, 256, 256}, {1792, 512, 256, 256}};
inline constexpr Cell kClingWallLeft{0, 768, 256, 256};
inline constexpr Cell kClingWallRight{512, 768, 256, 256};
inline constexpr Cell kJump[4] = {
    {1024, 768, 256, 256}, {1280, 768, 256, 256}, {1536, 768, 256, 256}, {1792, 768, 256, 256}};

}  // namespace grappix::layout
