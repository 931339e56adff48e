#include "app/version.h"

#ifndef TORVANE_VERSION
#define TORVANE_VERSION "0.0.0"
#endif

namespace torvane {

const char* versionText() {
    return TORVANE_VERSION;
}

}  // namespace torvane
