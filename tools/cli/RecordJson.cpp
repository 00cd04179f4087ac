#include "RecordJson.h"

#include "protocol/RecordFields.h"
#include "protocol/TextCodec.h"

namespace kestrane::cli {

nlohmann::ordered_json RecordJson(const ControllerData& data) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    for (const RecordField& field : kRecordFields) {
        const AtomicValue* value = field.value(data);
        const std::string name(field.name);
        switch (field.kind) {
            case FieldKind::kText:
                out[name] = TextAsUtf8(WordsToText(value, field.wordCount));
                break;
            case FieldKind::kSigned:
                out[name] = value->load();
                break;
            case FieldKind::kUnsigned:
                out[name] = static_cast<uint32_t>(value->load());
                break;
        }
    }
    return out;
}

nlohmann::ordered_json LinkJson(const LinkCounters& counters) {
    nlohmann::ordered_json link = nlohmann::ordered_json::object();
    link["requests"] = counters.requests;
    for (size_t i = 0; i < kBusResultCount; ++i) {
        const auto result = static_cast<BusResult>(i);
        link[std::string(BusResultName(result))] = counters.Count(result);
    }
    return link;
}

}  // namespace kestrane::cli
