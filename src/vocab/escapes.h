// The two-byte escapes (ESC Fp, ESC Fe, ESC Fs): their names, and their
// escape line, label and, with -X, what the commonest of them do.
#pragma once

#include <cstdint>
#include <string_view>

#include "output/line_writer.h"
#include "parse/sequence.h"

namespace vorsk {

// The escape line and label of a two-byte escape; with describe, the
// description of those extended mode describes.
void report_two_byte_escape(LineWriter& w, const Sequence& s, bool describe);

// The acronym and name of the two-byte escape ESC b (0x30 to 0x7E), or
// false where it has none.
bool two_byte_escape_name(std::uint8_t b, std::string_view* acronym, std::string_view* name);

}  // namespace vorsk
