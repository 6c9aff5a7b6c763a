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

}  // namespace vorsk
