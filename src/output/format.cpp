#include "output/format.h"

#include <cstdint>
#include <cstring>

namespace vorsk {
namespace {

// Writes the decimal digits of value, after a minus sign if negative.
std::size_t put_decimal(char* out, std::uint32_t magnitude, bool negative) {
    char digits[10];
    std::size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    std::size_t len = 0;
    if (negative) out[len++] = '-';
    while (n != 0) out[len++] = digits[--n];
    return len;
}

// Writes value in lower-case hexadecimal, at least two digits ("%02x").
std::size_t put_hex2(char* out, std::uint32_t value) {
    char digits[8];
    std::size_t n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value & 0xfu];
        value >>= 4;
    } while (value != 0);
    if (n == 1) digits[n++] = '0';
    std::size_t len = 0;
    while (n != 0) out[len++] = digits[--n];
    return len;
}

}  // namespace

long format_simple(char* out, std::size_t cap, const char* format, std::va_list args) {
    constexpr std::size_t WIDEST_NUMBER = 11;  // "-2147483648"
    std::size_t len = 0;
    for (const char* f = format; *f != '\0'; ++f) {
        if (*f != '%') {
            // A run of literal bytes up to the next conversion, in one copy.
            const char* end = f;
            while (*end != '\0' && *end != '%') ++end;
            const auto n = static_cast<std::size_t>(end - f);
            if (len + n >= cap) return -1;
            std::memcpy(out + len, f, n);
            len += n;
            f = end - 1;
            continue;
        }
        ++f;
        switch (*f) {
            case '%':
                if (len + 1 >= cap) return -1;
                out[len++] = '%';
                break;
            case 'c':
                if (len + 1 >= cap) return -1;
                out[len++] = static_cast<char>(va_arg(args, int));
                break;
            case 's': {
                // One pass copies and measures: the texts are short.
                const char* s = va_arg(args, const char*);
                const std::size_t n = std::strlen(s);
                if (len + n >= cap) return -1;
                std::memcpy(out + len, s, n);
                len += n;
                break;
            }
            case 'd': {
                if (len + WIDEST_NUMBER >= cap) return -1;
                const int value = va_arg(args, int);
                const bool negative = value < 0;
                // The magnitude of INT_MIN fits an unsigned 32-bit number.
                const std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(value)
                                                         : static_cast<std::uint32_t>(value);
                len += put_decimal(out + len, magnitude, negative);
                break;
            }
            case 'u':
                if (len + WIDEST_NUMBER >= cap) return -1;
                len += put_decimal(out + len, va_arg(args, unsigned), false);
                break;
            case '0':
                if (f[1] != '2' || f[2] != 'x' || len + 8 >= cap) return -1;
                f += 2;
                len += put_hex2(out + len, va_arg(args, unsigned));
                break;
            default: return -1;
        }
    }
    out[len] = '\0';
    return static_cast<long>(len);
}

}  // namespace vorsk
