#include "web/metrics/MetricsText.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace kestrane::web::metrics {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence at text[i], or 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    size_t length = 0;
    uint32_t min = 0;
    uint32_t code = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are no UTF-8.
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string EscapeLabelValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size();) {
        const char c = value[i];
        const size_t length = Utf8Length(value, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
            out += kReplacement;
        } else {
            out.append(value.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string EscapeHelp(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string FormatNumber(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    // Whole numbers within the exact range of a double print without an
    // exponent, so counters read as the integers they are.
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        return std::to_string(static_cast<int64_t>(value));
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void MetricsWriter::Begin(const MetricFamily& family) {
    family_ = family.name;
    text_ += "# HELP ";
    text_ += family.name;
    text_ += ' ';
    text_ += EscapeHelp(family.help);
    text_ += "\n# TYPE ";
    text_ += family.name;
    text_ += family.type == MetricType::kCounter ? " counter\n" : " gauge\n";
}

void MetricsWriter::Sample(const Labels& labels, double value) {
    text_ += family_;
    if (!labels.empty()) {
        text_ += '{';
        bool first = true;
        for (const auto& [name, labelValue] : labels) {
            if (!first) text_ += ',';
            first = false;
            text_ += name;
            text_ += "=\"";
            text_ += EscapeLabelValue(labelValue);
            text_ += '"';
        }
        text_ += '}';
    }
    text_ += ' ';
    text_ += FormatNumber(value);
    text_ += '\n';
}

std::optional<double> JsonNumber(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) return std::nullopt;
    const auto it = object.find(key);
    if (it == object.end()) return std::nullopt;
    if (it->is_boolean()) return it->get<bool>() ? 1.0 : 0.0;
    if (it->is_number()) return it->get<double>();
    return std::nullopt;
}

}  // namespace kestrane::web::metrics
