#include "frame/fault.hpp"

#include <signal.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <xmmintrin.h>
#else
#include <cfenv>
#endif

#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <ucontext.h>
#endif

namespace grappix {

namespace {

uintptr_t gExceptionPlace = 0;

// Only async-signal-safe work below: raw write(2) of fixed texts and hand-made hex.
void WriteText(const char* text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, text, left);
        if (n <= 0) return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

void WriteHex(uint64_t value) {
    char buf[19] = "0x";
    for (int i = 0; i < 16; ++i) {
        unsigned digit = static_cast<unsigned>((value >> (60 - 4 * i)) & 0xF);
        buf[2 + i] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    }
    buf[18] = '\0';
    WriteText(buf);
}

[[noreturn]] void ReportFault(int sig, uintptr_t where, uintptr_t address) {
    if (gExceptionPlace == 0) gExceptionPlace = where;
    WriteText("grappix: error ");
    if (sig == SIGFPE) {
        WriteHex(0xC0000090u);
        WriteText(": invalid floating-point operation");
    } else {
        WriteHex(0xC0000005u);
        WriteText(": access violation at ");
        WriteHex(address);
    }
    WriteText(" (place ");
    WriteHex(gExceptionPlace);
    WriteText(")\n");
    _exit(1);
}

#if defined(_WIN32)
// Windows raises structured exceptions instead of signals: the same two reports, from the
// filter of exceptions nothing else handled. SSE's traps arrive as the floating-point codes
// (STATUS_FLOAT_MULTIPLE_TRAPS on x86-64).
LONG WINAPI OnException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& r = *info->ExceptionRecord;
    const uintptr_t where = reinterpret_cast<uintptr_t>(r.ExceptionAddress);
    switch (r.ExceptionCode) {
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK:
    case STATUS_FLOAT_MULTIPLE_FAULTS:
    case STATUS_FLOAT_MULTIPLE_TRAPS: ReportFault(SIGFPE, where, 0);
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_IN_PAGE_ERROR:
        ReportFault(SIGSEGV, where, r.NumberParameters >= 2 ? r.ExceptionInformation[1] : where);
    default: return EXCEPTION_CONTINUE_SEARCH;
    }
}
#else
void OnFault(int sig, siginfo_t* info, void* context) {
    uintptr_t where = reinterpret_cast<uintptr_t>(info->si_addr);
#if defined(__x86_64__)
    if (context != nullptr)
        where = static_cast<uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#else
    (void)context;
#endif
    ReportFault(sig, where, reinterpret_cast<uintptr_t>(info->si_addr));
}
#endif

#if !defined(__SSE2__)
bool gInvalidTraps = false;  // whether the processor traps the invalid operation itself
#endif

}  // namespace

uintptr_t& ExceptionPlace() { return gExceptionPlace; }

[[noreturn]] __attribute__((noinline)) void Raise(uint32_t code, const char* message) {
    if (gExceptionPlace == 0) gExceptionPlace = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    throw BriselFailure(code, message);
}

#if defined(__SSE2__)
uint32_t ReadMxcsr() { return _mm_getcsr(); }
void WriteMxcsr(uint32_t value) { _mm_setcsr(value); }
void CheckFloatingPoint() {}  // the processor traps
#else
// The same setting through the C library's environment: the rounding bits and the invalid
// operation's mask of an MXCSR value. Where the processor cannot trap the invalid operation
// (most arm64 cores), it counts as unmasked all the same: CheckFloatingPoint reports it.
namespace {
bool gInvalidChecked = false;
}
uint32_t ReadMxcsr() {
    uint32_t rounding = 0;
    switch (std::fegetround()) {
    case FE_DOWNWARD: rounding = 1; break;
    case FE_UPWARD: rounding = 2; break;
    case FE_TOWARDZERO: rounding = 3; break;
    default: break;
    }
    return 0x1F00u | (gInvalidChecked ? 0u : 0x80u) | rounding << 13;
}
void WriteMxcsr(uint32_t value) {
    static constexpr int kRounding[4] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
    std::fesetround(kRounding[(value >> 13) & 3]);
    std::feclearexcept(FE_ALL_EXCEPT);
    gInvalidChecked = (value & 0x80u) == 0;
    if (gInvalidChecked)
        gInvalidTraps = feenableexcept(FE_INVALID) != -1;
    else
        fedisableexcept(FE_INVALID);
}
void CheckFloatingPoint() {
    if (gInvalidChecked && !gInvalidTraps && std::fetestexcept(FE_INVALID))
        ReportFault(SIGFPE, reinterpret_cast<uintptr_t>(__builtin_return_address(0)), 0);
}
#endif
void SetGameFloatingPoint() { WriteMxcsr(kGameMxcsr); }

#if defined(_WIN32)
void InstallFaultHandlers() {
    // Room on the stack for the report when the stack itself overflows.
    ULONG reserve = 64 * 1024;
    SetThreadStackGuarantee(&reserve);
    SetUnhandledExceptionFilter(&OnException);
}
#else
void InstallFaultHandlers() {
    // Handlers run on their own stack so that a stack overflow is reported too.
    static char altStack[64 * 1024];
    stack_t ss{};
    ss.ss_sp = altStack;
    ss.ss_size = sizeof altStack;
    sigaltstack(&ss, nullptr);

    struct sigaction sa {};
    sa.sa_sigaction = &OnFault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGFPE, &sa, nullptr);
    sigaction(SIGSEGV, &sa, nullptr);
    sigaction(SIGBUS, &sa, nullptr);
}

#endif

}  // namespace grappix
