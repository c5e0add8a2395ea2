// The GPU path against the rasteriser: the real game plays the same scripted frames twice in
// a window of an X server of its own (Xvfb, where Mesa's llvmpipe stands in for a GPU), once
// drawn by each, and the screenshots must agree within the tolerance below.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/process.hpp"

#if defined(GRAPPIX_HAVE_ENGINE) && defined(GRAPPIX_HAVE_ASSETS)

namespace grappix {
namespace {

using test::TempDir;

// An X server for the test's games, with a screen of the given size; gone with the object.
class XServer {
public:
    XServer(int width, int height) {
        for (int n = 90 + getpid() % 50; n < 200 && display_.empty(); ++n) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
            const std::string name = ":" + std::to_string(n);
            const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
            pid_ = fork();
            if (pid_ == 0) {
                execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                       static_cast<char*>(nullptr));
                _exit(127);
            }
            for (int wait = 0; wait < 100; ++wait) {  // up to 10 s for its socket
                if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
                    display_ = name;
                    break;
                }
                if (waitpid(pid_, nullptr, WNOHANG) == pid_) break;  // taken, or no Xvfb at all
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
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

Picture ReadPng(const std::string& path) {
    Picture p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) return Picture{};
    p.width = int(image.width);
    p.height = int(image.height);
    return p;
}

// How far two pictures are apart: the mean difference of a channel (0..255), the share of
// pixels with some channel more than kFar apart, and the largest mean difference of a channel
// in a square of kTile x kTile pixels (a small sprite drawn wrong shows there).
constexpr int kFar = 64, kTile = 32;
struct Difference {
    double mean = 0, farShare = 0, worstTile = 0;
};
Difference Compare(const Picture& a, const Picture& b) {
    Difference d;
    size_t far = 0;
    const int tilesX = (a.width + kTile - 1) / kTile, tilesY = (a.height + kTile - 1) / kTile;
    std::vector<double> tiles(size_t(tilesX) * tilesY);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const size_t i = (size_t(y) * a.width + x) * 3;
            int most = 0, sum = 0;
            for (int c = 0; c < 3; ++c) {
                const int diff = std::abs(int(a.rgb[i + c]) - int(b.rgb[i + c]));
                sum += diff;
                most = std::max(most, diff);
            }
            d.mean += sum;
            tiles[size_t(y / kTile) * tilesX + x / kTile] += sum;
            far += most > kFar;
        }
    d.mean /= double(a.rgb.size());
    d.farShare = double(far) / double(a.rgb.size() / 3);
    for (double t : tiles) d.worstTile = std::max(d.worstTile, t / (3.0 * kTile * kTile));
    return d;
}

// The steps shot from the tour: the title (logo, menu text, scenery), the start panel (text,
// translucent rectangles), play (every sheet of the stage, the turned wire and aim ring, smog,
// the display's text), the pause screen over play.
const std::vector<int> kShots = {5, 40, 200, 700, 745};

// One way of drawing the tour: a renderer, in a window of 1600 x 900 times `shrink` (the
// player's settings give its size), whose shots are then scaled down by `shrink`.
struct Way {
    const char* name;
    const char* renderer;
    int shrink;
};

// Plays the tour the way asked, in the X server; the shots land in dir/<way's name>.
test::ProcessResult Play(const XServer& x, const TempDir& dir, const Way& way) {
    TempDir home;  // records of their own: one game's best is not the next one's
    std::string shots;
    for (int s : kShots) shots += (shots.empty() ? "" : ",") + std::to_string(s);
    std::filesystem::create_directories(home / "config/grappix");
    test::WriteFile(home / "config/grappix/settings.ini",
                    "window-width = " + std::to_string(1600 * way.shrink) +
                        "\nwindow-height = " + std::to_string(900 * way.shrink) + "\n");
    test::Env env = test::HeadlessGameEnv(home);
    env.insert(env.end(), {{"SDL_VIDEODRIVER", "x11"},
                           {"DISPLAY", x.Display()},
                           {"BRISEL_RENDERER", way.renderer},
                           {"BRISEL_DEBUG", "1"},
                           {"BRISEL_INPUT", std::string(GRAPPIX_SOURCE_DIR) + "/tests/games/tour.script"},
                           {"BRISEL_FRAMES", std::to_string(kShots.back())},
                           {"BRISEL_SHOTS", dir / way.name},
                           {"BRISEL_SHOT_FRAMES", shots}});
    return test::RunProcess({GRAPPIX_EXE}, GRAPPIX_RUN_DIR, env, 900.0, {"WAYLAND_DISPLAY"});
}

// The picture scaled down by a whole factor, each pixel the mean of its square.
Picture Shrink(const Picture& p, int k) {
    if (k == 1) return p;
    Picture out;
    out.width = p.width / k;
    out.height = p.height / k;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j < k; ++j)
                    for (int i = 0; i < k; ++i)
                        sum += p.rgb[((size_t(y) * k + j) * p.width + x * k + i) * 3 + c];
                out.rgb[(size_t(y) * out.width + x) * 3 + c] = uint8_t((sum + k * k / 2) / (k * k));
            }
    return out;
}

