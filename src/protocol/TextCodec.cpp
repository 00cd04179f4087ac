#include "protocol/TextCodec.h"

namespace kestrane {

namespace {

void AppendWord(std::string& out, uint16_t word) {
    const char first = static_cast<char>(word & 0xFF);
    const char second = static_cast<char>(word >> 8);
    if (first != 0) out.push_back(first);
    if (second != 0) out.push_back(second);
}

uint16_t PackPair(std::string_view text, size_t index) {
    const auto at = [&](size_t i) -> uint16_t {
        return i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
    };
    return static_cast<uint16_t>(at(index) | (at(index + 1) << 8));
}

}  // namespace

std::string WordsToText(const AtomicValue* words, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        AppendWord(out, static_cast<uint16_t>(words[i].load()));
    return out;
}

std::string WordsToText(const uint16_t* words, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        AppendWord(out, words[i]);
    return out;
}

void TextToWords(std::string_view text, AtomicValue* words, int count) {
    for (int i = 0; i < count; ++i)
        words[i].store(PackPair(text, 2 * static_cast<size_t>(i)));
}

void TextToWords(std::string_view text, uint16_t* words, int count) {
    for (int i = 0; i < count; ++i)
        words[i] = PackPair(text, 2 * static_cast<size_t>(i));
}

std::string TextAsUtf8(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

}  // namespace kestrane
