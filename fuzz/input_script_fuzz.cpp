// The input script parser (BRISEL_INPUT): any text must give either events or one error
// naming the file and a line, never a crash; and the events it accepts must be ones the
// engine can apply without further checks.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "brisel.h"
#include "input_script.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    brisel::ParsedScript parsed = brisel::ParseInputScript(text, "input.txt");
    if (!parsed.error.empty()) {
        if (!parsed.events.empty() || parsed.error.rfind("input.txt:", 0) != 0) std::abort();
        return 0;
    }
    int64_t previous = 1;
    for (const brisel::ScriptEvent& e : parsed.events) {
        if (e.step < previous || e.line < 1) std::abort();  // sorted by step, from 1
        previous = e.step;
        using Type = brisel::ScriptEvent::Type;
        if (e.type == Type::Down || e.type == Type::Up) {
            using Source = brisel::ScriptEvent::Source;
            int limit = e.source == Source::Mouse ? 3 : (e.source == Source::Pad ? 16 : BRISEL_KEY_COUNT);
            if (e.button < 0 || e.button >= limit) std::abort();
        }
        if (e.type == Type::Mouse && (!(e.x == e.x) || !(e.y == e.y))) std::abort();
    }
    return 0;
}
