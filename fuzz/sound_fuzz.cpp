// The sound loader: any bytes through LoadSnd (Ogg or WAV, checked and decoded), then
// played, turned down and stopped. A bad file must raise a failure naming it (the game then
// keeps the sound silent), never crash.
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitEngine();
    const std::string& path = fuzz::ScratchPath(".ogg");
    fuzz::WriteScratch(path, data, size);
    try {
        BriselSnd* snd = LoadSnd(path.c_str());
        VolumeSnd(snd, 0.5);
        PlaySnd(snd, 0.0, false, 0.0);
        PlaySnd(snd, LenSnd(snd) * 0.5, true, 0.0);
        StopSnd(snd);
        FreeMem(snd);
    } catch (const BriselFailure&) {}
    return 0;
}
