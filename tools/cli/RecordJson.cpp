#include "RecordJson.h"

#include <cstdio>

#include "protocol/RecordFields.h"
#include "protocol/TextCodec.h"

namespace kestrane::cli {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte > 0x7E) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string RecordJson(const ControllerData& data) {
    std::string out = "{";
    const char* separator = "\n";
    for (const RecordField& field : kRecordFields) {
        out += separator;
        out += "  ";
        out += JsonString(field.name);
        out += ": ";
        const AtomicValue* value = field.value(data);
        switch (field.kind) {
            case FieldKind::kText:
                out += JsonString(WordsToText(value, field.wordCount));
                break;
            case FieldKind::kSigned:
                out += std::to_string(value->load());
                break;
            case FieldKind::kUnsigned:
                out += std::to_string(static_cast<uint32_t>(value->load()));
                break;
        }
        separator = ",\n";
    }
    out += "\n}\n";
    return out;
}

}  // namespace kestrane::cli
