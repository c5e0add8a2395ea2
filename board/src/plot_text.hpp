// A run's readout once a second as the stores keep it: the figures, comma-separated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace board {

inline std::string PlotText(const std::vector<int64_t>& plot) {
    std::string text;
    for (size_t i = 0; i < plot.size(); ++i) text += (i > 0 ? "," : "") + std::to_string(plot[i]);
    return text;
}

inline std::vector<int64_t> ParsePlotText(const std::string& text) {
    std::vector<int64_t> plot;
    int64_t v = 0;
    bool any = false;
    for (char c : text) {
        if (c >= '0' && c <= '9' && v < (int64_t{1} << 40)) {
            v = v * 10 + (c - '0');
            any = true;
        } else if (c == ',') {
            plot.push_back(any ? v : 0);
            v = 0;
            any = false;
        }
    }
    if (any) plot.push_back(v);
    return plot;
}

}  // namespace board
