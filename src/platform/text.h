// Text conversions shared by every layer that prints a device's or a file's name.
#pragma once

#include <string>

#include "platform/platform.h"

namespace torvane {

/// UTF-16 to UTF-8 through the platform's WideCharToMultiByte(CP_UTF8).
std::string toUtf8(const platform::WideString& text);

/// Lowercases the ASCII capitals A-Z byte by byte; every other byte passes unchanged.
std::string toLowerAscii(std::string text);

}  // namespace torvane
