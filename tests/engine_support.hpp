// engine_support.hpp -- helpers for the engine tests and benchmarks: the real library bound
// by name as the game binds it, a scratch working folder with Data/, a clean environment for
// headless runs, and writers for the PNG, WAV and Ogg files the tests feed the engine.
#pragma once

#include <dlfcn.h>
#include <png.h>
#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "brisel.h"

#ifndef BRISEL_LIBRARY_PATH
#error "BRISEL_LIBRARY_PATH must name the built Brisel.vqd"
#endif

namespace engine_test {

// The 132 entry points and the extensions, bound with dlsym from the real library.
struct Api {
#define ENGINE_TEST_ENTRY(ret, name, params) ret(*name) params = nullptr;
    BRISEL_ENTRY_POINTS(ENGINE_TEST_ENTRY)
    BRISEL_EXTENSIONS(ENGINE_TEST_ENTRY)
#undef ENGINE_TEST_ENTRY
};

#define ENGINE_TEST_NAME(ret, name, params) #name,
inline const std::vector<std::string>& EntryNames() {
    static const std::vector<std::string> names = {BRISEL_ENTRY_POINTS(ENGINE_TEST_NAME)};
    return names;
}

inline const std::vector<std::string>& ExtensionNames() {
    static const std::vector<std::string> names = {BRISEL_EXTENSIONS(ENGINE_TEST_NAME)};
    return names;
}
#undef ENGINE_TEST_NAME

inline void* LibraryHandle() {
    static void* handle = [] {
        void* h = dlopen(BRISEL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (h == nullptr) throw std::runtime_error(std::string("cannot load the engine: ") + dlerror());
        return h;
    }();
    return handle;
}

// The library stays loaded for the whole test process, like in the game.
inline Api& Engine() {
    static Api api = [] {
        Api a;
        void** slots = reinterpret_cast<void**>(&a);
        std::vector<std::string> names = EntryNames();
        names.insert(names.end(), ExtensionNames().begin(), ExtensionNames().end());
        for (size_t i = 0; i < names.size(); ++i) {
            slots[i] = dlsym(LibraryHandle(), names[i].c_str());
            if (slots[i] == nullptr) throw std::runtime_error("missing entry point " + names[i]);
        }
        return a;
    }();
    return api;
}

#if defined(__SSE2__)
inline uint32_t GetMxcsr() {
    uint32_t v;
    __asm__ volatile("stmxcsr %0" : "=m"(v));
    return v;
}

inline void SetMxcsr(uint32_t v) { __asm__ volatile("ldmxcsr %0" : : "m"(v)); }
#else
// No MXCSR: its rounding bits through the C library's environment. Most arm64 cores cannot
// trap, so the exception masks read back as last set.
inline uint32_t& SetMasks() {
    static uint32_t masks = 0x1F80;
    return masks;
}
inline uint32_t GetMxcsr() {
    const int r = std::fegetround();
    const uint32_t bits = r == FE_DOWNWARD ? 1 : r == FE_UPWARD ? 2 : r == FE_TOWARDZERO ? 3 : 0;
    return bits << 13 | SetMasks();
}
inline void SetMxcsr(uint32_t v) {
    static constexpr int kRounding[4] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
    std::fesetround(kRounding[(v >> 13) & 3]);
    SetMasks() = v & 0x1F80;
}
#endif

// A fresh folder with Data/, made the working folder while the object lives, and an
// environment with no BRISEL_* settings and SDL's dummy drivers.
class Sandbox {
public:
    Sandbox() {
        char pattern[] = "/tmp/brisel-test-XXXXXX";
        if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
        std::filesystem::create_directories(root_ / "Data");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_);
        for (const char* name : {"BRISEL_INPUT", "BRISEL_FRAMES", "BRISEL_SEED", "BRISEL_NOPACE",
                                 "BRISEL_SHOTS", "BRISEL_SHOT_FRAMES", "BRISEL_TRACE", "BRISEL_DEBUG",
                                 "BRISEL_TIMES", "BRISEL_FRAMESKIP", "BRISEL_RENDERER", "BRISEL_RECORD",
                                 "BRISEL_REPLAY", "BRISEL_REPLAY_FROM", "BRISEL_REPLAY_FORCE"})
            unsetenv(name);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("BRISEL_NOPACE", "1", 1);
    }
    ~Sandbox() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(root_, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
    std::string Data(const std::string& name) const { return (root_ / "Data" / name).string(); }

    void Write(const std::string& relative, const std::string& bytes) const {
        std::ofstream(root_ / relative, std::ios::binary) << bytes;
    }

private:
    std::filesystem::path root_;
    std::filesystem::path previous_;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- pictures --------------------------------------------------------------------------------

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;  // straight 0xAARRGGBB, rows top down
    uint32_t At(int x, int y) const { return argb[size_t(y) * width + x]; }
};

inline void WritePng(const std::string& path, const Picture& pic) {
    std::vector<uint8_t> rgba(pic.argb.size() * 4);
    for (size_t i = 0; i < pic.argb.size(); ++i) {
        uint32_t p = pic.argb[i];
        rgba[i * 4 + 0] = uint8_t(p >> 16);
        rgba[i * 4 + 1] = uint8_t(p >> 8);
        rgba[i * 4 + 2] = uint8_t(p);
        rgba[i * 4 + 3] = uint8_t(p >> 24);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(pic.width);
    image.height = png_uint_32(pic.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr))
        throw std::runtime_error("cannot write " + path + ": " + image.message);
}

inline Picture ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        throw std::runtime_error("cannot read " + path + ": " + image.message);
    image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
    Picture pic;
    pic.width = int(image.width);
    pic.height = int(image.height);
    pic.argb.resize(size_t(pic.width) * pic.height);
    if (!png_image_finish_read(&image, nullptr, pic.argb.data(), 0, nullptr))
        throw std::runtime_error("cannot decode " + path + ": " + image.message);
    return pic;
}

// The PNG file's bytes with one more chunk (type, body; its CRC computed) put at byte `at`, a
// chunk boundary: 33 is right after the header.
inline std::string WithChunk(std::string png, size_t at, const char* type, const std::string& body) {
    std::string chunk;
    for (int k = 0; k < 4; ++k) chunk += char(uint32_t(body.size()) >> (24 - 8 * k));
    chunk += std::string(type, 4) + body;
    uint32_t crc = 0xFFFFFFFFu;  // CRC-32 of type and body, as PNG defines it
    for (size_t i = 4; i < chunk.size(); ++i) {
        crc ^= uint8_t(chunk[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int k = 0; k < 4; ++k) chunk += char(crc >> (24 - 8 * k));
    return png.insert(at, chunk);
}

// The body of a `vqSz` chunk: a picture standing for a texture of w x h texels.
inline std::string TextureSize(uint32_t w, uint32_t h) {
    std::string body;
    for (uint32_t v : {w, h})
        for (int k = 0; k < 4; ++k) body += char(v >> (24 - 8 * k));
    return body;
}

inline Picture Solid(int w, int h, uint32_t argb) {
    Picture p;
    p.width = w;
    p.height = h;
    p.argb.assign(size_t(w) * h, argb);
    return p;
}

// ---- sounds ------------------------------------------------------------------------------------

// Mono 16-bit PCM sine as a WAV file.
inline std::string WavBytes(double seconds, int rate = 22050, double hz = 440) {
    int frames = int(seconds * rate);
    std::string out;
    auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); };
    out += "RIFF";
    u32(uint32_t(36 + frames * 2));
    out += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(uint32_t(rate));
    u32(uint32_t(rate * 2));
    u16(2);
    u16(16);
    out += "data";
    u32(uint32_t(frames * 2));
    for (int i = 0; i < frames; ++i) u16(uint16_t(int16_t(8000 * std::sin(2 * M_PI * hz * i / rate))));
    return out;
}

// An Ogg Vorbis file of a mono sine; headersOnly stops after the three header packets, like
// a download cut short.
inline std::string OggBytes(double seconds, bool headersOnly = false, int rate = 22050) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    vorbis_encode_init_vbr(&vi, 1, rate, 0.3f);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    std::string out;
    ogg_page og;
    auto take = [&](const ogg_page& page) {
        out.append(reinterpret_cast<const char*>(page.header), size_t(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), size_t(page.body_len));
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    while (ogg_stream_flush(&os, &og) != 0) take(og);
    if (!headersOnly) {
        int frames = int(seconds * rate), done = 0;
        while (true) {
            int n = std::min(1024, frames - done);
            if (n > 0) {
                float** buffer = vorbis_analysis_buffer(&vd, n);
                for (int i = 0; i < n; ++i)
                    buffer[0][i] = 0.3f * std::sin(2 * M_PI * 440 * (done + i) / rate);
                vorbis_analysis_wrote(&vd, n);
                done += n;
            } else {
                vorbis_analysis_wrote(&vd, 0);
            }
            ogg_packet packet;
            bool eos = false;
            while (vorbis_analysis_blockout(&vd, &vb) == 1) {
                vorbis_analysis(&vb, nullptr);
                vorbis_bitrate_addblock(&vb);
                while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                    ogg_stream_packetin(&os, &packet);
                    while (ogg_stream_pageout(&os, &og) != 0) {
                        take(og);
                        if (ogg_page_eos(&og)) eos = true;
                    }
                }
            }
            if (eos || n <= 0) break;
        }
        while (ogg_stream_flush(&os, &og) != 0) take(og);
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

// ---- running the engine --------------------------------------------------------------------------

// Init with the record the game builds; the exception place is the caller's.
inline void InitEngine(uintptr_t* place = nullptr, const char* title = "Grappix ver1.00") {
    BriselInitRecord record{};
    record.buildConstant = 0x5A17C0DE2B9F4E61ull;
    record.flag = 1;
    record.module = nullptr;
    record.icon = nullptr;
    record.exceptionPlace = place;
    record.title = title;
    Engine().Init(&record);
}

// Runs fn and returns the failure it raised; fails the test when nothing was raised.
template <class Fn>
BriselFailure Failure(Fn fn) {
    try {
        fn();
    } catch (const BriselFailure& failure) {
        return failure;
    }
    throw std::runtime_error("expected a BriselFailure, nothing was raised");
}

inline std::string MessageOf(const BriselFailure& f) { return f.Message() != nullptr ? f.Message() : ""; }

}  // namespace engine_test
