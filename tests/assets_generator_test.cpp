// The generator as a program: deterministic output, clear messages on bad input, and the
// icon and font files the rest of the build takes from it.
#include <cairo.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "brisel.h"

extern const BriselIcon kGrappixIcon;

namespace fs = std::filesystem;

namespace {

const std::string kGenerator = GX_ASSETGEN;
const std::string kData = GX_DATA_DIR;
const std::string kGenerated = GX_GENERATED_DIR;
const std::string kFonts = GX_FONTS_DIR;
const std::string kLicence = GX_FONT_LICENCE;

struct Outcome {
    int status;
    std::string err;
};

Outcome Generator(const std::string& args) {
    const fs::path errFile = fs::temp_directory_path() / ("gx_err_" + std::to_string(::getpid()));
    std::string cmd = "'" + kGenerator + "' " + args + " >/dev/null 2>'" + errFile.string() + "'";
    int st = std::system(cmd.c_str());
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    fs::remove(errFile);
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, ss.str()};
}

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("gx_assets_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string str() const { return path_.string(); }

private:
    fs::path path_;
    static inline int counter_ = 0;
};

std::string Generate(const TempDir& d) {
    return "--data '" + d.str() + "/Data' --generated '" + d.str() + "/gen' --fonts '" + kFonts +
           "' --font-licence '" + kLicence + "'";
}

TEST(AssetGenerator, TwoRunsGiveTheSameBytesAsTheBuild) {
    // Builds must be reproducible: the same sources give the same files, on any run.
    TempDir a, b;
    ASSERT_EQ(Generator(Generate(a)).status, 0);
    ASSERT_EQ(Generator(Generate(b) + " --threads 1").status, 0);
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(a.str())) {
        if (!e.is_regular_file()) continue;
        ++files;
        fs::path rel = fs::relative(e.path(), a.str());
        EXPECT_EQ(Bytes(e.path()), Bytes(fs::path(b.str()) / rel)) << rel;
        if (rel.begin()->string() == "Data") {
            EXPECT_EQ(Bytes(e.path()), Bytes(fs::path(kData) / rel.filename()))
                << rel << " differs from the build's";
        }
        EXPECT_EQ(e.path().extension(), e.path().extension() == ".part" ? "" : e.path().extension())
            << "left over: " << rel;
    }
    EXPECT_EQ(files, 2 * 14 + 7 + 2 + 1 + 1 + 6);  // each sheet also twice as fine
}

TEST(AssetGenerator, BadInputIsReportedByNameAndNothingCrashes) {
    TempDir d;
    // An output folder that cannot exist: its parent is a file.
    std::ofstream(d.str() + "/plain") << "x";
    Outcome r = Generator("--data '" + d.str() + "/plain/Data' --generated '" + d.str() + "/gen'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("plain/Data"), std::string::npos) << r.err;

    // Missing fonts name the file and the package to install.
    r = Generator("--data '" + d.str() + "/Data' --generated '" + d.str() + "/gen' --fonts '" + d.str() +
                  "/nofonts'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nofonts/DejaVuSans.ttf"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("fonts-dejavu-core"), std::string::npos) << r.err;

    r = Generator("--bogus");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--bogus"), std::string::npos) << r.err;
    r = Generator("--threads");
    EXPECT_EQ(r.status, 2);
}

TEST(AssetGenerator, ContactSheetNamesADamagedOrMissizedSheet) {
    TempDir d;
    fs::create_directories(d.str() + "/Data");
    for (const auto& e : fs::directory_iterator(kData))
        if (e.path().extension() == ".vqtex")
            fs::copy_file(e.path(), d.str() + "/Data/" + e.path().filename().string());
    Outcome ok = Generator("--contact-sheet '" + d.str() + "/sheet.png' '" + d.str() + "/Data' --fonts '" +
                           kFonts + "'");
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_TRUE(fs::file_size(d.str() + "/sheet.png") > 100000);

    std::ofstream(d.str() + "/Data/lake.vqtex", std::ios::trunc) << "not a picture";
    Outcome bad = Generator("--contact-sheet '" + d.str() + "/sheet2.png' '" + d.str() + "/Data' --fonts '" +
                            kFonts + "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("lake.vqtex"), std::string::npos) << bad.err;

    fs::copy_file(kData + "/smog.vqtex", d.str() + "/Data/lake.vqtex", fs::copy_options::overwrite_existing);
    bad = Generator("--contact-sheet '" + d.str() + "/sheet3.png' '" + d.str() + "/Data' --fonts '" + kFonts +
                    "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("lake.vqtex: is 128 x 128, the game expects 2048 x 512"), std::string::npos)
        << bad.err;
}

TEST(AssetGenerator, WindowIconHoldsFourSizesInOrder) {
    // The engine hands these to the window manager: sizes 16, 32, 48, 64, each a full
    // square of 0xAARRGGBB pixels with a transparent corner and an opaque middle.
    ASSERT_EQ(kGrappixIcon.count, 4);
    const int sizes[] = {16, 32, 48, 64};
    for (int i = 0; i < 4; ++i) {
        const BriselIconImage& img = kGrappixIcon.images[i];
        EXPECT_EQ(img.width, sizes[i]);
        EXPECT_EQ(img.height, sizes[i]);
        ASSERT_NE(img.pixels, nullptr);
        EXPECT_LT(img.pixels[0] >> 24, 0x10u) << "corner";
        EXPECT_EQ(img.pixels[(img.height / 2) * img.width + img.width / 2] >> 24, 0xFFu) << "middle";
    }
    for (int n : {16, 32, 48, 64, 128, 256}) {
        std::string p = kGenerated + "/icons/" + std::to_string(n) + "x" + std::to_string(n) + "/grappix.png";
        cairo_surface_t* s = cairo_image_surface_create_from_png(p.c_str());
        ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS) << p;
        EXPECT_EQ(cairo_image_surface_get_width(s), n);
        EXPECT_EQ(cairo_image_surface_get_height(s), n);
        cairo_surface_destroy(s);
    }
}

TEST(AssetGenerator, CreditsFontIsDejaVuSansWithItsLicence) {
    EXPECT_EQ(Bytes(kData + "/font.ttf"), Bytes(kFonts + "/DejaVuSans.ttf"));
    std::string licence = Bytes(kData + "/font-LICENSE.txt");
    EXPECT_NE(licence.find(Bytes(kLicence)), std::string::npos) << "the package's copyright file, whole";
    EXPECT_NE(licence.find("Bitstream"), std::string::npos);
}

TEST(AssetGenerator, TheListOfPicturesToDecodeAheadNamesOnlyTitlePicturesThatExist) {
    // The engine decodes these while its window opens: a name that is no picture of ours is
    // work wasted at every start, and one the title never loads is memory held for nothing.
    std::istringstream list(Bytes(kData + "/preload.txt"));
    std::string line;
    int names = 0;
    for (const char* title : {"title03.vqtex", "font_128_64.vqtex", "distant_view.vqtex", "lake.vqtex",
                              "ground.vqtex", "roof.vqtex"})
        EXPECT_NE(Bytes(kData + "/preload.txt").find(std::string("\n") + title + "\n"), std::string::npos)
            << title;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        ++names;
        EXPECT_TRUE(fs::is_regular_file(kData + "/" + line)) << line;
        EXPECT_EQ(fs::path(line).extension(), ".vqtex") << line;
    }
    EXPECT_EQ(names, 6);
}

}  // namespace
