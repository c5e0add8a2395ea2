// Textures in the other forms a PNG may take look as the same picture in 8-bit RGBA does.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine_support.hpp"

using namespace engine_test;

namespace {

// The picture as a 16-bit RGBA PNG without gamma information (each byte repeated, so the
// values are the same fractions of full scale).
void WritePng16(const std::string& path, const Picture& pic) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(pic.width), png_uint_32(pic.height), 16, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(pic.width) * 8);
    for (int y = 0; y < pic.height; ++y) {
        for (int x = 0; x < pic.width; ++x) {
            const uint32_t p = pic.At(x, y);
            const uint8_t c[4] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)};
            for (int k = 0; k < 4; ++k) row[size_t(x) * 8 + 2 * k] = row[size_t(x) * 8 + 2 * k + 1] = c[k];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

}  // namespace

// Guards against a 16-bit texture coming out brighter than its 8-bit twin (a decoder that
// takes 16-bit files without gamma information as linear light).
TEST(EngineTextureFormats, SixteenBitTexturesLookLikeEightBitOnes) {
    Sandbox box;
    Picture pic = Solid(32, 32, 0xFF808080);  // mid grey, then a translucent orange half
    for (int y = 16; y < 32; ++y)
        for (int x = 0; x < 32; ++x) pic.argb[size_t(y) * 32 + x] = 0x80FF8020;
    WritePng(box.Data("eight.vqtex"), pic);
    WritePng16(box.Data("sixteen.vqtex"), pic);
    setenv("BRISEL_SHOTS", box.Path("shots").c_str(), 1);
    setenv("BRISEL_SHOT_FRAMES", "1", 1);
    InitEngine();
    Api& e = Engine();
    e.Clear(0, 0, 0);
    e.DrawTex(e.LoadTex("eight.vqtex"), 0, 0, 32, 32, 100, 100, 32, 32, 1, 1, 1, 1);
    e.DrawTex(e.LoadTex("sixteen.vqtex"), 0, 0, 32, 32, 200, 100, 32, 32, 1, 1, 1, 1);
    e.Act();
    Picture shot = ReadPng(box.Path("shots/frame-1.png"));
    for (int y : {105, 125}) {
        const uint32_t a = shot.At(110, y), b = shot.At(210, y);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(int((a >> shift) & 255), int((b >> shift) & 255), 1) << std::hex << a << " " << b;
    }
    EXPECT_NEAR(int((shot.At(110, 105) >> 16) & 255), 0x80, 1);  // and the grey is the grey
    e.Free();
}
