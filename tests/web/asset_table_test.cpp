#include "web/AssetTable.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/ScratchDir.h"
#include "web/EmbeddedAssets.h"

namespace kestrane::web {
namespace {

TEST(AssetTable, ServesTheEmbeddedPageByPath) {
    const AssetTable table = AssetTable::Embedded();
    const Asset* root = table.Find("/");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root, table.Find("/index.html"));
    EXPECT_EQ(root->mimeType, "text/html; charset=utf-8");

    const Asset* app = table.Find("/assets/app.js");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->mimeType, "text/javascript; charset=utf-8");
    ASSERT_NE(table.Find("/assets/style.css"), nullptr);
    EXPECT_EQ(table.Find("/assets/style.css")->mimeType, "text/css; charset=utf-8");
}

TEST(AssetTable, KnowsOnlyExactPaths) {
    const AssetTable table = AssetTable::Embedded();
    for (const char* path : {"", "/assets/", "/assets", "/index.htm", "/assets/../index.html",
                             "//index.html", "/assets/app.js?v=1", "/ASSETS/APP.JS", "/etc/passwd",
                             "/assets/chart.min.js", "index.html", "/assets/app.js/"})
        EXPECT_EQ(table.Find(path), nullptr) << path;
}

// Every file index.html names by an absolute path, and every module a
// module imports by a relative one, is in the table (Chart.js once it is
// loaded by the chart module), so a renamed file fails here and not in a browser.
TEST(AssetTable, EveryReferencedAssetIsEmbedded) {
    AssetTable table = AssetTable::Embedded();
    table.Add(std::string(kChartJsPath), "/* chart */");
    std::set<std::string> seen;
    const std::regex absolute(R"re((?:src|href)="(/[^"]*)")re");
    const std::string& index = table.Find("/")->bytes;
    for (std::sregex_iterator it(index.begin(), index.end(), absolute), end; it != end; ++it) {
        seen.insert((*it)[1].str());
        EXPECT_NE(table.Find((*it)[1].str()), nullptr) << (*it)[1].str();
    }
    EXPECT_TRUE(seen.count("/assets/app.js"));
    // Chart.js is not in the index: the device page's charts fetch it when
    // first needed, by the path the table serves it at.
    EXPECT_FALSE(seen.count(std::string(kChartJsPath)));
    const Asset* charts = table.Find("/assets/views/deviceCharts.js");
    ASSERT_NE(charts, nullptr);
    EXPECT_NE(charts->bytes.find("'" + std::string(kChartJsPath) + "'"), std::string::npos);

    const std::regex relative(R"(from '((?:\./|\.\./)[^']+)')");
    int imports = 0;
    for (std::size_t i = 0; i < kEmbeddedAssetCount; ++i) {
        const std::filesystem::path module = kEmbeddedAssets[i].urlPath;
        if (module.extension() != ".js") continue;
        const std::string text(reinterpret_cast<const char*>(kEmbeddedAssets[i].bytes),
                               kEmbeddedAssets[i].size);
        for (std::sregex_iterator it(text.begin(), text.end(), relative), end; it != end; ++it) {
            const std::string target =
                (module.parent_path() / (*it)[1].str()).lexically_normal().string();
            EXPECT_NE(table.Find(target), nullptr) << module << " imports " << (*it)[1];
            ++imports;
        }
    }
    EXPECT_GT(imports, 10);
}

// The bridge sends Content-Security-Policy default-src 'self': an inline
// script or style attribute in the page would be refused by the browser.
TEST(AssetTable, PageHasNothingInlineThePolicyBlocks) {
    const AssetTable table = AssetTable::Embedded();
    const std::string& html = table.Find("/")->bytes;
    EXPECT_EQ(html.find(" style="), std::string::npos);
    EXPECT_EQ(html.find("<style"), std::string::npos);
    EXPECT_EQ(html.find(" onclick="), std::string::npos);
    const std::regex inlineScript(R"(<script(?![^>]*\bsrc=)[^>]*>)");
    EXPECT_FALSE(std::regex_search(html, inlineScript));
}

TEST(MimeTypeOf, ChosenByExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/index.html", "text/html; charset=utf-8"},
        {"/assets/a.js", "text/javascript; charset=utf-8"},
        {"/assets/a.mjs", "text/javascript; charset=utf-8"},
        {"/assets/a.css", "text/css; charset=utf-8"},
        {"/assets/icon.svg", "image/svg+xml"},
        {"/assets/icon.png", "image/png"},
        {"/favicon.ico", "image/x-icon"},
        {"/assets/a.json", "application/json"},
        {"/assets/a.js.map.bin", "application/octet-stream"},
        {"/assets/js", "application/octet-stream"},
        {"/assets/.js", "text/javascript; charset=utf-8"},
        {"/assets/noextension", "application/octet-stream"},
    };
    for (const auto& [path, type] : cases)
        EXPECT_EQ(MimeTypeOf(path), type) << path;
}

TEST(StrongEtag, FollowsTheBytes) {
    EXPECT_EQ(StrongEtag("abc"), StrongEtag(std::string("abc")));
    EXPECT_NE(StrongEtag("abc"), StrongEtag("abd"));
    EXPECT_NE(StrongEtag("abc"), StrongEtag("cba"));
    EXPECT_NE(StrongEtag(""), StrongEtag(std::string(1, '\0')));
    // FNV-1a 64 of "a" is af63dc4c8601ec8c (its published test value).
    EXPECT_EQ(StrongEtag("a"), "\"1-af63dc4c8601ec8c\"");
    const std::string etag = StrongEtag("page");
    EXPECT_EQ(etag.front(), '"');
    EXPECT_EQ(etag.back(), '"');
    EXPECT_NE(etag.substr(0, 2), "W/");

    AssetTable table;
    table.Add("/assets/x.js", "one");
    const std::string first = table.Find("/assets/x.js")->etag;
    table.Add("/assets/x.js", "two");
    EXPECT_NE(table.Find("/assets/x.js")->etag, first);
    EXPECT_EQ(table.Find("/assets/x.js")->bytes, "two");
}

TEST(LoadChartJs, ReadsTheFileOnceIntoTheTable) {
    testing::ScratchDir dir("chartjs");
    const std::string script = "/*! Chart.js v3.9.1 */!function(){}();";
    std::ofstream(dir.Path() / "Chart.min.js", std::ios::binary) << script;

    AssetTable table = AssetTable::Embedded();
    const std::size_t before = table.Size();
    const ChartJsResult result = table.LoadChartJs(dir.Path());
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.error.empty());
    EXPECT_EQ(table.Size(), before + 1);
    const Asset* chart = table.Find("/assets/chart.min.js");
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->bytes, script);
    EXPECT_EQ(chart->mimeType, "text/javascript; charset=utf-8");
    EXPECT_EQ(chart->etag, StrongEtag(script));

    // Later changes on disk do not reach the table.
    std::ofstream(dir.Path() / "Chart.min.js", std::ios::binary) << "changed";
    EXPECT_EQ(table.Find("/assets/chart.min.js")->bytes, script);
}

TEST(LoadChartJs, MissingOrOddFileLeavesThePageWithoutCharts) {
    testing::ScratchDir dir("chartjs");
    AssetTable table = AssetTable::Embedded();
    const std::size_t before = table.Size();

    const ChartJsResult missing = table.LoadChartJs(dir.Path() / "absent");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find((dir.Path() / "absent" / "Chart.min.js").string()),
              std::string::npos)
        << missing.error;
    EXPECT_NE(missing.error.find("libjs-chart.js"), std::string::npos);

    std::filesystem::create_directory(dir.Path() / "Chart.min.js");
    EXPECT_FALSE(table.LoadChartJs(dir.Path()).ok);

    std::filesystem::create_directory(dir.Path() / "empty");
    std::ofstream(dir.Path() / "empty" / "Chart.min.js");
    EXPECT_FALSE(table.LoadChartJs(dir.Path() / "empty").ok);

    EXPECT_EQ(table.Size(), before);
    EXPECT_EQ(table.Find("/assets/chart.min.js"), nullptr);
    EXPECT_NE(table.Find("/"), nullptr);
}

}  // namespace
}  // namespace kestrane::web
