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

// A controller's text for JSON and other UTF-8 output. Its bytes are not
// promised to be UTF-8, so each byte stands for the character of the same
// number (0xE9 becomes U+00E9): a garbled reply can never make invalid text.
std::string TextAsUtf8(std::string_view bytes);

}  // namespace kestrane
