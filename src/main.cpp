// Grappix: a fast 2D action game on a grappling wire. The executable runs from its own folder,
// the one that holds Data/ (the engine library and the assets), wherever it is started from;
// `grappix --help` lists its options.
//
// The entry point sits above every other part of the game: the program frame below knows
// nothing of the scenes, and is handed the loop that runs them.
#include <cstdio>
#include <string>
#include <vector>

#include "desktop/game_folder.hpp"
#include "desktop/terminal_line.hpp"
#include "frame/program.hpp"
#include "game/game_scene.hpp"
#include "title/title_scene.hpp"
#if defined(_WIN32)
#include "desktop/windows_start.hpp"
#endif

#ifdef GRAPPIX_HAVE_ICON
extern const BriselIcon kGrappixIcon;
#endif

namespace {

// The title picks a mode, the game plays it until the player returns to the title, and so on
// until the run ends. Nothing carries over from one scene to the next.
void RunScenes() {
    for (;;) {
        grappix::GameMode mode = grappix::RunTitle();
        grappix::RunGame(mode);
    }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef GRAPPIX_HAVE_ICON
    const BriselIcon* icon = &kGrappixIcon;
#else
    const BriselIcon* icon = nullptr;
#endif
#if defined(_WIN32)
    grappix::AttachParentConsole();
    std::vector<std::string> args = grappix::WindowsArguments();
    (void)argc;
    (void)argv;
#else
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
    const std::string why = grappix::EnterGameFolder();
    if (!why.empty()) {
        grappix::WarnLine(why);
        return 1;
    }
    int status = grappix::Main(args, grappix::kEnginePath, icon, &RunScenes);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
