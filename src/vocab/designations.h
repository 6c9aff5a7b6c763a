// Labels and descriptions of the nF sequences that designate code sets.
#pragma once

#include <cstdint>

#include "output/line_writer.h"

namespace vorsk {

// i1 is "!" (C0) or '"' (C1).
void describe_control_designation(LineWriter& w, std::uint8_t i1, std::uint8_t final_byte);
// i1 is 0x28-0x2F; i2 is 0 or an intermediate byte. With `extended` the
// sets of DEC terminals are named as terminals read them.
void describe_graphic_designation(LineWriter& w, std::uint8_t i1, std::uint8_t i2,
                                  std::uint8_t final_byte, bool extended);
// The first intermediate was "$"; i2 is 0 or 0x27-0x2F.
void describe_multibyte_designation(LineWriter& w, std::uint8_t i2, std::uint8_t final_byte);

}  // namespace vorsk
