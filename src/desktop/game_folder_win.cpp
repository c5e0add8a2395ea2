// The game's folder on Windows: the executable's own (GetModuleFileNameW), entered with
// SetCurrentDirectoryW; the caller's folder is kept for the relative names it was given.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "desktop/game_folder.hpp"
#include "desktop/utf8_path.hpp"
#include "win_posix.hpp"

namespace grappix {

namespace {

std::string SystemError() {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string why = text != nullptr ? winposix::Utf8(text) : "error " + std::to_string(GetLastError());
    LocalFree(text);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == '.')) why.pop_back();
    return why;
}

std::string Slashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

}  // namespace

std::string EnterGameFolder() {
    std::wstring exe(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0 || n >= exe.size()) return "cannot find the game's own folder (" + SystemError() + ")";
    exe.resize(n);
    exe.erase(exe.find_last_of(L"\\/"));

    std::string caller;
    const wchar_t* given = _wgetenv(L"GRAPPIX_CALLER_DIR");
    if (given != nullptr && IsAbsolutePath(winposix::Utf8(given))) {
        caller = winposix::Utf8(given);
    } else {
        std::wstring here(32768, L'\0');
        const DWORD m = GetCurrentDirectoryW(static_cast<DWORD>(here.size()), here.data());
        if (m > 0 && m < here.size()) caller = Slashes(winposix::Utf8(here.substr(0, m)));
        if (!caller.empty()) winposix::Setenv("GRAPPIX_CALLER_DIR", caller.c_str());
    }
    for (const wchar_t* name : {L"BRISEL_INPUT", L"BRISEL_TRACE", L"BRISEL_TIMES", L"BRISEL_SHOTS",
                                L"BRISEL_RECORD", L"BRISEL_REPLAY"}) {
        const wchar_t* value = _wgetenv(name);
        if (value == nullptr || value[0] == L'\0') continue;
        const std::string text = winposix::Utf8(value);
        if (IsAbsolutePath(text)) continue;
        if (caller.empty())
            return winposix::Utf8(name) + "=" + text + ": the working folder is gone, give a full path";
        winposix::Setenv(winposix::Utf8(name).c_str(), (caller + "/" + text).c_str());
    }
    if (!SetCurrentDirectoryW(exe.c_str()))
        return Slashes(winposix::Utf8(exe)) + ": cannot enter the game's folder (" + SystemError() + ")";
    return {};
}

}  // namespace grappix
