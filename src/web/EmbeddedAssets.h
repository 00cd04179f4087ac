// The web page's files as the build embedded them (cmake/EmbedAssets.cmake
// writes the definitions): URL path and bytes, in the order of their paths.
#pragma once

#include <cstddef>

namespace kestrane::web {

struct EmbeddedAsset {
    const char* urlPath;  // "/index.html", "/assets/app.js"
    const unsigned char* bytes;
    std::size_t size;
};

extern const EmbeddedAsset kEmbeddedAssets[];
extern const std::size_t kEmbeddedAssetCount;

}  // namespace kestrane::web
