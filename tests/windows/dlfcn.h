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
