#include "screen/pen.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "output/line_writer.h"

namespace vorsk {

std::size_t format_pen_mark(char* out, const Pen& pen) {
    const std::uint32_t values[] = {pen.fg, pen.bg, pen.flags, pen.underline, pen.underline_color};
    char* at = out;
    *at++ = '\x1b';
    *at++ = '[';
    *at++ = '=';
    for (const std::uint32_t value : values) {
        const Decimal number(value);  // the digits live as long as it does
        const std::string_view digits = number;
        std::memcpy(at, digits.data(), digits.size());
        at += digits.size();
        *at++ = ';';
    }
    at[-1] = 'm';
    return static_cast<std::size_t>(at - out);
}

std::size_t format_painter_mark(char* out, char letter, std::uint64_t painter) {
    const int n = std::snprintf(out, PAINTER_MARK_SIZE, "\x1b[=%c%" PRIu64 "m", letter, painter);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace vorsk
