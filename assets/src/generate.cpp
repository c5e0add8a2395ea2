#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "audio.hpp"
#include "layout.hpp"
#include "outputs.hpp"
#include "pictures.hpp"

namespace fs = std::filesystem;

namespace gx {

namespace {

// Every file is written beside its final name and renamed into place, so an interrupted
// build never leaves a half-written file that looks finished.
template <typename WriteFn>
void WriteAtomically(const std::string& path, WriteFn&& write) {
    const std::string part = path + ".part";
    try {
        write(part);
        fs::rename(part, path);
    } catch (...) {
        std::error_code ec;
        fs::remove(part, ec);
        throw;
    }
}

void WriteText(const std::string& path, const std::string& text) {
    WriteAtomically(path, [&](const std::string& p) {
        std::ofstream out(p, std::ios::binary);
        out << text;
        out.flush();
        if (!out) throw std::runtime_error(p + ": write failed");
    });
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot read");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// 0xAARRGGBB, straight alpha, rows top down: what the engine's icon record holds.
std::vector<uint32_t> IconPixels(int size) {
    Canvas c = DrawIcon(size);
    cairo_surface_flush(c.surface());
    const unsigned char* data = cairo_image_surface_get_data(c.surface());
    const int stride = cairo_image_surface_get_stride(c.surface());
    std::vector<uint32_t> px;
    for (int y = 0; y < size; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < size; ++x) {
            uint32_t p = row[x], a = p >> 24;
            uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a != 0 && a != 255) {
                r = std::min(255u, (r * 255 + a / 2) / a);
                g = std::min(255u, (g * 255 + a / 2) / a);
                b = std::min(255u, (b * 255 + a / 2) / a);
            }
            px.push_back(a << 24 | r << 16 | g << 8 | b);
        }
    }
    return px;
}

std::string IconSource() {
    std::ostringstream s;
    s << "// Written by grappix-assetgen: the window icon in the sizes the engine hands to the\n"
         "// window manager. Do not edit; change assets/src/props.cpp (DrawIcon) instead.\n"
         "#include \"brisel.h\"\n\nnamespace {\n\n";
    for (int size : kWindowIconSizes) {
        std::vector<uint32_t> px = IconPixels(size);
        s << "const uint32_t kIcon" << size << "[" << px.size() << "] = {";
        for (size_t i = 0; i < px.size(); ++i) {
            if (i % 8 == 0) s << "\n   ";
            char buf[16];
            std::snprintf(buf, sizeof buf, " 0x%08X,", px[i]);
            s << buf;
        }
        s << "\n};\n\n";
    }
    s << "const BriselIconImage kImages[" << kWindowIconSizes.size() << "] = {\n";
    for (int size : kWindowIconSizes) s << "    {" << size << ", " << size << ", kIcon" << size << "},\n";
    s << "};\n\n}  // namespace\n\n"
      << "extern const BriselIcon kGrappixIcon = {" << kWindowIconSizes.size() << ", kImages};\n";
    return s.str();
}

std::string LicenceText(const std::string& copyright) {
    return "Fonts in this folder\n"
           "====================\n\n"
           "font.ttf is DejaVu Sans (DejaVuSans.ttf) as shipped by Debian's fonts-dejavu-core\n"
           "package, copied unchanged. The lettering of title03.vqtex, combo.vqtex and the\n"
           "glyph sheet font_128_64.vqtex (and of their @2x copies) is drawn with DejaVu Sans\n"
           "Bold, DejaVu Sans Bold Oblique and DejaVu Sans Mono Bold from the same package.\n"
           "Their licence, from /usr/share/doc/fonts-dejavu-core/copyright, follows.\n\n" +
           copyright;
}

struct Job {
    std::string name;
    std::function<void()> run;
};

std::vector<std::string> RunJobs(const std::vector<Job>& jobs, int threads, bool timings) {
    std::atomic<size_t> next{0};
    std::mutex m;
    std::vector<std::string> errors;
    auto worker = [&]() {
        for (size_t i; (i = next++) < jobs.size();) {
            auto t0 = std::chrono::steady_clock::now();
            try {
                jobs[i].run();
                if (timings) {
                    double ms =
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                            .count();
                    std::lock_guard<std::mutex> lock(m);
                    std::printf("  %-22s %7.1f ms\n", jobs[i].name.c_str(), ms);
                }
            } catch (const std::exception& e) {
                std::lock_guard<std::mutex> lock(m);
                errors.push_back(e.what());
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
    return errors;
}

}  // namespace

std::vector<std::string> GenerateAll(const Options& o) {
    for (const std::string& dir : {o.dataDir, o.generatedDir}) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec || !fs::is_directory(dir))
            return {dir + ": cannot create the output folder (" + ec.message() + ")"};
    }
    const FontFiles fonts{o.fontsDir + "/DejaVuSans.ttf", o.fontsDir + "/DejaVuSans-Bold.ttf",
                          o.fontsDir + "/DejaVuSans-BoldOblique.ttf",
                          o.fontsDir + "/DejaVuSansMono-Bold.ttf"};
    for (const std::string& f :
         {fonts.sans, fonts.sansBold, fonts.sansBoldOblique, fonts.monoBold, o.fontLicence})
        if (!fs::is_regular_file(f)) return {f + ": missing (install Debian's fonts-dejavu-core)"};

    const std::string data = o.dataDir + "/";
    // Each sheet twice: as the game addresses it, and drawn twice as fine for large windows
    // (the same texture size in its file, so the game sees no difference).
    auto tex = [&](const char* file, std::function<Canvas()> draw, int scale = 1) -> Job {
        const std::string out = scale == 1 ? std::string(file) : FinerName(file);
        return {out, [=]() {
                    ScaledCanvases finer(scale);
                    Canvas c = draw();
                    const SheetLayout& l = SheetNamed(file);
                    if (c.width() != l.storedWidth * scale || c.height() != l.storedHeight * scale)
                        throw std::runtime_error(out + ": drawn at the wrong size");
                    WriteAtomically(data + out, [&](const std::string& p) {
                        if (l.StoredSmaller() || scale != 1)
                            c.WritePng(p, l.width, l.height);
                        else
                            c.WritePng(p);
                    });
                }};
    };
    auto snd = [&](const char* file, int serial, float quality, std::function<audio::Sound()> make) -> Job {
        return {file, [=]() {
                    audio::Sound s = make();
                    WriteAtomically(data + file,
                                    [&](const std::string& p) { audio::WriteOgg(s, p, serial, quality); });
                }};
    };

    // Longest first, so two workers finish together.
    std::vector<Job> jobs = {
        snd("chaser3.ogg", 0x47A3, 0.3f, audio::ComposeGameMusic),
        snd("chaser.ogg", 0x47A1, 0.3f, audio::ComposeTitleMusic),
        tex(
            "title03.vqtex", [=] { return DrawLogo(fonts); }, 2),
        tex("ese_raf.vqtex", DrawCharacter, 2),
        tex("block.vqtex", DrawBlocks, 2),
        tex("distant_view.vqtex", DrawDistantView, 2),
        tex("lake.vqtex", DrawLake, 2),
        tex(
            "combo.vqtex", [=] { return DrawBanners(fonts); }, 2),
        tex("anchor.vqtex", DrawAnchor, 2),
        tex(
            "font_128_64.vqtex", [=] { return DrawGlyphs(fonts); }, 2),
        tex("ground.vqtex", DrawGround, 2),
        tex("roof.vqtex", DrawRoof, 2),
        tex("ring.vqtex", DrawRing, 2),
        tex("wire.vqtex", DrawWire, 2),
        tex("hookpoint.vqtex", DrawHookPoints, 2),
        tex("smog.vqtex", DrawSmog, 2),
        tex("title03.vqtex", [=] { return DrawLogo(fonts); }),
        tex("ese_raf.vqtex", DrawCharacter),
        tex("block.vqtex", DrawBlocks),
        tex("distant_view.vqtex", DrawDistantView),
        tex("lake.vqtex", DrawLake),
        tex("combo.vqtex", [=] { return DrawBanners(fonts); }),
        tex("anchor.vqtex", DrawAnchor),
        tex("font_128_64.vqtex", [=] { return DrawGlyphs(fonts); }),
        tex("ground.vqtex", DrawGround),
        tex("roof.vqtex", DrawRoof),
        tex("ring.vqtex", DrawRing),
        tex("wire.vqtex", DrawWire),
        tex("hookpoint.vqtex", DrawHookPoints),
        tex("smog.vqtex", DrawSmog),
        snd("arrow01.ogg", 0x5101, 0.5f, audio::MakeShot),
        snd("hit_p13_a.ogg", 0x5102, 0.5f, audio::MakeHit),
        snd("attack00.ogg", 0x5103, 0.5f, audio::MakeStep),
        snd("power32.ogg", 0x5104, 0.5f, audio::MakeLevelUp),
        snd("down.ogg", 0x5105, 0.5f, audio::MakeLevelDown),
        {"font.ttf",
         [=]() {
             WriteAtomically(data + "font.ttf", [&](const std::string& p) {
                 fs::copy_file(fonts.sans, p, fs::copy_options::overwrite_existing);
             });
             WriteText(data + "font-LICENSE.txt", LicenceText(ReadText(o.fontLicence)));
         }},
        // The title's pictures, which the engine starts decoding as it starts (largest first):
        // the title then shows as soon as the window is open.
        {"preload.txt",
         [=]() {
             WriteText(data + "preload.txt",
                       "# Pictures the first scene loads: the engine decodes them while its window opens.\n"
                       "title03.vqtex\ndistant_view.vqtex\nlake.vqtex\nfont_128_64.vqtex\nground.vqtex\n"
                       "roof.vqtex\n");
         }},
        {"grappix_icon.cpp", [=]() { WriteText(o.generatedDir + "/grappix_icon.cpp", IconSource()); }},
        {"desktop icons",
         [=]() {
             for (int size : kDesktopIconSizes) {
                 std::string dir =
                     o.generatedDir + "/icons/" + std::to_string(size) + "x" + std::to_string(size);
                 fs::create_directories(dir);
                 Canvas c = DrawIcon(size);
                 WriteAtomically(dir + "/grappix.png", [&](const std::string& p) { c.WritePng(p); });
             }
         }},
    };
    return RunJobs(jobs, o.threads, o.timings);
}

}  // namespace gx
