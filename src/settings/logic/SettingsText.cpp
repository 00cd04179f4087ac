#include "settings/logic/SettingsText.h"

#include "monitor/NumberText.h"

namespace kestrane::settings {

void SetTextIfChanged(IControlAccess& controls, int id, const std::string& text) {
    if (controls.Text(id) != text) controls.SetText(id, text);
}

std::string FormatField(int32_t value, FieldFormat format) {
    // Registers are held zero-extended, so the value is read as unsigned.
    const uint32_t raw = static_cast<uint32_t>(value);
    switch (format) {
        case FieldFormat::kTenths:
            return FormatTenths(raw);
        case FieldFormat::kLow8:
            return FormatLowByte(raw);
        case FieldFormat::kMod100:
            return std::to_string(raw % 100);
    }
    return {};
}

}  // namespace kestrane::settings
