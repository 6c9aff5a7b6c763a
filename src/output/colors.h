// The colour of each element of the account: a palette filled at start-up
// from the default colours and a colour string of the user's.
#pragma once

#include <cstdint>

#include "output/line_kinds.h"

namespace vorsk {

// The colour of one element: SGR parameter bytes, not terminated. The bytes
// belong to the colour string they came from, which lives for the whole run.
struct ColorValue {
    const char* text = nullptr;
    std::uint32_t len = 0;
};

struct Palette {
    ColorValue colors[N_COLOR_KEYS] = {};
};

inline constexpr char DEFAULT_COLORS[] = "|>=36;7,.=31,:=33,&=35,\"=32,@=34,#=36,>=1";

// Applies the entries of a colour string ("key=value,...") to the palette,
// left to right; malformed entries are skipped silently. The colours point
// into the string.
void parse_color_string(Palette& palette, const char* entries);

// DEFAULT_COLORS, then the user's colour string when there is one.
Palette configured_palette(const char* user_entries);

}  // namespace vorsk