// Guards against a GPU path that draws a sheet, a blend mode, a turned sprite or text otherwise
// than the rasteriser does (wrong cell, colour, tint, blend, turn, clip or text), or that is
// not taken when asked for. The tolerance: the two differ only where sampling does (the GPU
// reads a cell's border from its neighbour, shrinks without the rasteriser's kept copies, and
// rounds its triangles' edges and the tint a little otherwise): measured, a channel mean of
// 0.05 to 0.12 levels and 0.03 to 0.09% of pixels beyond 64 levels. The bounds are four times
// that, and half of what a frame moved a pixel to the side gives (0.98 levels, 0.49%). A small
// sprite drawn wrong hides in those means: its 32-pixel square shows it, where sampling alone
// gives at most 12 levels (the thin turned wire and ring); the bound is twice that.
// Drawn at twice the size (the scale, the letterbox, the viewport's clip and the read-back at
// the window's resolution) and scaled back down, the GPU's picture is sharper than the
// rasteriser's at every edge: measured, up to 0.4 levels, 0.15% and 20 levels a square; the
// bounds are twice that, still under a frame moved a pixel aside.
TEST(GpuPath, DrawsEveryScreenAsTheRasteriserDoes) {
    XServer x(3200, 1900);  // room for a window of 3200 x 1800 and its title bar
    ASSERT_FALSE(x.Display().empty()) << "no Xvfb to run the GPU path on (scripts/setup installs it)";
    TempDir dir;
    struct Bounds {
        double mean, farShare, worstTile;
    };
    const Way software{"software", "software", 1};
    const std::pair<Way, Bounds> ways[] = {
        {{"gpu", "gpu", 1}, {0.5, 0.0025, 24}},
        {{"gpu-2x", "gpu", 2}, {0.8, 0.003, 40}},
    };
    auto play = [&](const Way& way) {
        test::ProcessResult r = Play(x, dir, way);
        ASSERT_EQ(r.status, 0) << way.name << ": " << r.err;
        EXPECT_NE(r.err.find(way.renderer[0] == 'g' ? "drawing on the GPU" : "drawing on the CPU"),
                  std::string::npos)
            << r.err;
    };
    play(software);
    for (const auto& [way, bounds] : ways) {
        play(way);
        for (int step : kShots) {
            SCOPED_TRACE(std::string(way.name) + ", step " + std::to_string(step));
            const std::string name = "/frame-" + std::to_string(step) + ".png";
            const Picture soft = ReadPng(dir / (software.name + name));
            const Picture gpu = Shrink(ReadPng(dir / (way.name + name)), way.shrink);
            ASSERT_EQ(soft.width, 1600);
            ASSERT_EQ(gpu.width, soft.width);
            ASSERT_EQ(gpu.height, soft.height);
            const Difference d = Compare(soft, gpu);
            std::printf("%-7s step %4d: channel mean %.2f, %.2f%% beyond %d, worst square %.2f\n", way.name,
                        step, d.mean, 100 * d.farShare, kFar, d.worstTile);
            EXPECT_LT(d.mean, bounds.mean);
            EXPECT_LT(d.farShare, bounds.farShare);
            EXPECT_LT(d.worstTile, bounds.worstTile);
        }
    }
}

}  // namespace
}  // namespace grappix

#endif
