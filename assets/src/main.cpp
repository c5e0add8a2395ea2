// grappix-assetgen: draws and composes every picture and sound the game loads.
//
//   grappix-assetgen --data DIR --generated DIR [--fonts DIR] [--font-licence FILE] [--threads N] [--timings]
//   grappix-assetgen --contact-sheet OUT.png DATA_DIR [--fonts DIR]
//
// The build runs the first form; the second is run by hand to look at the result.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "outputs.hpp"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr,
                 "grappix-assetgen: %s\n"
                 "usage: grappix-assetgen --data DIR --generated DIR [--fonts DIR] [--font-licence FILE] "
                 "[--threads N] [--timings]\n"
                 "       grappix-assetgen --contact-sheet OUT.png DATA_DIR [--fonts DIR]\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    gx::Options o;
    std::string sheetOut, sheetData;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        bool ok = true;
        if (a == "--data")
            ok = value(o.dataDir);
        else if (a == "--generated")
            ok = value(o.generatedDir);
        else if (a == "--fonts")
            ok = value(o.fontsDir);
        else if (a == "--font-licence")
            ok = value(o.fontLicence);
        else if (a == "--timings")
            o.timings = true;
        else if (a == "--threads") {
            std::string n;
            ok = value(n);
            try {
                o.threads = std::stoi(n);
            } catch (...) {
                ok = false;
            }
            if (o.threads < 1 || o.threads > 64) ok = false;
        } else if (a == "--contact-sheet")
            ok = value(sheetOut) && value(sheetData);
        else
            return Usage(("unknown argument " + a).c_str());
        if (!ok) return Usage(("missing or bad value after " + a).c_str());
    }
    try {
        if (!sheetOut.empty()) {
            gx::WriteContactSheet(sheetData, o.fontsDir, sheetOut);
            return 0;
        }
        if (o.dataDir.empty() || o.generatedDir.empty()) return Usage("--data and --generated are required");
        auto t0 = std::chrono::steady_clock::now();
        std::vector<std::string> errors = gx::GenerateAll(o);
        for (const std::string& e : errors) std::fprintf(stderr, "grappix-assetgen: %s\n", e.c_str());
        if (!errors.empty()) return 1;
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        std::printf("grappix-assetgen: assets written in %.0f ms\n", ms);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grappix-assetgen: %s\n", e.what());
        return 1;
    }
}
