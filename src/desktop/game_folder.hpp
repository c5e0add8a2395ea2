// The game opens its engine library and assets as Data/... from its own folder, the one that
// holds its executable, never from wherever it was started: the working folder must not decide
// what code runs.
#pragma once

#include <string>

namespace grappix {

// Makes the executable's folder the working folder. Before leaving the caller's folder, the
// file names the engine takes from the environment (BRISEL_INPUT, BRISEL_TRACE, BRISEL_TIMES,
// BRISEL_SHOTS, BRISEL_RECORD, BRISEL_REPLAY) are made absolute, and the caller's folder is
// kept in GRAPPIX_CALLER_DIR for the names on the command line, so relative names keep meaning
// the caller's folder (a launcher that already set GRAPPIX_CALLER_DIR is taken at its word).
// Returns an empty string, or one line saying why the folder cannot be entered.
std::string EnterGameFolder();

}  // namespace grappix
