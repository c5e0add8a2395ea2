// What the generator writes and where: the run folder's Data/ (textures, sounds, the
// credits font and its licence) and the build's generated folder (the window icon as C++
// source, and PNG icons for desktop installation).
#pragma once

#include <string>
#include <vector>

namespace gx {

struct Options {
    std::string dataDir;       // textures, sounds, font.ttf
    std::string generatedDir;  // grappix_icon.cpp, icons/<N>x<N>/grappix.png
    std::string fontsDir = "/usr/share/fonts/truetype/dejavu";
    std::string fontLicence = "/usr/share/doc/fonts-dejavu-core/copyright";
    int threads = 2;
    bool timings = false;  // print how long each output took
};

// Writes every output. Returns the problems met (empty on success); each names its file.
std::vector<std::string> GenerateAll(const Options& options);

// The file of a sheet drawn twice as fine: "ring.vqtex" -> "ring@2x.vqtex".
inline std::string FinerName(const std::string& file) {
    const size_t dot = file.rfind('.');
    return dot == std::string::npos ? file + "@2x" : file.substr(0, dot) + "@2x" + file.substr(dot);
}

// The icon sizes handed to the window (in this order) and those installed for desktops.
inline const std::vector<int> kWindowIconSizes = {16, 32, 48, 64};
inline const std::vector<int> kDesktopIconSizes = {16, 32, 48, 64, 128, 256};

// The contact sheet: every cell the game uses from every sheet in dataDir, labelled, and a
// preview of the stage put together as the game lays it out.
void WriteContactSheet(const std::string& dataDir, const std::string& fontsDir, const std::string& outPng);

}  // namespace gx
