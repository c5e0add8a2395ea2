// The pad reader of the play loop: for ten buttons of pad 0, whether each is down, went down
// this frame or came up this frame. Nothing is buffered: a flag describes only the frame of
// the last Update.
#pragma once

#include <array>
#include <cstdint>

namespace grappix {

// One flag per button position (see PadInput for the order).
struct PadFlags {
    std::array<bool, 10> flag{};
};

// The count each button had at the previous Update (0 before the first).
struct PadCounts {
    std::array<int64_t, 10> count{};
};

class PadInput {
public:
    // The engine's pad buttons in position order: the four directions first, then 0 to 5.
    static constexpr std::array<int64_t, 10> kButtons = {14, 15, 12, 13, 0, 1, 2, 3, 4, 5};

    void Prepare();  // every flag false, every stored count 0
    void Update();   // reads pad 0 once and derives the flags of every button

    // Went down this frame (count exactly 1).
    bool Pressed12() const;
    bool Pressed13() const;
    bool Pressed14() const;
    bool Pressed15() const;
    bool Pressed0() const;
    bool Pressed1() const;
    bool Pressed2() const;
    bool Pressed3() const;
    bool Pressed4() const;
    bool Pressed5() const;
    // Down (count above 0).
    bool Held14() const;
    bool Held15() const;
    bool Held12() const;
    bool Held13() const;
    bool Held0() const;
    bool Held1() const;
    bool Held2() const;
    bool Held3() const;
    bool Held4() const;
    bool Held5() const;
    // Came up this frame (count below the previous frame's).
    bool Released12() const;
    bool Released13() const;
    bool Released14() const;
    bool Released15() const;
    bool Released0() const;
    bool Released1() const;
    bool Released2() const;
    bool Released3() const;
    bool Released4() const;
    bool Released5() const;

    // The same flags by engine button number (false for a button not read).
    bool Pressed(int64_t button) const;
    bool Held(int64_t button) const;
    bool Released(int64_t button) const;

private:
    static int Position(int64_t button);  // -1 when the button is not one of the ten

    PadFlags released;
    PadFlags held;
    PadFlags pressed;
    PadCounts prevCount;
};

}  // namespace grappix
