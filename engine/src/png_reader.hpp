// png_reader.hpp -- PNG files checked whole before anything is decoded, and decoded fast.
//
// CheckPng walks every chunk and verifies its checksum, so a file that is cut short or
// damaged anywhere is refused when it is loaded, before any decoding starts; the decoding
// can then run later, on another thread. DecodePng takes the common case (8-bit RGB or RGBA,
// not interlaced, which is what the game ships) through libdeflate and one fused pass per
// row (unfilter, premultiply); every other PNG goes through libpng.
#ifndef BRISEL_PNG_READER_HPP
#define BRISEL_PNG_READER_HPP

#include <cstddef>
#include <cstdint>
#include <string>

#include "canvas.hpp"

namespace brisel {

struct PngInfo {
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    // The size of the texture the picture stands for, in the texels that draws address: the
    // picture's own size, unless a `vqSz` chunk says the picture is stored smaller (a picture
    // that is only ever drawn at a small size need not be decoded at a large one) or finer
    // (twice, for large windows).
    uint32_t texWidth = 0, texHeight = 0;
};

// Signature, IHDR first, every chunk inside the file with a correct CRC, at least one IDAT,
// IEND last, and a `vqSz` chunk (if any) before the image data: eight bytes, the texture's
// width and height (big-endian), each at least half the picture's and at most 16 times it. On failure returns
// false with `error` saying what is wrong.
bool CheckPng(const uint8_t* data, size_t size, PngInfo& info, std::string& error);

// Decodes a file CheckPng accepted into premultiplied texels. Returns false with `error` when
// the image data itself is damaged.
bool DecodePng(const uint8_t* data, size_t size, const PngInfo& info, Image& out, std::string& error);

// The same through libpng alone (the reference the fast path is measured and tested against).
bool DecodePngWithLibpng(const uint8_t* data, size_t size, Image& out, std::string& error);

// 0x..RRGGBB pixels, rows top down, as an RGB PNG at path: written beside it and renamed into
// place, so that a picture that exists is whole. False with why (nothing left behind) on failure.
bool WriteRgbPng(const std::string& path, const uint32_t* pixels, int width, int height, std::string& why);

}  // namespace brisel

#endif
