// The GPU path against the rasteriser: the real game plays the same frames in an X server of
// its own (Xvfb, where Mesa's llvmpipe stands in for a GPU), drawn by each, and the shots agree.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/process.hpp"

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

namespace grappix {
namespace {

// Xvfb on a display it picks itself (-displayfd), gone with the object; Display() is empty
// when none started.
class XServer {
public:
    explicit XServer(const std::string& screen) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0",
                   screen.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The number, then its newline in a write of its own: the pipe stays open for both (Xvfb
        // dies of a closed one).
        std::string number;
        char c = 0;
        while (pid_ > 0 && c != '\n' && read(fds[0], &c, 1) == 1) number += c;
        if (!number.empty() && number.back() == '\n') display_ = ":" + std::to_string(atoi(number.c_str()));
        close(fds[0]);
    }
    ~XServer() {
        if (pid_ > 0 && kill(pid_, SIGTERM) == 0) waitpid(pid_, nullptr, 0);
    }
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

// The PNG, scaled down by a whole factor k (each pixel the mean of its square).
Picture ReadShrunk(const std::string& path, int k) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> rgb;
    if (png_image_begin_read_from_file(&image, path.c_str())) {
        image.format = PNG_FORMAT_RGB;
        rgb.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    }
    Picture p{int(image.width) / k, int(image.height) / k, {}};
    p.rgb.resize(size_t(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width * 3; ++x) {
            int sum = 0;
            for (int j = 0; j < k * k; ++j)
                sum += rgb[(size_t(y * k + j / k) * image.width + (x / 3) * k + j % k) * 3 + x % 3];
            p.rgb[size_t(y) * p.width * 3 + x] = uint8_t((sum + k * k / 2) / (k * k));
        }
    return p;
}

// How far apart: the mean difference of a channel (0..255), the share of pixels with a channel
// more than 64 apart, and the largest mean difference in a square of 32 x 32 pixels (where a
// small sprite drawn wrong shows).
struct Difference {
    double mean = 0, farShare = 0, worstSquare = 0;
};
Difference Compare(const Picture& a, const Picture& b) {
    Difference d;
    std::vector<double> squares(size_t((a.width + 31) / 32) * ((a.height + 31) / 32));
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        int most = 0, sum = 0;
        for (size_t c = i; c < i + 3; ++c) {
            sum += std::abs(int(a.rgb[c]) - int(b.rgb[c]));
            most = std::max(most, std::abs(int(a.rgb[c]) - int(b.rgb[c])));
        }
        const size_t x = i / 3 % a.width, y = i / 3 / a.width;
        squares[y / 32 * ((a.width + 31) / 32) + x / 32] += sum / (3.0 * 32 * 32);
        d.mean += sum / double(a.rgb.size());
        d.farShare += most > 64 ? 3.0 / double(a.rgb.size()) : 0;
    }
    for (double s : squares) d.worstSquare = std::max(d.worstSquare, s);
    return d;
}

// A renderer in a window of 1600 x 900 times `scale` (the settings give its size).
struct Way {
    const char* name;
    const char* renderer;
    int scale;
    double mean, farShare, worstSquare;  // the bounds against the rasteriser's picture
};

// Guards against a GPU path that draws a sheet, blend, turn, clip or text otherwise than the
// rasteriser, at the window's size or twice it, or is not taken when asked for. Shots of the
// tour: title, start panel, play (every sheet of the stage, turned wire and ring, smog, text),
// pause. The two differ only in sampling (cells' borders, shrinking, triangles' edges): at
// 1600 x 900 by 0.05 to 0.08 levels, 0.03 to 0.07% far apart, squares up to 12; at twice the
// size scaled down, where the pictures come from their finer files and text is rasterised at
// twice its size (its glyphs' own shapes at that size), by 0.72 to 1.06, 0.1 to 0.42%, squares
// up to 43 (on the title). The bounds: four and 1.6 times the means, twice the squares
// at 1600 x 900, 1.4 times at twice the size; a wrong turn alone gives 85 in a square.
TEST(GpuPath, DrawsEveryScreenAsTheRasteriserDoes) {
    XServer x("3200x1900x24");  // room for a window of 3200 x 1800 and its title bar
    ASSERT_FALSE(x.Display().empty()) << "no Xvfb to run the GPU path on (scripts/setup installs it)";
    test::TempDir dir;
    const Way ways[] = {{"software", "software", 1, 0, 0, 0},
                        {"gpu", "gpu", 1, 0.5, 0.0025, 24},
                        {"gpu-2x", "gpu", 2, 1.7, 0.006, 60}};
    for (const Way& way : ways) {
        test::TempDir home;  // settings and records of its own
        std::filesystem::create_directories(home / "config/grappix");
        test::WriteFile(home / "config/grappix/settings.ini",
                        "window-width = " + std::to_string(1600 * way.scale) +
                            "\nwindow-height = " + std::to_string(900 * way.scale) + "\n");
        test::Env env = test::HeadlessGameEnv(home);
        env.insert(env.end(), {{"SDL_VIDEODRIVER", "x11"},
                               {"DISPLAY", x.Display()},
                               {"BRISEL_RENDERER", way.renderer},
                               {"BRISEL_DEBUG", "1"},
                               {"BRISEL_INPUT", std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/tour.script"},
                               {"BRISEL_FRAMES", "745"},
                               {"BRISEL_SHOTS", dir / way.name},
                               {"BRISEL_SHOT_FRAMES", "5,40,200,700,745"}});
        test::ProcessResult r =
            test::RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, env, 900.0, {"WAYLAND_DISPLAY"});
        ASSERT_EQ(r.status, 0) << way.name << ": " << r.err;
        EXPECT_NE(r.err.find(way.renderer[0] == 'g' ? "drawing on the GPU" : "drawing on the CPU"),
                  std::string::npos)
            << r.err;
        if (way.scale == 1 && way.renderer[0] == 's') continue;
        for (const char* step : {"5", "40", "200", "700", "745"}) {
            SCOPED_TRACE(std::string(way.name) + ", step " + step);
            const std::string name = std::string("/frame-") + step + ".png";
            const Picture soft = ReadShrunk(dir / ("software" + name), 1);
            const Picture gpu = ReadShrunk(dir / (way.name + name), way.scale);
            ASSERT_EQ(soft.width, 1600);
            ASSERT_EQ(gpu.width, soft.width);
            ASSERT_EQ(gpu.height, soft.height);
            const Difference d = Compare(soft, gpu);
            std::printf("%-7s step %3s: channel mean %.2f, %.3f%% far apart, worst square %.2f\n", way.name,
                        step, d.mean, 100 * d.farShare, d.worstSquare);
            EXPECT_LT(d.mean, way.mean);
            EXPECT_LT(d.farShare, way.farShare);
            EXPECT_LT(d.worstSquare, way.worstSquare);
        }
    }
}

// Guards against the finer pictures and text of a large window reaching the game: a texture
// or text size of theirs, or a draw moved by it, and the replay of a run in a 4K window on the
// GPU path fails its checks (or leaves the trace) when played back at 1600 x 900 by the
// rasteriser. Guards too against the finer pictures not being taken there at all.
TEST(GpuPath, ARunInA4KWindowReplaysAtFullHdInSoftware) {
    XServer x("3840x2300x24");
    ASSERT_FALSE(x.Display().empty()) << "no Xvfb to run the GPU path on (scripts/setup installs it)";
    test::TempDir home;
    std::filesystem::create_directories(home / "config/grappix");
    test::WriteFile(home / "config/grappix/settings.ini", "window-width = 3840\nwindow-height = 2160\n");
    test::Env env = test::HeadlessGameEnv(home, "recorded.trace");
    env.insert(env.end(), {{"SDL_VIDEODRIVER", "x11"},
                           {"DISPLAY", x.Display()},
                           {"BRISEL_RENDERER", "gpu"},
                           {"BRISEL_DEBUG", "1"},
                           {"BRISEL_INPUT", std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/tour.script"},
                           {"BRISEL_FRAMES", "745"}});
    test::ProcessResult r = test::RunProcess({GRAPPIX_EXE, "--record", home / "run.replay"}, GRAPPIX_RUN_DIR,
                                             env, 900.0, {"WAYLAND_DISPLAY"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("in a window of 3840 x 2160"), std::string::npos) << r.err;
    for (const char* finer : {"title03@2x.vqtex", "ese_raf@2x.vqtex", "font_128_64@2x.vqtex"})
        EXPECT_NE(r.err.find(finer), std::string::npos) << finer << " not loaded:\n" << r.err;

    test::WriteFile(home / "config/grappix/settings.ini", "window-width = 1600\nwindow-height = 900\n");
    env = test::HeadlessGameEnv(home, "replayed.trace");
    env.insert(env.end(), {{"BRISEL_RENDERER", "software"}, {"BRISEL_DEBUG", "1"}});
    r = test::RunProcess({GRAPPIX_EXE, "--replay", home / "run.replay"}, GRAPPIX_RUN_DIR, env, 900.0);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("@2x"), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadFile(home / "replayed.trace"), test::ReadFile(home / "recorded.trace"));
}

}  // namespace
}  // namespace grappix

#endif
