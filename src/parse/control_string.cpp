// The record of a control string as it is read: its payload counted and
// kept, bulk data decoded as base64, and what each byte does to it.
#include "parse/control_string.h"

namespace vorsk {
namespace {

int base64_value(std::uint8_t c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

void base64_add(Base64Count& b, std::uint8_t c) {
    if (c == '=') {
        // Padding completes a group of two or three characters.
        if (b.group < 2) b.valid = false;
        ++b.padding;
        b.group = (b.group + 1) % 4;
        return;
    }
    const int value = base64_value(c);
    if (value < 0 || b.padding != 0) {
        b.valid = false;
        return;
    }
    b.group = (b.group + 1) % 4;
    b.bits = (b.bits << 6 | static_cast<std::uint32_t>(value)) & 0xFFFFFF;
    b.n_bits += 6;
    if (b.n_bits >= 8) {
        b.n_bits -= 8;
        const auto byte = static_cast<std::uint8_t>(b.bits >> b.n_bits);
        if (b.decoded < DECODED_PREVIEW_SIZE) b.preview[b.decoded] = byte;
        ++b.decoded;
    }
}

bool base64_complete(const Base64Count& b) {
    return b.valid && b.group == 0;
}

namespace {

constexpr int ESC = 0x1b;
constexpr int BEL = 0x07;
constexpr int CAN = 0x18;
constexpr int SUB = 0x1a;

StringKind kind_of(std::uint8_t introducer) {
    switch (introducer) {
        case ']': return OSC_STRING;
        case 'P': return DCS_STRING;
        case '_': return APC_STRING;
        case '^': return PM_STRING;
        case TITLE_INTRODUCER: return TITLE_STRING;
        default: return SOS_STRING;
    }
}

}  // namespace

void control_string_begin(ControlString& s, std::uint8_t introducer) {
    s.kind = kind_of(introducer);
    s.length = 0;
    s.kept = 0;
    s.bulk_start = NO_BULK;
    s.bulk_decided = false;
    s.bulk_cut = false;
    s.in_token = false;
    s.base64 = Base64Count{};
}

bool control_string_take(ControlString& s, std::uint8_t b, BulkFinder find_bulk) {
    const std::uint64_t offset = s.length++;
    if (s.kept < STRING_HEAD_SIZE) s.head[s.kept++] = b;
    if (s.bulk_start != NO_BULK) {
        base64_add(s.base64, b);
        return offset - s.bulk_start < BULK_ECHO_LIMIT;
    }
    if (!s.bulk_decided) s.bulk_start = find_bulk(s, s.bulk_decided);
    return true;
}

StringByte control_string_byte(InputBuffer& in, const ControlString& s, int b, StringEnd* end) {
    switch (b) {
        case ESC: {
            input_mark(in);
            const int next = input_get(in);
            if (next == '\\') {
                input_commit(in);
                *end = END_ST;
                return STRING_ENDS;
            }
            // tmux doubles every ESC of what it passes through.
            if (next == ESC && s.kind == DCS_STRING && s.text().starts_with("tmux;")) {
                input_commit(in);
                return STRING_TMUX_ESCAPE;
            }
            input_rewind(in);
            *end = next == EOF ? END_OF_INPUT : END_ESCAPE;
            return STRING_ENDS_BEFORE;
        }
        case BEL:
            if (s.kind != OSC_STRING) return STRING_PAYLOAD;
            *end = END_BEL;
            return STRING_ENDS;
        case CAN: *end = END_CAN; return STRING_ENDS;
        case SUB: *end = END_SUB; return STRING_ENDS;
        default: return STRING_PAYLOAD;
    }
}

}  // namespace vorsk
