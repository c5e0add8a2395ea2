#include "records/run_proof.hpp"

#include <cstdio>

namespace grappix {

void RunProof::Close() {
    if (mode_ >= 0 && game_.best > best_[static_cast<size_t>(mode_)].best)
        best_[static_cast<size_t>(mode_)] = std::move(game_);
    game_ = Game{};
    firstStep_ = -1;
}

void RunProof::GameBegins(int mode) {
    Close();
    mode_ = mode >= 0 && mode < kRecordModes ? mode : -1;
}

void RunProof::Figure(int64_t figure) {
    if (mode_ < 0) return;
    const int64_t step = step_();
    if (firstStep_ < 0) firstStep_ = step;
    if ((step - firstStep_) % kStepsPerSample == 0) game_.plot.push_back(figure);
    if (figure > game_.best) game_.best = figure;
}

int64_t RunProof::Best(int mode) const {
    if (mode < 0 || mode >= kRecordModes) return 0;
    const size_t m = static_cast<size_t>(mode);
    return mode == mode_ && game_.best > best_[m].best ? game_.best : best_[m].best;
}

const std::vector<int64_t>& RunProof::Plot(int mode) const {
    static const std::vector<int64_t> kNone;
    if (mode < 0 || mode >= kRecordModes) return kNone;
    const size_t m = static_cast<size_t>(mode);
    return mode == mode_ && game_.best > best_[m].best ? game_.plot : best_[m].plot;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string RunProof::Json(const std::string& version, const std::string& fault, int64_t step) const {
    std::string json = "{\"verified\":" + std::string(fault.empty() ? "true" : "false");
    if (!fault.empty()) json += ",\"fault\":" + JsonString(fault);
    json += ",\"step\":" + std::to_string(step) + ",\"version\":" + JsonString(version) + ",\"best\":{";
    for (int m = 0; m < kRecordModes; ++m)
        json += std::string(m > 0 ? "," : "") + "\"" + RecordModeName(m) + "\":" + std::to_string(Best(m));
    json += "},\"plot\":{";
    for (int m = 0; m < kRecordModes; ++m) {
        json += std::string(m > 0 ? "," : "") + "\"" + RecordModeName(m) + "\":[";
        const std::vector<int64_t>& plot = Plot(m);
        for (size_t i = 0; i < plot.size(); ++i) json += (i > 0 ? "," : "") + std::to_string(plot[i]);
        json += "]";
    }
    return json + "},\"seconds_per_point\":1}";
}

}  // namespace grappix
