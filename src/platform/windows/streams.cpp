#include "platform/streams.h"

#include <io.h>

namespace platform {

std::FILE* openFileForWriting(const WideString& path) {
    // A name with a zero inside would silently open a shorter one.
    if (path.empty() || path.find(L'\0') != WideString::npos) return nullptr;
    return _wfopen(path.c_str(), L"wb");
}

bool errorStreamIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace platform
