// Text registers carry two characters per 16-bit word, the first character in
// the low-order byte. A zero byte contributes no character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/ControllerData.h"

namespace kestrane {

// The characters of `count` words, zero bytes skipped.
std::string WordsToText(const AtomicValue* words, int count);
std::string WordsToText(const uint16_t* words, int count);

// Packs text into `count` words, first character of each pair in the low byte;
// positions past the end of the text are zero.
void TextToWords(std::string_view text, AtomicValue* words, int count);
void TextToWords(std::string_view text, uint16_t* words, int count);

}  // namespace kestrane
