// The board's web page: plain HTML and SVG drawn by the server, every text escaped, no script.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "store.hpp"

namespace board {

std::string EscapeHtml(const std::string& text);

// The top of each mode: name, speed, date, a link to the run's page and to its replay.
std::string BoardPage(const std::array<std::vector<Entry>, kModes>& tops);
// One run in one mode: its figures and its plot.
std::string RunPage(const Entry& entry);
// The readout once a second as a line over time, the best speed marked.
std::string PlotSvg(const Entry& entry);

}  // namespace board
