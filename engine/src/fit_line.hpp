// fit_line.hpp -- a line of text kept within a width: its end, after "...", as a field shows
// where its text is being typed. Free of SDL: the caller says how wide a line is drawn.
#ifndef BRISEL_FIT_LINE_HPP
#define BRISEL_FIT_LINE_HPP

#include <cstddef>
#include <string>
#include <vector>

namespace brisel {

// The line whole when width(line) <= maxWidth, otherwise "..." and the longest end of it that
// fits, in whole UTF-8 characters ("" when not even "..." fits). width must not grow when a
// line loses its first character.
template <class Width>
std::string FitLineEnd(const std::string& text, double maxWidth, Width width) {
    const auto fits = [&](const std::string& line) { return width(line) <= maxWidth; };
    if (fits(text)) return text;
    std::vector<size_t> starts;  // of the characters after the first, then the end
    for (size_t i = 1; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    starts.push_back(text.size());
    size_t lo = 0, hi = starts.size() - 1;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (fits("..." + text.substr(starts[mid])))
            hi = mid;
        else
            lo = mid + 1;
    }
    const std::string out = "..." + text.substr(starts[lo]);
    return fits(out) ? out : "";
}

}  // namespace brisel

#endif
