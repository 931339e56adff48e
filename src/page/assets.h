// The page's files, embedded in the program when it is built (cmake/embed-assets.cmake), so the
// page needs no download and works offline.
#pragma once

#include <cstddef>
#include <string_view>

namespace page {

struct Asset {
    std::string_view path;  ///< as requested: "/", "/page.js"
    std::string_view type;  ///< the Content-Type
    std::string_view body;
};

extern const Asset kAssets[];
extern const std::size_t kAssetCount;

}  // namespace page
