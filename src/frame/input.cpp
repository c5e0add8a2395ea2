#include "frame/input.hpp"

#include "frame/engine.hpp"

namespace grappix {

int64_t ButtonCount(int64_t button) { return Engine().Mouse(button); }
int64_t PadCount(int64_t pad, int64_t button) { return Engine().Pad(pad, button); }
double MouseX() { return Engine().MouseX(); }
double MouseY() { return Engine().MouseY(); }

}  // namespace grappix
