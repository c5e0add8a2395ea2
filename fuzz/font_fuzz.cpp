// The font loader: any bytes through LoadFont, then text rendered with MakeFontTex at the
// sizes and outlines the game uses. A bad file must raise a failure naming it, never crash.
#include <tuple>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitEngine();
    const std::string& path = fuzz::ScratchPath(".ttf");
    fuzz::WriteScratch(path, data, size);
    try {
        BriselFont* font = LoadFont(path.c_str());
        try {
            // Short texts: rendering is most of the time spent per input.
            for (auto [textSize, outline, text] : {std::tuple{30, 3, "Sound: 1.0"}, std::tuple{72, 4, "Wj"},
                                                   std::tuple{48, 4, "\xc3\xa9\xe2\x82\xac"}}) {
                BriselTex* tex = MakeFontTex(font, textSize, text, outline);
                DrawTex(tex, 0, 0, GetTexW(tex), GetTexH(tex), 0, 0, GetTexW(tex), GetTexH(tex), 1, 1, 1, 1);
                FreeMem(tex);
            }
        } catch (const BriselFailure&) {}
        FreeMem(font);
    } catch (const BriselFailure&) {}
    return 0;
}
