// kestiva-cli plot where the build has no window: the graph is drawn by the window's own
// painting, so without it there is nothing to plot with.

#include <cstdio>

#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"

namespace kestiva::cli {

int runPlotCommand(const Args& args) {
    const std::string error =
        "plot is not part of this build: it draws with the window's graph painting, which "
        "this build does not have";
    std::fprintf(stderr, "kestiva-cli: %s\n", error.c_str());
    if (jsonRequested(args))
        printOut(failureJson(error).dump());
    return kExitFailure;
}

}  // namespace kestiva::cli
