#include "report/raw_output.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "output/json.h"

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
    // A piece at a time, escaped in a buffer of its own.
    char escaped[256 * JSON_ESCAPE_GROWTH];
    while (!text.empty()) {
        const std::string_view piece = text.substr(0, 256);
        const char* end = json_escape(escaped, piece);
        writer_raw(w, escaped, static_cast<std::size_t>(end - escaped));
        text.remove_prefix(piece.size());
    }
    raw(w, "\"");
}

}  // namespace vorsk
