#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cstdio>

#include "desktop/windows_start.hpp"
#include "win_posix.hpp"

namespace grappix {

std::vector<std::string> WindowsArguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(winposix::Utf8(argv[i]));
    LocalFree(argv);
    return args;
}

void AttachParentConsole() {
    // A handle that is already there (a file, a pipe, a console of our own) is kept.
    auto missing = [](DWORD which) {
        HANDLE h = GetStdHandle(which);
        return h == nullptr || h == INVALID_HANDLE_VALUE || GetFileType(h) == FILE_TYPE_UNKNOWN;
    };
    const bool out = missing(STD_OUTPUT_HANDLE), err = missing(STD_ERROR_HANDLE);
    if (!out && !err) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    SetConsoleOutputCP(CP_UTF8);
    if (out) std::freopen("CONOUT$", "w", stdout);
    if (err) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace grappix
