// Grappix: a fast 2D action game on a grappling wire. The executable runs from the folder
// that holds Data/ (the engine library and the assets); `grappix --help` lists its options.
#include <cstdio>
#include <string>
#include <vector>

#include "frame/program.hpp"

#ifdef GRAPPIX_HAVE_ICON
extern const BriselIcon kGrappixIcon;
#endif

int main(int argc, char** argv) {
#ifdef GRAPPIX_HAVE_ICON
    const BriselIcon* icon = &kGrappixIcon;
#else
    const BriselIcon* icon = nullptr;
#endif
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int status = grappix::Main(args, grappix::kEnginePath, icon);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
