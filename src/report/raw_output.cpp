#include "report/raw_output.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

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
    for (const char& c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            const char escaped[] = {'\\', static_cast<char>(b)};
            writer_raw(w, escaped, 2);
        } else if (b < 0x20) {
            out(w, "\\u%04x", b);
        } else {
            writer_raw(w, &c, 1);
        }
    }
    raw(w, "\"");
}

}  // namespace vorsk
