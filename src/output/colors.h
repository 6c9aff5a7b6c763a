// The colour of each kind of output element, filled at start-up when
// colours are on, and never changed afterwards.
#pragma once

#include "output/line_writer.h"

namespace vorsk {

extern ColorSpec text_color;         // key "|>": the content of text lines
extern ColorSpec text_decor_color;   // key "|": bars and wrap markers of text lines
extern ColorSpec control_color;      // key "."
extern ColorSpec escape_color;       // key ":"
extern ColorSpec label_color;        // key "&"
extern ColorSpec description_color;  // key '"'
extern ColorSpec delay_color;        // key "@"

inline constexpr const char* DEFAULT_COLORS = "|>=36;7,.=31,:=33,&=35,\"=32,@=34";

// Fills the slots from DEFAULT_COLORS and then VORSK_COLORS, only when the
// colour mode is COLOR_ALWAYS.
void configure_colors();

// Applies the entries of a colour string ("key=value,...") to the slots, left to right;
// malformed entries are skipped silently. The slots point into the string.
void parse_color_spec(const char* entries);

}  // namespace vorsk
