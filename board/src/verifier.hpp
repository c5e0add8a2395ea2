// Runs the game's verifier (`grappix --verify FILE`) on a submitted replay in a child process
// that can do little else: limits on processor time (RLIMIT_CPU) and on the wall clock (killed
// with its whole process group), on memory (RLIMIT_AS), on the size of any file it writes
// (RLIMIT_FSIZE) and on open files; a fresh scratch folder that is its HOME, XDG folders and
// TMPDIR, and its only place to write: Landlock takes every write access elsewhere away where
// the kernel has it, and a verifier started as root runs as the unprivileged user "nobody".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "store.hpp"

namespace board {

struct Limits {
    int64_t cpuSeconds = 60;
    int64_t wallSeconds = 90;
    uint64_t memoryBytes = uint64_t{2} << 30;  // 0: none (a verifier built with AddressSanitizer)
    uint64_t fileBytes = uint64_t{1} << 20;
    uint64_t outputBytes = uint64_t{4} << 20;  // what it prints; more is a fault
};

struct Verdict {
    bool verified = false;
    std::string fault;  // refused: why, in one line (the replay called "the replay")
    int64_t step = 0;
    std::string version;
    std::vector<ModeProof> proofs;  // each mode with a speed above 0
};

// The game's version a verifier program reports (`program --version`: "grappix 1.1.0"); "" when
// it cannot be run.
std::string VerifierVersion(const std::string& program);

// Verifies replay (the file's bytes) with program in a scratch folder made under scratchRoot
// and removed after.
Verdict RunVerifier(const std::string& program, const std::string& replay, const std::string& scratchRoot,
                    const Limits& limits);

// Parses the verifier's output; a fault when it is not the one JSON object it prints.
Verdict ParseVerdict(const std::string& output);

// The verifiers a board runs, by the game's version each verifies.
class Verifiers {
public:
    // Asks each program its version; a program that does not answer is an error (thrown).
    explicit Verifiers(const std::vector<std::string>& programs);
    // The program for a replay's version, or "" (and known lists the versions there are).
    std::string For(const std::string& version) const;
    std::string Known() const;

private:
    std::map<std::string, std::string> byVersion_;
};

}  // namespace board
