#include "frame/engine.hpp"

#include "frame/fault.hpp"

#include <dlfcn.h>

#include <cstring>

namespace grappix {

EngineTable& Engine() {
    static EngineTable table;
    return table;
}

const char* const kEntryPointNames[BRISEL_ENTRY_POINT_COUNT] = {
#define GRAPPIX_ENTRY_NAME(ret, name, params) #name,
    BRISEL_ENTRY_POINTS(GRAPPIX_ENTRY_NAME)
#undef GRAPPIX_ENTRY_NAME
};

EngineLibrary::~EngineLibrary() { Unload(); }

namespace {
// In a build under AddressSanitizer the library stays mapped after it is closed: the leak check
// runs at exit, and a library unmapped before it leaves only "<unknown module>" frames, for
// the engine's own leaks and for the libraries under it alike.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kKeepMapped = RTLD_NODELETE;
#else
constexpr int kKeepMapped = 0;
#endif
}  // namespace

void EngineLibrary::Load(const std::string& path) {
    path_ = path;
    dlerror();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepMapped);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        std::string text = why != nullptr ? why : (path + ": cannot be loaded");
        Raise(kBindFailure, text.c_str());
    }
}

void EngineLibrary::Bind(EngineTable& table) {
    // The table is a plain sequence of function pointers in binding order, so it can be
    // filled by index from the name list.
    static_assert(sizeof(EngineTable) == sizeof(void (*)()) * BRISEL_ENTRY_POINT_COUNT,
                  "the engine table must hold exactly one pointer per entry point");
    auto* slots = reinterpret_cast<void**>(&table);
    for (int i = 0; i < BRISEL_ENTRY_POINT_COUNT; ++i) {
        dlerror();
        void* symbol = handle_ != nullptr ? dlsym(handle_, kEntryPointNames[i]) : nullptr;
        if (symbol == nullptr) {
            std::string text = path_ + ": entry point " + kEntryPointNames[i] + " is missing";
            Raise(kBindFailure, text.c_str());
        }
        slots[i] = symbol;
    }
}

void EngineLibrary::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace grappix
