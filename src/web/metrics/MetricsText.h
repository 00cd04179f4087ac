// The Prometheus text exposition format (version 0.0.4) as the collectors
// write it: a family's HELP and TYPE lines once, then all of its samples.
// Label values may come from the configuration or from a controller's own
// registers (model, firmware), so every value is escaped and made valid
// UTF-8 before it is written; a scrape never breaks on a hostile name.
#pragma once

#include <optional>

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrane::web::metrics {

inline constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

enum class MetricType { kGauge, kCounter };

struct MetricFamily {
    std::string_view name;  // counters end in _total
    MetricType type;
    std::string_view help;
};

using Labels = std::vector<std::pair<std::string_view, std::string>>;

// A label value inside its double quotes: backslash, double quote and
// newline escaped, bytes that are no UTF-8 and other control characters
// replaced by U+FFFD.
std::string EscapeLabelValue(std::string_view value);
// A HELP text: backslash and newline escaped.
std::string EscapeHelp(std::string_view text);
// Shortest text that reads back as the same double; whole numbers without a
// decimal point; NaN, +Inf and -Inf as the format spells them.
std::string FormatNumber(double value);

// The number at `key` of a JSON object, 1 and 0 for true and false; nothing
// for anything else or a missing key.
std::optional<double> JsonNumber(const nlohmann::json& object, const char* key);

class MetricsWriter {
public:
    // Starts a family: its HELP and TYPE lines. Call once per family.
    void Begin(const MetricFamily& family);
    // One sample of the family begun last.
    void Sample(const Labels& labels, double value);
    const std::string& Text() const { return text_; }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
    std::string_view family_;
};

}  // namespace kestrane::web::metrics
