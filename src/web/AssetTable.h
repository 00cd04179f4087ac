// The files of the web page by URL path, held in memory: the embedded page
// and Debian's Chart.js, read once at start. A request only ever looks a path
// up in this table, so nothing the network sends can name a file on disk.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace kestrane::web {

struct Asset {
    std::string bytes;
    std::string_view mimeType;  // with "; charset=utf-8" for text
    std::string etag;           // strong, quoted: "\"1f2e-0123456789abcdef\""
};

inline constexpr std::string_view kChartJsDir = "/usr/share/javascript/chart.js";
inline constexpr std::string_view kChartJsPath = "/assets/chart.min.js";

// What LoadChartJs did: ok, or why the charts will be missing.
struct ChartJsResult {
    bool ok = false;
    std::string error;  // "Chart.js missing: /usr/.../Chart.min.js: No such file or directory"
};

class AssetTable {
public:
    // A table with every file the build embedded.
    static AssetTable Embedded();

    // Adds or replaces the file at `urlPath`; the MIME type follows the
    // extension, and the ETag is computed from the bytes.
    void Add(std::string urlPath, std::string bytes);

    // The file at exactly `urlPath` ("/" is the index page), or nullptr.
    const Asset* Find(std::string_view urlPath) const;

    // Reads <dir>/Chart.min.js into the table as /assets/chart.min.js. A
    // missing or unreadable file leaves the table as it was: the page loads
    // and says that charts are unavailable.
    ChartJsResult LoadChartJs(const std::filesystem::path& dir = kChartJsDir);

    std::size_t Size() const { return assets_.size(); }

private:
    std::map<std::string, Asset, std::less<>> assets_;
};

// The MIME type served for a path, by its extension; "application/octet-stream"
// for an extension the page does not use.
std::string_view MimeTypeOf(std::string_view urlPath);

// A strong ETag of the bytes: their length and 64-bit FNV-1a hash in
// hexadecimal, quoted.
std::string StrongEtag(std::string_view bytes);

}  // namespace kestrane::web
