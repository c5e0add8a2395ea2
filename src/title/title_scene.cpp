#include "title/title_scene.hpp"

#include "frame/media.hpp"

namespace grappix {

GameMode RunTitle() {
    // Until the title screen is drawn, the title only steps frames.
    for (;;) NextFrame();
}

}  // namespace grappix
