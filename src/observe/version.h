// The program's version, from one place: the build system's project version, with the source
// control description when built from a checkout.
#pragma once

namespace torvane {

/// "0.2.0", or "0.2.0 (v0.2.0-3-gabc1234)" from a checkout.
const char* versionText();

}  // namespace torvane
