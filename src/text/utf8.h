// UTF-8 as the decoder, the safe text of descriptions and the page read
// it: the one set of rules for a well-formed character, so that they all
// agree on where a character ends and which bytes begin none.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorsk {

// The length of the well-formed sequence a lead byte begins: 2 to 4, or 0
// for a byte that begins none (ASCII, a continuation byte, C0, C1, F5-FF).
constexpr int utf8_length(std::uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Whether byte may stand at position i (1 to 3) of the sequence lead
// begins. The second byte excludes overlong forms, surrogates and code
// points above U+10FFFF.
constexpr bool utf8_continues(std::uint8_t lead, std::size_t i, std::uint8_t byte) {
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (i == 1) {
        switch (lead) {
            case 0xE0: low = 0xA0; break;
            case 0xED: high = 0x9F; break;
            case 0xF0: low = 0x90; break;
            case 0xF4: high = 0x8F; break;
            default: break;
        }
    }
    return byte >= low && byte <= high;
}

// The length of the well-formed character at the start of bytes[0, n),
// with its code point; 0 where the bytes begin none or end before it does.
constexpr std::size_t utf8_decode(const std::uint8_t* bytes, std::size_t n, std::uint32_t& cp) {
    const std::uint8_t lead = bytes[0];
    const int length = utf8_length(lead);
    if (length == 0 || n < static_cast<std::size_t>(length) || !utf8_continues(lead, 1, bytes[1]))
        return 0;
    std::uint32_t value = (lead & (0x7Fu >> length)) << 6 | (bytes[1] & 0x3Fu);
    for (int i = 2; i < length; ++i) {
        if ((bytes[i] & 0xC0u) != 0x80) return 0;
        value = value << 6 | (bytes[i] & 0x3Fu);
    }
    cp = value;
    return static_cast<std::size_t>(length);
}

// The UTF-8 of a code point up to U+10FFFF, in out (room for 4 bytes);
// yields its length.
constexpr std::size_t utf8_encode(std::uint32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | cp >> 6);
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | cp >> 12);
        out[1] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | cp >> 18);
    out[1] = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

}  // namespace vorsk
