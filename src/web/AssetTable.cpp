#include "web/AssetTable.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "web/EmbeddedAssets.h"

namespace kestrane::web {

namespace {

struct MimeRow {
    std::string_view extension;
    std::string_view type;
};

// Chosen per extension rather than guessed from the bytes, so a browser that
// is told nosniff still runs the modules and applies the style sheet.
constexpr MimeRow kMimeTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".ico", "image/x-icon"},
    {".webmanifest", "application/manifest+json"},
    {".txt", "text/plain; charset=utf-8"},
};

constexpr std::string_view kIndexPath = "/index.html";
// Debian's file is about 200 KB; anything far larger is not Chart.js.
constexpr std::uintmax_t kMaxChartJsBytes = 8u << 20;

}  // namespace

std::string_view MimeTypeOf(std::string_view urlPath) {
    for (const MimeRow& row : kMimeTypes) {
        if (urlPath.size() > row.extension.size() && urlPath.ends_with(row.extension))
            return row.type;
    }
    return "application/octet-stream";
}

std::string StrongEtag(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3u;
    }
    char text[48];
    std::snprintf(text, sizeof text, "\"%zx-%016llx\"", bytes.size(),
                  static_cast<unsigned long long>(hash));
    return text;
}

AssetTable AssetTable::Embedded() {
    AssetTable table;
    for (std::size_t i = 0; i < kEmbeddedAssetCount; ++i) {
        const EmbeddedAsset& asset = kEmbeddedAssets[i];
        table.Add(asset.urlPath,
                  std::string(reinterpret_cast<const char*>(asset.bytes), asset.size));
    }
    return table;
}

void AssetTable::Add(std::string urlPath, std::string bytes) {
    Asset asset;
    asset.mimeType = MimeTypeOf(urlPath);
    asset.etag = StrongEtag(bytes);
    asset.bytes = std::move(bytes);
    assets_[std::move(urlPath)] = std::move(asset);
}

const Asset* AssetTable::Find(std::string_view urlPath) const {
    if (urlPath == "/") urlPath = kIndexPath;
    const auto found = assets_.find(urlPath);
    return found != assets_.end() ? &found->second : nullptr;
}

ChartJsResult AssetTable::LoadChartJs(const std::filesystem::path& dir) {
    const std::filesystem::path file = dir / "Chart.min.js";
    const auto fail = [&](const std::string& reason) {
        return ChartJsResult{false, "Chart.js missing, the page shows no charts: " + file.string() +
                                        ": " + reason + " (Debian package libjs-chart.js)"};
    };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return fail(ec ? ec.message() : "not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) return fail(ec.message());
    if (size == 0 || size > kMaxChartJsBytes)
        return fail("unexpected size of " + std::to_string(size));

    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return fail(std::strerror(errno));
    if (bytes.size() != size) return fail("read " + std::to_string(bytes.size()) + " bytes");
    Add(std::string(kChartJsPath), std::move(bytes));
    return {true, {}};
}

}  // namespace kestrane::web
