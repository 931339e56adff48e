// Text conversions shared by every layer that prints a device's or a file's name.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace torvane {

/// UTF-16 to UTF-8 through the platform's WideCharToMultiByte(CP_UTF8).
std::string toUtf8(const platform::WideString& text);

/// UTF-8 to UTF-16 through the platform's MultiByteToWideChar(CP_UTF8): bytes that form no UTF-8
/// become U+FFFD.
platform::WideString toWide(std::string_view text);

/// Lowercases the ASCII capitals A-Z byte by byte; every other byte passes unchanged.
std::string toLowerAscii(std::string text);

}  // namespace torvane
