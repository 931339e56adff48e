// What "--help" and "--version" print: the program's whole command line on one screen, and the
// version line to quote in a bug report.
#pragma once

#include <iosfwd>

namespace torvane {

/// The version line, then one line per option with its default, on out.
void printUsage(std::ostream& out);

/// "torvane-bridge <version>" and a line feed on out.
void printVersion(std::ostream& out);

}  // namespace torvane
