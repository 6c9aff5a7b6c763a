// What the reports write past the line kinds, straight to the writer:
// formatted text, and JSON strings.
#pragma once

#include <string_view>

#include "common.h"
#include "output/line_writer.h"

namespace vorsk {

VORSK_PRINTF(2, 3) void out(LineWriter& w, const char* format, ...);
void raw(LineWriter& w, std::string_view text);
// A JSON string: the quotes, and escapes for what JSON does not allow raw.
void json_string(LineWriter& w, std::string_view text);

}  // namespace vorsk
