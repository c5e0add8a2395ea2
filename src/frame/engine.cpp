#include "frame/engine.hpp"

#include "frame/fault.hpp"

#include <dlfcn.h>
#include <elf.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace grappix {

EngineTable& Engine() {
    static EngineTable table;
    return table;
}

const char* const kEntryPointNames[BRISEL_ENTRY_POINT_COUNT] = {
#define GRAPPIX_ENTRY_NAME(ret, name, params) #name,
    BRISEL_ENTRY_POINTS(GRAPPIX_ENTRY_NAME)};

const char* const kExtensionNames[BRISEL_EXTENSION_COUNT] = {BRISEL_EXTENSIONS(GRAPPIX_ENTRY_NAME)};
#undef GRAPPIX_ENTRY_NAME

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
// The loader maps a library's segments straight from the file and only finds out that the
// file is cut short when it touches a page past its end: the process then dies of SIGBUS
// with nothing to say which file was at fault. So a file that reads as a 64-bit ELF library
// is checked first: every loadable segment must lie inside it. Anything else goes to dlopen
// as it is, whose own message names the file and the fault.
void CheckComplete(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return;  // dlopen says why
    Elf64_Ehdr header{};
    long size = -1;
    std::vector<Elf64_Phdr> segments;
    bool elf = std::fread(&header, sizeof header, 1, f) == 1 &&
               std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64 &&
               header.e_phentsize == sizeof(Elf64_Phdr) && header.e_phnum > 0 && header.e_phnum < 4096;
    if (elf && std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (elf && size >= 0 && std::fseek(f, static_cast<long>(header.e_phoff), SEEK_SET) == 0) {
        segments.resize(header.e_phnum);
        if (std::fread(segments.data(), sizeof(Elf64_Phdr), segments.size(), f) != segments.size())
            segments.clear();
    }
    std::fclose(f);
    uint64_t needed = 0;
    for (const Elf64_Phdr& s : segments)
        if (s.p_type == PT_LOAD && s.p_offset + s.p_filesz > needed) needed = s.p_offset + s.p_filesz;
    if (size >= 0 && needed > static_cast<uint64_t>(size)) {
        std::string text = path + ": the library is cut short (" + std::to_string(size) +
                           " bytes, its code and data need " + std::to_string(needed) + ")";
        Raise(kBindFailure, text.c_str());
    }
}

}  // namespace

void EngineLibrary::Load(const std::string& path) {
    path_ = path;
    CheckComplete(path);
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
    static_assert(
        sizeof(EngineTable) == sizeof(void (*)()) * (BRISEL_ENTRY_POINT_COUNT + BRISEL_EXTENSION_COUNT),
        "the engine table must hold exactly one pointer per entry point and extension");
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
    // An engine built before an extension existed simply lacks it.
    for (int i = 0; i < BRISEL_EXTENSION_COUNT; ++i)
        slots[BRISEL_ENTRY_POINT_COUNT + i] =
            handle_ != nullptr ? dlsym(handle_, kExtensionNames[i]) : nullptr;
}

void EngineLibrary::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

}  // namespace grappix
