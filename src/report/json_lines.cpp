#include "report/json_lines.h"

#include <algorithm>

#include "text/utf8.h"

namespace vorsk {

void out_begin(JsonOut& o) {
    LineWriter& w = *o.w;
    o.writing = true;
    if (WRITER_BUFFER_SIZE - w.buffered < JSON_OBJECT_ROOM) writer_flush(w);
    o.size = w.buffered;
    o.from = writer_offset(w);
}

void out_flush(JsonOut& o) {
    LineWriter& w = *o.w;
    w.buffered = o.size;
    writer_flush(w);
    o.size = w.buffered;
    ++o.flushes;
}

void out_end(JsonOut& o) {
    LineWriter& w = *o.w;
    o.writing = false;
    w.buffered = o.size;
    w.handed -= writer_offset(w) - o.from;
}

void out_slow(JsonOut& o, std::string_view s) {
    while (!s.empty()) {
        if (o.size == WRITER_BUFFER_SIZE) out_flush(o);
        const std::size_t n = std::min(s.size(), WRITER_BUFFER_SIZE - o.size);
        std::memcpy(o.buffer + o.size, s.data(), n);
        o.size += n;
        s.remove_prefix(n);
    }
}

void out_escaped(JsonOut& o, std::string_view s) {
    constexpr std::size_t PIECE = 4096;
    while (!s.empty()) {
        if (WRITER_BUFFER_SIZE - o.size < PIECE * JSON_ESCAPE_GROWTH) out_flush(o);
        const std::string_view piece = s.substr(0, PIECE);
        char* const buffer = o.buffer;
        o.size = static_cast<std::size_t>(json_escape(buffer + o.size, piece) - buffer);
        s.remove_prefix(piece.size());
    }
}

void out_hex(JsonOut& o, std::string_view s) {
    constexpr std::size_t PIECE = 4096;
    while (!s.empty()) {
        if (WRITER_BUFFER_SIZE - o.size < PIECE * 2) out_flush(o);
        const std::string_view piece = s.substr(0, PIECE);
        char* const buffer = o.buffer;
        o.size = static_cast<std::size_t>(json_hex(buffer + o.size, piece) - buffer);
        s.remove_prefix(piece.size());
    }
}

void out_decimal(JsonOut& o, std::uint64_t value) {
    if (WRITER_BUFFER_SIZE - o.size < 24) out_flush(o);
    char* const buffer = o.buffer;
    o.size = static_cast<std::size_t>(json_decimal(buffer + o.size, value) - buffer);
}

void out_string(JsonOut& o, std::string_view name, std::string_view value) {
    out_put(o, ",\"");
    out_put(o, name);
    out_put(o, "\":\"");
    out_escaped(o, value);
    out_put(o, "\"");
}

void out_number(JsonOut& o, std::string_view name, std::uint64_t value) {
    out_put(o, ",\"");
    out_put(o, name);
    out_put(o, "\":");
    out_decimal(o, value);
}

char* escape_checked(char* out, const char* bytes, std::size_t n) {
    const char* const end = bytes + n;
    while (bytes < end) {
        std::memcpy(out, bytes, 16);
        const std::size_t plain = json_plain_prefix(bytes);
        const auto left = static_cast<std::size_t>(end - bytes);
        if (plain >= left) return out + left;
        out += plain;
        bytes += plain;
        if (plain == 16) continue;
        const auto b = static_cast<std::uint8_t>(*bytes);
        if (b < 0x80) {
            out = json_escape_ascii(out, b);
            ++bytes;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length =
            utf8_decode(reinterpret_cast<const std::uint8_t*>(bytes), left - plain, cp);
        if (length == 0) return nullptr;
        std::memcpy(out, bytes, 4);
        out += length;
        bytes += length;
    }
    return out;
}

bool valid_utf8(const std::uint8_t* bytes, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        // Eight bytes of ASCII at a time.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, sizeof word);
            if ((word & 0x8080808080808080u) == 0) {
                i += 8;
                continue;
            }
        }
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length = utf8_decode(bytes + i, n - i, cp);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace vorsk
