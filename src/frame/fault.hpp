// Failures and where they came from.
//
// A failure travels as a BriselFailure (a 32-bit code and an optional message). The
// exception place records where the failure now travelling was raised: whoever raises first
// writes the raising site's code address there if it is still empty, a processor fault writes
// the faulting instruction's address, and the handler that catches the failure reads it and
// clears it. The engine receives a pointer to it at initialisation.
#pragma once

#include <cstdint>

#include "brisel.h"

namespace grappix {

// The floating-point environment the game runs under: round toward zero, the invalid
// operation trapped, every other exception masked, no flush-to-zero.
inline constexpr uint32_t kGameMxcsr = 0x7F00;

uintptr_t& ExceptionPlace();

// Raises a failure from the caller's site, recording that site in the exception place.
[[noreturn]] void Raise(uint32_t code, const char* message = nullptr);

// Sets the game's floating-point environment (MXCSR kGameMxcsr; elsewhere the same through
// the C library's environment).
void SetGameFloatingPoint();
// Where the processor cannot trap an invalid operation, fails as the trap would if one
// happened since the setting was made; called after every frame step. Nothing on x86.
void CheckFloatingPoint();
uint32_t ReadMxcsr();
void WriteMxcsr(uint32_t value);

// Invalid floating-point operations and access faults end the run: the handler records the
// faulting address in the exception place, prints one line naming the fault and the place on
// standard error and ends the process with status 1 (returning would re-run the faulting
// instruction for ever, and a core dump helps no player).
void InstallFaultHandlers();

}  // namespace grappix
