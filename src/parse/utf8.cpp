#include "parse/utf8.h"

#include "text/unicode.h"

namespace vorsk {

bool parse_utf8(InputBuffer& in, std::uint8_t lead, Utf8Char& ch) {
    const int length = utf8_length(lead);
    if (length == 0) return false;
    ch.bytes[0] = lead;
    ch.n = 1;
    std::uint32_t cp = lead & (0x7Fu >> length);
    // Most characters lie whole in the bytes the input holds: no mark.
    const std::uint8_t* held = nullptr;
    if (input_peek(in, &held) >= static_cast<std::size_t>(length - 1)) {
        std::uint8_t whole[4] = {lead};
        for (int i = 1; i < length; ++i) whole[i] = held[i - 1];
        if (utf8_decode(whole, static_cast<std::size_t>(length), ch.cp) == 0) return false;
        for (int i = 1; i < length; ++i) ch.bytes[ch.n++] = whole[i];
        input_skip(in, ch.n - 1);
        return true;
    }
    input_mark(in);
    for (int i = 1; i < length; ++i) {
        const int c = input_get(in);
        if (c == EOF ||
            !utf8_continues(lead, static_cast<std::size_t>(i), static_cast<std::uint8_t>(c))) {
            input_rewind(in);
            return false;
        }
        ch.bytes[ch.n++] = static_cast<std::uint8_t>(c);
        cp = cp << 6 | (static_cast<std::uint32_t>(c) & 0x3Fu);
    }
    input_commit(in);
    ch.cp = cp;
    return true;
}

}  // namespace vorsk
