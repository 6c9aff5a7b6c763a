#include "text/json.h"

#include <cstring>

#include "text/utf8.h"

namespace vorsk {
namespace {

constexpr char HEX[] = "0123456789abcdef";

// The bytes that go into a JSON string as they are, one at a time: ASCII
// but controls, the quote and the backslash.
constexpr auto PLAIN = [] {
    struct Table {
        bool plain[256] = {};
    } t;
    for (int b = 0x20; b < 0x80; ++b) t.plain[b] = b != '"' && b != '\\';
    return t;
}();

// Whether bytes[0, n) are the start of a well-formed character that the
// end of the bytes cut short.
bool cut_short(const std::uint8_t* bytes, std::size_t n) {
    const int length = utf8_length(bytes[0]);
    if (length == 0 || n >= static_cast<std::size_t>(length)) return false;
    for (std::size_t i = 1; i < n; ++i) {
        if (!utf8_continues(bytes[0], i, bytes[i])) return false;
    }
    return true;
}

}  // namespace

std::size_t json_escape(const std::uint8_t* bytes, std::size_t n, char* out, bool more,
                        std::size_t& taken) {
    char* o = out;
    std::size_t i = 0;
    while (i < n) {
        // A run of plain bytes, copied in one piece: sixteen at a time
        // while they are all plain, then one by one.
        std::size_t run = i;
        while (run + 16 <= n) {
            const std::size_t plain = json_plain_prefix(reinterpret_cast<const char*>(bytes + run));
            run += plain;
            if (plain != 16) break;
        }
        while (run < n && PLAIN.plain[bytes[run]]) ++run;
        if (run != i) {
            std::memcpy(o, bytes + i, run - i);
            o += run - i;
            i = run;
            continue;
        }
        const std::uint8_t b = bytes[i];
        if (b < 0x80) {
            o = json_escape_ascii(o, b);
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length = utf8_decode(bytes + i, n - i, cp);
        if (length != 0) {
            std::memcpy(o, bytes + i, length);
            o += length;
            i += length;
            continue;
        }
        if (more && cut_short(bytes + i, n - i)) break;
        std::memcpy(o, "\xEF\xBF\xBD", 3);  // U+FFFD
        o += 3;
        ++i;
    }
    taken = i;
    return static_cast<std::size_t>(o - out);
}

char* json_escape(char* out, std::string_view text) {
    std::size_t taken = 0;
    return out + json_escape(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out,
                             false, taken);
}

char* json_hex(char* out, std::string_view bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = HEX[b >> 4];
        *out++ = HEX[b & 0xf];
    }
    return out;
}

}  // namespace vorsk
