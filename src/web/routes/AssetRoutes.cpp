// The page's files from the in-memory asset table: "/", "/index.html" and
// "/assets/<name>". A browser that has a file already gets 304 for its ETag.
// Anyone may load them: with read_access = "password" the page is what asks
// for the password.
#include "web/WebErrors.h"
#include "web/routes/BridgeRoutes.h"

namespace kestrane::web {

namespace {

HttpResponse Serve(const RouteContext& context, const WebSources& sources, std::string_view path) {
    const Asset* asset = sources.assets->Find(path);
    if (asset == nullptr) return MakeError(WebError::kNotFound);
    HttpResponse response;
    response.headers.emplace_back("ETag", asset->etag);
    // Kept, but asked about each time, so a new bridge version is picked up.
    response.headers.emplace_back("Cache-Control", "no-cache");
    if (context.request.Header("if-none-match") == asset->etag) {
        response.status = 304;
        response.contentType.clear();
        return response;
    }
    response.contentType = std::string(asset->mimeType);
    response.body = asset->bytes;
    return response;
}

}  // namespace

void RegisterAssetRoutes(Router& router, const WebSources& sources) {
    for (const char* page : {"/", "/index.html"})
        router.Add("GET", page, Access::kAnyone,
                   [&sources](const RouteContext& c) { return Serve(c, sources, "/index.html"); });
    for (const char* pattern : {"/assets/{name}", "/assets/views/{name}"})
        router.Add("GET", pattern, Access::kAnyone,
                   [&sources](const RouteContext& c) { return Serve(c, sources, c.request.path); });
}

}  // namespace kestrane::web
