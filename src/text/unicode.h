// Unicode for extended mode: what a code point is for the account (text,
// or a control item that must never reach the output raw), how many
// columns it takes, and where grapheme clusters break. The properties come
// from utf8proc.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorsk {

// The name of a code point that is shown as a control item rather than as
// text: C1 controls, the controls that reorder or hide text, line and
// paragraph separators and noncharacters. "" for one that has no short
// name (another format character); nullptr for a code point that is text.
const char* unsafe_code_point_name(std::uint32_t cp);

// Columns on a terminal: 0, 1 or 2.
int code_point_width(std::uint32_t cp);

// The columns of plain text, 1 or 2: a code point that is no control item
// and a grapheme cluster of its own next to other plain text; 0 for any
// other code point. One lookup where the calls above take three.
int plain_text_width(std::uint32_t cp);

// Grapheme breaks between consecutive code points of a text line; the
// state carries what the rules need to know of the code points before.
struct GraphemeState {
    std::uint32_t last = 0;  // 0: nothing before
    std::int32_t state = 0;
};
// True: cp begins a new cluster.
bool grapheme_break(GraphemeState& g, std::uint32_t cp);
// The same for a code point that plain_text_width found plain.
bool grapheme_break_plain(GraphemeState& g, std::uint32_t cp);
// The same, always through utf8proc's rules (for tests of the fast path).
bool grapheme_break_looked_up(GraphemeState& g, std::uint32_t cp);

// The columns a code point adds to the cluster it joins: a regional
// indicator pair is a flag two columns wide, and a one-column symbol
// followed by VS16 is an emoji two columns wide; other joiners add none.
int joined_width(std::uint32_t previous, std::uint32_t cp, int previous_width);

// The Unicode version the properties come from.
const char* unicode_version();

// A UTF-8 sequence that is well formed (Unicode's table of well-formed byte
// sequences): how many bytes a lead byte announces, 0 for a byte that
// cannot begin one, and whether `byte` may stand at position `i` (1 to 3)
// after the lead.
int utf8_length(std::uint8_t lead);
bool utf8_continues(std::uint8_t lead, std::size_t i, std::uint8_t byte);

// Writes cp as "U+XXXX" (at least four hex digits) into out, terminated;
// returns the length. out holds at least 9 bytes.
std::size_t format_code_point(char* out, std::uint32_t cp);

}  // namespace vorsk
