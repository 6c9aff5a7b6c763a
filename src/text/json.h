// JSON strings: the one escaper of the program, for the summary's and the
// reports' JSON, the JSON Lines of --json and the casts --record writes. JSON holds Unicode text,
// so what is not well-formed UTF-8 cannot go into a string as it is: each byte that begins no whole
// character becomes U+FFFD, as players of casts do.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vorsk {

// The most output one input byte can take: "\u001b" for a control byte.
inline constexpr std::size_t JSON_ESCAPE_GROWTH = 6;

// Writes bytes[0, n) as the inside of a JSON string (no quotes) into out,
// which holds at least n * JSON_ESCAPE_GROWTH bytes, and returns how many
// it wrote. `"` and `\` are escaped, controls as \n, \r, \t, \b, \f or
// \u00XX, well-formed UTF-8 copied, any other byte written as U+FFFD. When
// more bytes of the same text follow (more), a character that the end of
// bytes cuts short is left for them: taken says how many bytes were read.
std::size_t json_escape(const std::uint8_t* bytes, std::size_t n, char* out, bool more,
                        std::size_t& taken);

// The same for a whole text at out; returns the end of what it wrote.
char* json_escape(char* out, std::string_view text);

// How an ASCII byte goes into a JSON string: its first `size` bytes of
// `text` (the byte itself where it needs no escape; DEL as it is).
struct JsonAsciiEscape {
    char text[6];
    std::uint8_t size;
};
inline constexpr auto JSON_ASCII = [] {
    struct Table {
        JsonAsciiEscape escapes[128] = {};
    } t;
    constexpr char hex[] = "0123456789abcdef";
    for (int b = 0; b < 128; ++b) {
        JsonAsciiEscape& e = t.escapes[b];
        const char shorter = b == '"'    ? '"'
                             : b == '\\' ? '\\'
                             : b == '\n' ? 'n'
                             : b == '\r' ? 'r'
                             : b == '\t' ? 't'
                             : b == '\b' ? 'b'
                             : b == '\f' ? 'f'
                                         : '\0';
        if (shorter != '\0') {
            e = {{'\\', shorter}, 2};
        } else if (b < 0x20) {
            e = {{'\\', 'u', '0', '0', hex[b >> 4], hex[b & 0xF]}, 6};
        } else {
            e = {{static_cast<char>(b)}, 1};
        }
    }
    return t;
}();

// Writes one ASCII byte as the inside of a JSON string writes it, at out,
// which has room for six bytes; returns the end.
[[gnu::always_inline]] inline char* json_escape_ascii(char* out, std::uint8_t byte) {
    const JsonAsciiEscape& e = JSON_ASCII.escapes[byte];
    std::memcpy(out, e.text, sizeof e.text);
    return out + e.size;
}

// How many of the sixteen bytes at `bytes` go into a JSON string as they
// are, before the first that needs a look of its own (a control, a byte of
// 0x80 and above, the quote, the backslash).
[[gnu::always_inline]] inline std::size_t json_plain_prefix(const char* bytes) {
#if defined(__SSE2__)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    // Signed, the bytes of 0x80 and above are below 0x20 too.
    const __m128i stop = _mm_or_si128(_mm_cmplt_epi8(block, _mm_set1_epi8(0x20)),
                                      _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('"')),
                                                   _mm_cmpeq_epi8(block, _mm_set1_epi8('\\'))));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(stop)) | 0x10000u;
    return static_cast<std::size_t>(std::countr_zero(bits));
#else
    using Block = std::uint8_t __attribute__((vector_size(16)));
    Block block;
    std::memcpy(&block, bytes, sizeof block);
    const Block stop = (block < 0x20) | (block > 0x7f) | (block == '"') | (block == '\\');
    std::uint64_t halves[2];
    std::memcpy(halves, &stop, sizeof halves);
    if (std::endian::native == std::endian::little && halves[0] != 0)
        return static_cast<std::size_t>(std::countr_zero(halves[0])) / 8;
    for (std::size_t i = 0; i < 16; ++i) {
        if (stop[i] != 0) return i;
    }
    return 16;
#endif
}

namespace json_digits {

// Eight digits of a value below 100000000, as eight bytes in the order
// they are written, each 0 to 9: four lanes of two digits found at once.
[[gnu::always_inline]] inline std::uint64_t eight(std::uint32_t value) {
    const std::uint64_t halves = (value / 10000) | (std::uint64_t{value % 10000} << 32);
    // Each half over 100 and its remainder (exact below 10000).
    const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007Fu;
    const std::uint64_t quarters = hundreds | ((halves - hundreds * 100) << 16);
    // Each quarter over 10 and its remainder (exact below 100).
    const std::uint64_t tens = ((quarters * 103) >> 10) & 0x000F000F000F000Fu;
    return tens | ((quarters - tens * 10) << 8);
}

constexpr std::uint64_t ZEROS = 0x3030303030303030u;

// The four digits of a value below 10000, as four bytes of text in the
// order they are written.
[[gnu::always_inline]] inline std::uint32_t four(std::uint32_t value) {
    const std::uint32_t hundreds = (value * 5243) >> 19;  // exact below 43699
    const std::uint32_t halves = hundreds | ((value - hundreds * 100) << 16);
    const std::uint32_t tens = ((halves * 103) >> 10) & 0x000F000Fu;
    return (tens | ((halves - tens * 10) << 8)) + 0x30303030u;
}

// A value below 100000000, without leading zeros; eight bytes are written.
[[gnu::always_inline]] inline char* short_value(char* out, std::uint32_t value) {
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    const std::uint64_t digits = eight(value);
    const int zeros = std::countr_zero(digits) / 8;
    const std::uint64_t shown = (digits >> (8 * zeros)) + ZEROS;
    std::memcpy(out, &shown, sizeof shown);
    return out + 8 - zeros;
}

// A value below 100000000 in eight digits.
[[gnu::always_inline]] inline char* full(char* out, std::uint32_t value) {
    const std::uint64_t digits = eight(value) + ZEROS;
    std::memcpy(out, &digits, sizeof digits);
    return out + 8;
}

}  // namespace json_digits

// Writes a number in decimal at out, which has room for 24 bytes (the 20
// digits of the largest, and what is written past them); returns the end.
[[gnu::always_inline]] inline char* json_decimal(char* out, std::uint64_t value) {
    constexpr std::uint64_t E8 = 100000000;
    if (value < E8) return json_digits::short_value(out, static_cast<std::uint32_t>(value));
    if (value < E8 * E8) {
        out = json_digits::short_value(out, static_cast<std::uint32_t>(value / E8));
        return json_digits::full(out, static_cast<std::uint32_t>(value % E8));
    }
    out = json_digits::short_value(out, static_cast<std::uint32_t>(value / (E8 * E8)));
    out = json_digits::full(out, static_cast<std::uint32_t>(value / E8 % E8));
    return json_digits::full(out, static_cast<std::uint32_t>(value % E8));
}

// Writes bytes as lowercase hexadecimal at out (two bytes a byte) and
// returns the end.
char* json_hex(char* out, std::string_view bytes);

}  // namespace vorsk
