// The settings reader (settings.ini): any bytes must give settings within their ranges and
// warnings naming the file, never a crash; and what it read must come back the same through
// a save and a second read.
#include <cstdlib>

#include "desktop/settings.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = fuzz::ScratchPath(".ini");
    fuzz::WriteScratch(path, data, size);
    grappix::SettingsFile file(path);
    std::vector<std::string> warnings;
    const grappix::Settings first = file.Load(warnings);
    for (const std::string& w : warnings)
        if (w.rfind(path, 0) != 0) std::abort();  // every warning names the file
    if (first.musicVolume < 0 || first.musicVolume > 100 || first.effectsVolume < 0 ||
        first.effectsVolume > 100)
        std::abort();
    if (!file.Save(first).empty()) return 0;
    grappix::SettingsFile again(path);
    warnings.clear();
    if (!(again.Load(warnings) == first)) std::abort();
    return 0;
}
