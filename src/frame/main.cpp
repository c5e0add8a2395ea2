// Grappix: a fast 2D action game on a grappling wire. The executable takes no arguments and
// runs from the folder that holds Data/ (the engine library and the assets).
#include <cstdio>

#include "frame/program.hpp"

#ifdef GRAPPIX_HAVE_ICON
extern const BriselIcon kGrappixIcon;
#endif

int main() {
#ifdef GRAPPIX_HAVE_ICON
    const BriselIcon* icon = &kGrappixIcon;
#else
    const BriselIcon* icon = nullptr;
#endif
    int status = grappix::RunProgram(grappix::kEnginePath, icon);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
