// The objects of --json (JSON Lines), composed straight into the line
// writer's buffer in place of the account's lines. The writer's offsets
// stay as they were over what is written there, so that what the decoder
// measured before (the lines of a sequence it keeps, from where they
// began) still holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "output/line_writer.h"
#include "text/json.h"

namespace vorsk {

// Room made before each object, so that what comes of one sequence is in
// one piece of the buffer.
inline constexpr std::size_t JSON_OBJECT_ROOM = 1 << 14;

// An object being composed in the writer's buffer.
struct JsonOut {
    LineWriter* w = nullptr;
    char* buffer = nullptr;     // the writer's
    std::size_t size = 0;       // the end of what is composed, in the buffer
    std::uint64_t from = 0;     // the writer's offset where the object began
    std::uint64_t flushes = 0;  // how often the buffer went out during objects
    bool writing = false;       // an object is being composed
    // The digits of an offset but its last four, as last written: offsets
    // grow by a little at a time.
    std::uint64_t offset_high = 0;
    char offset_high_text[24] = {};
    std::size_t offset_high_size = 0;
};

// An object of any length: begun with room made, its pieces put, ended.
void out_begin(JsonOut& o);
void out_end(JsonOut& o);
// What is composed so far goes out, and the buffer is empty again.
void out_flush(JsonOut& o);
void out_slow(JsonOut& o, std::string_view s);

// A piece of a known length (a literal) is a few moves where it stands;
// others go as the writer's pieces do.
[[gnu::always_inline]] inline void out_put(JsonOut& o, std::string_view s) {
    char* const buffer = o.buffer;
    if (s.size() <= WRITER_BUFFER_SIZE - o.size) {
        o.size = static_cast<std::size_t>(plain_output::put(buffer + o.size, s) - buffer);
        return;
    }
    out_slow(o, s);
}

// The inside of a string, escaped; its bytes as hexadecimal; a number.
void out_escaped(JsonOut& o, std::string_view s);
void out_hex(JsonOut& o, std::string_view s);
void out_decimal(JsonOut& o, std::uint64_t value);
// ,"name":"value" and ,"name":value.
void out_string(JsonOut& o, std::string_view name, std::string_view value);
void out_number(JsonOut& o, std::string_view name, std::uint64_t value);

// An object of at most JSON_OBJECT_ROOM bytes, written without a look at
// the room piece by piece: where it goes, and its end (w is *o.w).
[[gnu::always_inline]] inline char* object_room(JsonOut& o, LineWriter& w) {
    if (WRITER_BUFFER_SIZE - w.buffered < JSON_OBJECT_ROOM) {
        o.writing = true;
        writer_flush(w);
        o.writing = false;
    }
    return w.buffer + w.buffered;
}
[[gnu::always_inline]] inline void object_done(LineWriter& w, const char* end) {
    const auto n = static_cast<std::size_t>(end - (w.buffer + w.buffered));
    w.buffered += n;
    w.handed -= n;
}

// An offset at p, with room for 24 bytes; returns the end.
[[gnu::always_inline]] inline char* put_offset(JsonOut& o, char* p, std::uint64_t offset) {
    const std::uint64_t high = offset / 10000;
    if (high == 0) return json_decimal(p, offset);
    if (high != o.offset_high) {
        o.offset_high = high;
        o.offset_high_size =
            static_cast<std::size_t>(json_decimal(o.offset_high_text, high) - o.offset_high_text);
    }
    std::memcpy(p, o.offset_high_text, 16);
    if (o.offset_high_size > 16) std::memcpy(p + 16, o.offset_high_text + 16, 8);
    p += o.offset_high_size;
    const std::uint32_t low = json_digits::four(static_cast<std::uint32_t>(offset - high * 10000));
    std::memcpy(p, &low, sizeof low);
    return p + sizeof low;
}

// Sixteen bytes may be read past the bytes given to escape_checked.
inline constexpr std::size_t JSON_SLACK = 16;

// Writes the n bytes at `bytes` (of which JSON_SLACK more may be read) as
// the inside of a JSON string at out (which has room for
// JSON_ESCAPE_GROWTH a byte and JSON_SLACK more), sixteen at a time where
// they need nothing; nullptr where they are no valid UTF-8.
char* escape_checked(char* out, const char* bytes, std::size_t n);

bool valid_utf8(const std::uint8_t* bytes, std::size_t n);

}  // namespace vorsk
