#include "report/json_lines.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>

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

namespace {

// How many of the sixteen bytes at `bytes` go into a JSON string as they
// are, before the first that needs a look of its own (a control, a byte of
// 0x80 and above, the quote, the backslash).
[[gnu::always_inline]] inline std::size_t plain_bytes(const char* bytes) {
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

}  // namespace

char* escape_checked(char* out, const char* bytes, std::size_t n) {
    const char* const end = bytes + n;
    while (bytes < end) {
        std::memcpy(out, bytes, 16);
        const std::size_t plain = plain_bytes(bytes);
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
