#include "output/colors.h"

#include <cstdlib>
#include <cstring>

#include "driver/options.h"

namespace vorsk {

constinit ColorSpec text_color;
constinit ColorSpec text_decor_color;
constinit ColorSpec control_color;
constinit ColorSpec escape_color;
constinit ColorSpec label_color;
constinit ColorSpec description_color;
constinit ColorSpec delay_color;

namespace {

bool is_sgr_parameter_byte(char c) { return c >= 0x30 && c <= 0x3f; }

}  // namespace

void parse_color_spec(const char* entries) {
    const char* p = entries;
    for (;;) {
        ColorSpec* slot = nullptr;
        switch (*p) {
            case '\0':
                return;
            case '|':
                if (p[1] == '>') {
                    slot = &text_color;
                    ++p;
                } else {
                    slot = &text_decor_color;
                }
                break;
            case '"': slot = &description_color; break;
            case '&': slot = &label_color; break;
            case '.': slot = &control_color; break;
            case ':': slot = &escape_color; break;
            case '@': slot = &delay_color; break;
            default: break;  // no slot: a one-byte key whose entry is skipped
        }
        const char* q = p + 1;
        if (*q == '\0') return;
        // Whatever stands here takes the place of the "=": a "," there does
        // not end the entry, so the next entry is swallowed.
        if (*q != '=') slot = nullptr;
        const char* value = q + 1;
        const char* end = value;
        while (*end != '\0' && *end != ',') {
            if (!is_sgr_parameter_byte(*end)) slot = nullptr;
            ++end;
        }
        const std::size_t len = static_cast<std::size_t>(end - value);
        if (slot != nullptr && len <= 0xffffffffu) {
            slot->text = value;
            slot->len = static_cast<std::uint32_t>(len);
        }
        p = (*end == ',') ? end + 1 : end;
    }
}

void configure_colors() {
    const char* env = std::getenv("VORSK_COLORS");
    if (options.color_mode != COLOR_ALWAYS) return;
    parse_color_spec(DEFAULT_COLORS);
    if (env != nullptr) parse_color_spec(env);
}

}  // namespace vorsk
