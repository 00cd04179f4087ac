// GET /api/v1/devices/{id}/days?from=DATE&to=DATE,
// GET /api/v1/devices/{id}/series?from=T&to=T&buckets=N and
// GET /api/v1/devices/{id}/day/{DATE}.csv. The device id and the date are
// checked by the history store's own rules before anything becomes a path.
#include "web/routes/HistoryRoutes.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "history/HistoryJson.h"
#include "web/WebErrors.h"

namespace kestrane::web {

namespace {

using nlohmann::json;

constexpr int kMaxBuckets = 2000;
constexpr int kDefaultBuckets = 500;
// A day's file at one record a second is about 9 MB; more is not a log.
constexpr std::streamsize kMaxDayFileBytes = 64 << 20;
// A series may span at most this many days.
constexpr int64_t kMaxSeriesDays = 3700;

const std::string* Query(const RouteContext& context, const char* name) {
    const auto it = context.request.query.find(name);
    return it == context.request.query.end() ? nullptr : &it->second;
}

HttpResponse NoHistory() {
    return MakeError(WebError::kNotFound, "the bridge keeps no history ([history] interval_s = 0)");
}

HttpResponse Days(const RouteContext& context, const WebSources& sources) {
    if (sources.history == nullptr) return NoHistory();
    LogDate from, to;
    for (auto [name, date] : {std::pair{"from", &from}, std::pair{"to", &to}}) {
        if (const std::string* text = Query(context, name)) {
            const auto parsed = ParseIsoDate(*text);
            if (!parsed)
                return MakeError(WebError::kBadRequest,
                                 std::string(name) + ": expected a date as YYYY-MM-DD");
            *date = *parsed;
        }
    }
    const auto days = sources.history->Days(context.params.at("id"), from, to);
    if (!days) return MakeError(WebError::kNotFound, "no history of that controller");
    return HttpResponse::Json(200, DaysJson(*days).dump());
}

HttpResponse Series(const RouteContext& context, const WebSources& sources) {
    if (sources.history == nullptr) return NoHistory();
    const std::string* fromText = Query(context, "from");
    const std::string* toText = Query(context, "to");
    const auto from = fromText ? ParseLocalDateTime(*fromText) : std::nullopt;
    const auto to = toText ? ParseLocalDateTime(*toText) : std::nullopt;
    if (!from || !to || *to <= *from || *to - *from > kMaxSeriesDays * 86400)
        return MakeError(WebError::kBadRequest,
                         "from and to: local times as YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], from "
                         "before to, at most ten years apart");
    int buckets = kDefaultBuckets;
    if (const std::string* text = Query(context, "buckets")) {
        const auto [end, error] =
            std::from_chars(text->data(), text->data() + text->size(), buckets);
        if (error != std::errc() || end != text->data() + text->size() || buckets < 1 ||
            buckets > kMaxBuckets)
            return MakeError(WebError::kBadRequest, "buckets: a whole number from 1 to 2000");
    }
    const auto points = sources.history->Series(context.params.at("id"), *from, *to, buckets);
    if (!points) return MakeError(WebError::kNotFound, "no history of that controller");
    json list = json::array();
    for (const auto& point : *points) {
        if (!point) {
            list.push_back(nullptr);
            continue;
        }
        list.push_back({{"t", point->start},
                        {"t_end", point->end},
                        {"n", point->count},
                        {"min", point->min},
                        {"mean", point->mean},
                        {"max", point->max}});
    }
    return HttpResponse::Json(200, json{{"columns", kSeriesColumns}, {"points", list}}.dump());
}

HttpResponse DayFile(const RouteContext& context, const WebSources& sources) {
    if (sources.history == nullptr) return NoHistory();
    std::string_view name = context.params.at("file");
    if (!name.ends_with(".csv")) return MakeError(WebError::kNotFound, "expected YYYY-MM-DD.csv");
    name.remove_suffix(4);
    const auto date = ParseIsoDate(name);
    if (!date) return MakeError(WebError::kNotFound, "expected YYYY-MM-DD.csv");
    const auto path = sources.history->DayFile(context.params.at("id"), *date);
    if (!path) return MakeError(WebError::kNotFound, "no log of that controller on that day");
    std::ifstream in(*path, std::ios::binary);
    std::ostringstream bytes;
    if (!in) return MakeError(WebError::kNotFound, "the day's log cannot be read");
    in.rdbuf()->pubseekoff(0, std::ios::end);
    if (in.tellg() > kMaxDayFileBytes)
        return MakeError(WebError::kInternal, "the log is too large");
    in.seekg(0);
    bytes << in.rdbuf();
    HttpResponse response;
    response.contentType = "text/csv; charset=utf-8";
    response.body = bytes.str();
    response.headers.emplace_back(
        "Content-Disposition",
        "attachment; filename=\"" + context.params.at("id") + "-" + IsoDate(*date) + ".csv\"");
    return response;
}

}  // namespace

void RegisterHistoryRoutes(Router& router, const WebSources& sources) {
    router.Add("GET", "/api/v1/devices/{id}/days", Access::kViewer,
               [&sources](const RouteContext& c) { return Days(c, sources); });
    router.Add("GET", "/api/v1/devices/{id}/series", Access::kViewer,
               [&sources](const RouteContext& c) { return Series(c, sources); });
    router.Add("GET", "/api/v1/devices/{id}/day/{file}", Access::kViewer,
               [&sources](const RouteContext& c) { return DayFile(c, sources); });
}

}  // namespace kestrane::web
