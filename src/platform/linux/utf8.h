// UTF-8 text from the system (command-line arguments, device names) as the platform's UTF-16.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace platform {

/// text as UTF-16; each byte that does not begin a valid UTF-8 sequence becomes U+FFFD.
WideString fromUtf8(std::string_view text);

}  // namespace platform
