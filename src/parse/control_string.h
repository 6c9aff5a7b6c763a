// A control string (OSC, DCS, APC, PM or SOS) as one unit: the first bytes
// of its payload kept for its describer, counts of all of it, and how it
// ended. A string of any length costs the same memory: the payload is
// echoed as it is read, bulk data only up to a bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "input/input_buffer.h"

namespace vorsk {

// TITLE_STRING is the title string of screen and tmux, ESC k ... ESC \.
enum StringKind : std::uint8_t {
    OSC_STRING,
    DCS_STRING,
    APC_STRING,
    PM_STRING,
    SOS_STRING,
    TITLE_STRING,
};

// The byte after ESC that opens a string of a kind.
inline constexpr char string_introducer(StringKind kind) {
    constexpr char introducers[] = {']', 'P', '_', '^', 'X', 'k'};
    return introducers[kind];
}

enum StringEnd : std::uint8_t {
    END_ST,        // ESC "\"
    END_BEL,       // BEL, for OSC
    END_CAN,       // cancelled by CAN
    END_SUB,       // cancelled by SUB
    END_ESCAPE,    // unterminated: ESC and something other than "\" followed
    END_OF_INPUT,  // unterminated: the input ended
};

// The first bytes of the payload that describers read; the rest is counted.
inline constexpr std::size_t STRING_HEAD_SIZE = 4096;
// Bulk data (image and file payloads, sixel pixels, a clipboard's base64)
// is echoed up to this many bytes and then counted.
inline constexpr std::size_t BULK_ECHO_LIMIT = 64;
// The first bytes that base64 bulk data decodes to, for a preview.
inline constexpr std::size_t DECODED_PREVIEW_SIZE = 48;
inline constexpr std::uint64_t NO_BULK = ~std::uint64_t{0};

// A running decode of base64 (RFC 4648): the bytes it makes, the first of
// them, and whether every character so far was valid.
struct Base64Count {
    std::uint64_t decoded = 0;
    std::uint8_t preview[DECODED_PREVIEW_SIZE] = {};
    bool valid = true;
    std::uint32_t bits = 0;
    int n_bits = 0;
    int group = 0;  // characters of the group of four being read
    int padding = 0;
};
void base64_add(Base64Count& b, std::uint8_t c);
// True when the characters seen make whole groups of four.
bool base64_complete(const Base64Count& b);

struct ControlString {
    StringKind kind = OSC_STRING;
    StringEnd end = END_ST;
    std::uint64_t length = 0;  // payload bytes, terminator excluded
    std::size_t kept = 0;      // the first of them, in head
    std::uint8_t head[STRING_HEAD_SIZE] = {};
    std::uint64_t bulk_start = NO_BULK;  // the offset of the bulk data, if any
    bool bulk_decided = false;           // whether it is known where bulk data begins
    bool bulk_cut = false;               // the echo of the bulk data has stopped
    bool in_token = false;               // the last piece echoed is not a blank
    Base64Count base64;                  // over the bulk data

    std::string_view text() const { return {reinterpret_cast<const char*>(head), kept}; }
    bool whole() const { return kept == length; }
    std::uint64_t bulk_length() const { return bulk_start == NO_BULK ? 0 : length - bulk_start; }
};

inline constexpr bool is_string_introducer(int b) {
    return b == ']' || b == 'P' || b == '_' || b == '^' || b == 'X';
}
// screen's title string, ESC k, which tmux takes too.
inline constexpr int TITLE_INTRODUCER = 'k';

// Starts the record of a string after ESC and its introducer ("]", "P",
// "_", "^" or "X", or "k" for screen's title string).
void control_string_begin(ControlString& s, std::uint8_t introducer);

// Where the bulk data of a string begins, judged from the head so far
// after each byte; NO_BULK while it cannot tell yet. Each family knows its
// own, so the decoder hands its judge in.
using BulkFinder = std::uint64_t (*)(const ControlString& s, bool& decided);

// Counts a payload byte, keeps it while there is room, and says whether it
// is echoed: everything but bulk data past its bound.
bool control_string_take(ControlString& s, std::uint8_t b, BulkFinder find_bulk);

// What a byte read inside a string does.
enum StringByte : std::uint8_t {
    STRING_PAYLOAD,      // a byte of the payload
    STRING_TMUX_ESCAPE,  // ESC ESC inside a tmux pass-through: two payload ESCs, both taken
    STRING_ENDS,         // the terminator, taken; *end says which
    STRING_ENDS_BEFORE,  // ESC and another byte: the string ends unterminated, and
                         // the input stands at the ESC again, which begins what follows
};

// Reads what byte b does to the open string s, looking at the byte after
// an ESC in the input (and taking it where it belongs to the string).
StringByte control_string_byte(InputBuffer& in, const ControlString& s, int b, StringEnd* end);

}  // namespace vorsk
