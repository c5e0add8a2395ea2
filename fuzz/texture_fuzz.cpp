// The texture loader: the bytes of a .vqtex (a PNG) through LoadTex, then drawn whole, scaled
// and turned. A bad file must raise a failure naming it, never crash or read out of bounds.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitEngine();
    const std::string& path = fuzz::ScratchPath(".vqtex");
    fuzz::WriteScratch(path, data, size);
    try {
        BriselTex* tex = LoadTex(path.c_str());
        double w = GetTexW(tex), h = GetTexH(tex);
        DrawTex(tex, 0, 0, w, h, 10, 10, w, h, 1, 1, 1, 1);
        DrawTex(tex, w / 4, h / 4, w / 2, h / 2, -5, 20, 37, 23, 0.5, 1, 1, 0.5);
        DrawTexRot(tex, 0, 0, w, h, 100, 100, w * 1.5, h * 0.5, w / 2, h / 2, 0.7, 1, 1, 1, 1);
        FreeMem(tex);
    } catch (const BriselFailure&) {}
    return 0;
}
