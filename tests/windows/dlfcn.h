// <dlfcn.h> for the tests of a Windows build: a library loaded with LoadLibraryW and its entry
// points found with GetProcAddress, as the game binds the engine.
#pragma once

#include <windows.h>

#include <string>

#define WINPOSIX_NO_MACROS
#include "win_posix.hpp"

#define RTLD_NOW 2
#define RTLD_LOCAL 0

inline std::string& DlfcnLastError() {
    static std::string message;
    return message;
}

inline void* dlopen(const char* path, int) {
    HMODULE module = LoadLibraryW(winposix::Wide(path).c_str());
    if (module == nullptr) DlfcnLastError() = std::string(path) + ": error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}

inline void* dlsym(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

inline const char* dlerror() { return DlfcnLastError().c_str(); }

// Which module an address lies in: its base address, as dladdr's dli_fbase.
struct Dl_info {
    const char* dli_fname = "";
    void* dli_fbase = nullptr;
    const char* dli_sname = nullptr;
    void* dli_saddr = nullptr;
};

inline int dladdr(const void* address, Dl_info* info) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(address), &module))
        return 0;
    info->dli_fbase = reinterpret_cast<void*>(module);
    return 1;
}
