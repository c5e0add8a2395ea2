// What a replayed run proves: the best speed figure of each mode, as the game itself showed it,
// and the readout once a second of the game that made it (for a plot). It only listens to the
// run's records (RecordBook), so nothing the game draws or plays changes for it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "records/records_file.hpp"

namespace grappix {

// Told by the run's records of every game begun and every speed figure the display shows.
class RunWatcher {
public:
    virtual ~RunWatcher() = default;
    virtual void GameBegins(int mode) = 0;
    virtual void Figure(int64_t figure) = 0;
};

class RunProof : public RunWatcher {
public:
    static constexpr int64_t kStepsPerSample = 60;  // one readout a second

    // step() is the engine's step number, by which the readout is sampled.
    explicit RunProof(std::function<int64_t()> step) : step_(std::move(step)) {}

    void GameBegins(int mode) override;
    void Figure(int64_t figure) override;

    int64_t Best(int mode) const;
    // The readout once a second of mode's best game (from its first figure on).
    const std::vector<int64_t>& Plot(int mode) const;

    // The one JSON object --verify prints. fault empty: verified; otherwise the fault, at step.
    std::string Json(const std::string& version, const std::string& fault, int64_t step) const;

private:
    struct Game {
        int64_t best = 0;
        std::vector<int64_t> plot;
    };
    std::function<int64_t()> step_;
    int mode_ = -1;
    int64_t firstStep_ = -1;  // the step of the game's first figure
    Game game_;               // the game being played
    std::array<Game, kRecordModes> best_{};
    void Close();  // the game being played becomes its mode's best if it beat it
};

// text as a JSON string, quotes included (control characters and non-ASCII bytes escaped, so
// whatever a file held comes out as plain ASCII).
std::string JsonString(const std::string& text);

}  // namespace grappix
