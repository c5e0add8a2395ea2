#include "frame/engine.hpp"

#include "frame/fault.hpp"

#include <cstdio>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include "win_posix.hpp"
#else
#include <dlfcn.h>
#include <elf.h>
#endif

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

#if defined(_WIN32)

// Windows: the engine is a DLL, bound by name with LoadLibraryW and GetProcAddress. A file cut
// short or not a DLL at all is refused by the loader itself, with its own reason.
namespace {

std::string LoadFault(const std::string& path) {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string why = text != nullptr ? winposix::Utf8(text) : "error " + std::to_string(code);
    LocalFree(text);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' ')) why.pop_back();
    return path + ": cannot be loaded (" + why + ")";
}

void* Symbol(void* handle, const char* name) {
    return handle != nullptr ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name))
                             : nullptr;
}

}  // namespace

void EngineLibrary::Load(const std::string& path) {
    path_ = path;
    // No error boxes: a missing library under it is reported here, not in a dialogue.
    const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::wstring wide = winposix::Wide(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    handle_ = LoadLibraryW(wide.c_str());
    if (handle_ == nullptr) Raise(kBindFailure, LoadFault(path).c_str());
}

void EngineLibrary::Unload() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
        handle_ = nullptr;
    }
}

#else

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

namespace {

void* Symbol(void* handle, const char* name) {
    dlerror();
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

}  // namespace

void EngineLibrary::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

#endif

void EngineLibrary::Bind(EngineTable& table) {
    // The table is a plain sequence of function pointers in binding order, so it can be
    // filled by index from the name list.
    static_assert(
        sizeof(EngineTable) == sizeof(void (*)()) * (BRISEL_ENTRY_POINT_COUNT + BRISEL_EXTENSION_COUNT),
        "the engine table must hold exactly one pointer per entry point and extension");
    auto* slots = reinterpret_cast<void**>(&table);
    for (int i = 0; i < BRISEL_ENTRY_POINT_COUNT; ++i) {
        void* symbol = Symbol(handle_, kEntryPointNames[i]);
        if (symbol == nullptr) {
            std::string text = path_ + ": entry point " + kEntryPointNames[i] + " is missing";
            Raise(kBindFailure, text.c_str());
        }
        slots[i] = symbol;
    }
    // An engine built before an extension existed simply lacks it.
    for (int i = 0; i < BRISEL_EXTENSION_COUNT; ++i)
        slots[BRISEL_ENTRY_POINT_COUNT + i] = Symbol(handle_, kExtensionNames[i]);
}

}  // namespace grappix
