// png_bench -- the engine's PNG decoding against libpng's, on the game's own pictures.
//
//   png_bench [Data folder]   (default: this build's run folder's Data/)
//
// For every .vqtex: the check of the whole file (chunks and checksums), the fast path
// (libdeflate, fused unfilter and premultiply) and libpng's simplified interface decoding into
// the same premultiplied texels, best of 5 each, and whether both give the same picture.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "png_reader.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::path(GRAPPIX_RUN_DIR) / "Data";
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".vqtex") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::printf("%-22s %11s %9s %9s %9s %7s  %s\n", "picture", "size", "check", "fast", "libpng", "ratio",
                "same");
    double totalFast = 0, totalLibpng = 0;
    bool allSame = true;
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        brisel::PngInfo info;
        std::string error;
        double check = 1e9, fast = 1e9, reference = 1e9;
        bool same = true;
        for (int round = 0; round < 5; ++round) {
            brisel::Image a, b;
            auto t0 = Clock::now();
            const bool ok = brisel::CheckPng(data.data(), data.size(), info, error);
            auto t1 = Clock::now();
            const bool decoded = ok && brisel::DecodePng(data.data(), data.size(), info, a, error);
            auto t2 = Clock::now();
            const bool decodedToo = brisel::DecodePngWithLibpng(data.data(), data.size(), b, error);
            auto t3 = Clock::now();
            if (!decoded || !decodedToo) {
                std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
                return 1;
            }
            check = std::min(check, std::chrono::duration<double, std::milli>(t1 - t0).count());
            fast = std::min(fast, std::chrono::duration<double, std::milli>(t2 - t1).count());
            reference = std::min(reference, std::chrono::duration<double, std::milli>(t3 - t2).count());
            same = same && a.texels == b.texels && a.translucent == b.translucent;
        }
        totalFast += check + fast;
        totalLibpng += reference;
        allSame = allSame && same;
        const std::string size = std::to_string(info.width) + " x " + std::to_string(info.height);
        std::printf("%-22s %11s %6.2f ms %6.1f ms %6.1f ms %6.2fx  %s\n", path.filename().c_str(),
                    size.c_str(), check, fast, reference, reference / (check + fast), same ? "yes" : "NO");
    }
    std::printf("%-22s %11s %9s %6.1f ms %6.1f ms %6.2fx  %s\n", "all, check included", "", "", totalFast,
                totalLibpng, totalLibpng / totalFast, allSame ? "yes" : "NO");
    return allSame ? 0 : 1;
}
