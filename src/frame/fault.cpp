#include "frame/fault.hpp"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <cstdlib>
#include <cstring>

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

void OnFault(int sig, siginfo_t* info, void* context) {
    uintptr_t where = reinterpret_cast<uintptr_t>(info->si_addr);
#if defined(__x86_64__)
    if (context != nullptr)
        where = static_cast<uintptr_t>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#endif
    if (gExceptionPlace == 0) gExceptionPlace = where;
    WriteText("grappix: error ");
    if (sig == SIGFPE) {
        WriteHex(0xC0000090u);
        WriteText(": invalid floating-point operation");
    } else {
        WriteHex(0xC0000005u);
        WriteText(": access violation at ");
        WriteHex(reinterpret_cast<uintptr_t>(info->si_addr));
    }
    WriteText(" (place ");
    WriteHex(gExceptionPlace);
    WriteText(")\n");
    _exit(1);
}

}  // namespace

uintptr_t& ExceptionPlace() { return gExceptionPlace; }

[[noreturn]] __attribute__((noinline)) void Raise(uint32_t code, const char* message) {
    if (gExceptionPlace == 0) gExceptionPlace = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    throw BriselFailure(code, message);
}

uint32_t ReadMxcsr() { return _mm_getcsr(); }
void WriteMxcsr(uint32_t value) { _mm_setcsr(value); }
void SetGameFloatingPoint() { WriteMxcsr(kGameMxcsr); }

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

}  // namespace grappix
