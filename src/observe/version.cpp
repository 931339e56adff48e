#include "observe/version.h"

// TORVANE_VERSION, written by the build (cmake/version.cmake) from the project version and the
// checkout's description.
#include "torvane_version.h"

namespace torvane {

const char* versionText() {
    return TORVANE_VERSION;
}

}  // namespace torvane
