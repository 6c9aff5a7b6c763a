// Text from the input made safe to show on a terminal: what would act on
// the terminal, reorder or hide text, or is no valid UTF-8 is written as an
// item in angle brackets.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "text/controls.h"

namespace vorsk {

// The items: "<LF>" for a C0 control or DEL, "<U+202E/RLO>" for a code
// point that is no text, "<xC3>" for a byte that begins no well-formed
// UTF-8 sequence. Writes into out (capacity cap, terminated); a text that
// does not fit ends with "...". Returns the length written.
std::size_t safe_text(char* out, std::size_t cap, std::string_view text);

}  // namespace vorsk
