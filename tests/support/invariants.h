// What every account that vorsk writes must look like, whatever its input:
// each row one of the known kinds, well formed, no wider than 78 columns
// unless it is a one-line record, and no escape byte but the colour escapes.
#pragma once

#include <string>
#include <string_view>

namespace vorsk_test {

// How the account was made: the options that change its shape.
struct OutputShape {
    bool colors = false;  // SGR colour escapes may stand around and inside rows
    bool print_carets = true;
    bool print_escapes = true;
    bool print_labels = true;
    bool print_descriptions = true;
    bool delays = false;  // a timing file was read, so delay rows may appear
    // -X: rows may hold UTF-8 text (never a code point a terminal acts on,
    // reorders or hides text with), control items of code points, and the
    // payloads of control strings on escape rows.
    bool extended = false;
};

// The first rule the account breaks, as "row N: what is wrong: the row made
// visible", or an empty string when it keeps them all.
std::string check_invariants(std::string_view output, const OutputShape& shape = {});

// The row width of every wrapped line.
inline constexpr std::size_t ROW_WIDTH = 78;

}  // namespace vorsk_test
