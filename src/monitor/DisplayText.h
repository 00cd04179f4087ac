// The pieces every display table is built from: a text in both languages, a
// control's new text, and the lookup of a row by its register value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/SharedState.h"

namespace kestrane {

// An operator-visible text in its two forms.
struct LanguageText {
    const char* english;
    const char* chinese;

    constexpr std::string_view In(bool english) const {
        return english ? this->english : this->chinese;
    }
    // The form the shared language setting selects, decided now, so a switch
    // takes effect for the next text shown.
    std::string In(const SharedState& state) const;
};

// The text one control of the main window is to show. The window writes it
// only when it differs from what the control shows already.
struct ControlText {
    int id;
    std::string text;

    bool operator==(const ControlText&) const = default;
};

// The English text when the language flag is exactly "ENGLISH", otherwise the
// Chinese one.
std::string PickLanguageText(std::string_view languageFlag, std::string_view chinese,
                             std::string_view english);

// The row of a table whose `value` equals the register value, or nullptr.
template <typename Row, std::size_t N>
constexpr const Row* FindByValue(const Row (&table)[N], uint32_t value) {
    for (const Row& row : table)
        if (row.value == value) return &row;
    return nullptr;
}

}  // namespace kestrane
