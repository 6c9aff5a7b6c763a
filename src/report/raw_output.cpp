#include "report/raw_output.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "text/json.h"

namespace vorsk {

void out(LineWriter& w, const char* format, ...) {
    char line[512];
    std::va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0) writer_raw(w, line, std::min(static_cast<std::size_t>(n), sizeof line - 1));
}

void raw(LineWriter& w, std::string_view text) {
    writer_raw(w, text.data(), text.size());
}

void json_string(LineWriter& w, std::string_view text) {
    raw(w, "\"");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t left = text.size();
    constexpr std::size_t PIECE = 256;
    char escaped[PIECE * JSON_ESCAPE_GROWTH];
    while (left != 0) {
        std::size_t taken = 0;
        const std::size_t n = std::min(left, PIECE);
        // A character cut by the piece's end goes whole into the next piece.
        const std::size_t k = json_escape(bytes, n, escaped, n < left, taken);
        writer_raw(w, escaped, k);
        bytes += taken;
        left -= taken;
    }
    raw(w, "\"");
}

}  // namespace vorsk
