#include "text/safe_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "text/unicode.h"

namespace vorsk {
namespace {

// Appends a piece if it fits with room left for "...".
bool append(char* out, std::size_t cap, std::size_t& len, const char* piece, std::size_t n) {
    if (len + n + 4 > cap) return false;
    std::memcpy(out + len, piece, n);
    len += n;
    return true;
}

}  // namespace

std::size_t safe_text(char* out, std::size_t cap, std::string_view text) {
    std::size_t len = 0;
    if (cap == 0) return 0;
    std::size_t i = 0;
    bool cut = false;
    while (i < text.size() && !cut) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        char item[24];
        std::size_t n = 0;
        std::size_t used = 1;
        if (b >= 0x20 && b < 0x7f) {
            item[n++] = static_cast<char>(b);
        } else if (b < 0x80) {
            n = static_cast<std::size_t>(std::snprintf(item, sizeof item, "<%s>", c0_item_name(b)));
        } else {
            // A well-formed sequence is one character; a byte that begins
            // none is an item of its own.
            std::uint32_t cp = 0;
            const std::size_t k = utf8_decode(
                reinterpret_cast<const std::uint8_t*>(text.data()) + i, text.size() - i, cp);
            if (k == 0) {
                n = static_cast<std::size_t>(std::snprintf(item, sizeof item, "<x%02X>", b));
            } else if (const char* name = unsafe_code_point_name(cp)) {
                char code[CODE_POINT_ITEM_SIZE];
                const std::size_t size =
                    std::min(format_code_point_item(code, cp, name), sizeof item - 2);
                item[0] = '<';
                std::memcpy(item + 1, code, size);
                n = 1 + size;
                item[n++] = '>';
                used = k;
            } else {
                std::memcpy(item, text.data() + i, k);
                n = k;
                used = k;
            }
        }
        if (!append(out, cap, len, item, n)) cut = true;
        i += used;
    }
    if (cut) {
        std::memcpy(out + len, "...", 3);
        len += 3;
    }
    out[len] = '\0';
    return len;
}

}  // namespace vorsk
