// The nF sequences (ESC, intermediates, a final): ECMA-35's announcements
// and designations of code sets (C0 and C1 control sets, graphic sets of 94
// or 96 characters, single-byte or multibyte, into G0 to G3) and, with -X,
// DEC's line sizes and the switch to UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/line_writer.h"
#include "parse/sequence.h"

namespace vorsk {

// Room for the longest label, "GZDM4: G0-DESIGNATE MULTIBYTE 94-SET".
inline constexpr std::size_t NF_LABEL_SIZE = 48;

// The label the account gives an nF sequence of intermediates i1 and i2
// (0 where there is one) and this final, written into out and terminated;
// returns its length, 0 where it has none.
std::size_t nf_label(char* out, std::size_t cap, std::uint8_t i1, std::uint8_t i2,
                     std::uint8_t final_byte, bool extended);

// The label line and description lines of an nF sequence, after its escape
// line.
void describe_nf_sequence(LineWriter& w, const Sequence& s, bool extended);

}  // namespace vorsk
