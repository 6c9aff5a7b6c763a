#include "output/colors.h"

namespace vorsk {
namespace {

bool is_sgr_parameter_byte(char c) {
    return c >= 0x30 && c <= 0x3f;
}

}  // namespace

void parse_color_string(Palette& palette, const char* entries) {
    const char* p = entries;
    for (;;) {
        ColorKey key = NO_COLOR;
        switch (*p) {
            case '\0': return;
            case '|':
                if (p[1] == '>') {
                    key = TEXT_COLOR;
                    ++p;
                } else {
                    key = TEXT_DECOR_COLOR;
                }
                break;
            case '"': key = DESCRIPTION_COLOR; break;
            case '&': key = LABEL_COLOR; break;
            case '.': key = CONTROL_COLOR; break;
            case ':': key = ESCAPE_COLOR; break;
            case '@': key = DELAY_COLOR; break;
            case '#': key = METADATA_COLOR; break;
            case '>': key = INPUT_MARK_COLOR; break;
            default: break;  // no element: a one-byte key whose entry is skipped
        }
        const char* q = p + 1;
        if (*q == '\0') return;
        // Whatever stands here takes the place of the "=": a "," there does
        // not end the entry, so the next entry is swallowed.
        if (*q != '=') key = NO_COLOR;
        const char* value = q + 1;
        const char* end = value;
        while (*end != '\0' && *end != ',') {
            if (!is_sgr_parameter_byte(*end)) key = NO_COLOR;
            ++end;
        }
        const std::size_t len = static_cast<std::size_t>(end - value);
        if (key != NO_COLOR && len <= 0xffffffffu) {
            palette.colors[key] = {value, static_cast<std::uint32_t>(len)};
        }
        p = (*end == ',') ? end + 1 : end;
    }
}

Palette configured_palette(const char* user_entries) {
    Palette palette;
    parse_color_string(palette, DEFAULT_COLORS);
    if (user_entries != nullptr) parse_color_string(palette, user_entries);
    return palette;
}

}  // namespace vorsk
