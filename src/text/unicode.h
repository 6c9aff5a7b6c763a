// Unicode for extended mode: what a code point is for the account (text,
// or a control item that must never reach the output raw), how many
// columns it takes, and where grapheme clusters break. The properties come
// from utf8proc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "text/utf8.h"

namespace vorsk {

// The name of a code point that is shown as a control item rather than as
// text: C1 controls, the controls that reorder or hide text, line and
// paragraph separators and noncharacters. "" for one that has no short
// name (another format character); nullptr for a code point that is text.
const char* unsafe_code_point_name(std::uint32_t cp);

// Columns on a terminal: 0, 1 or 2.
int code_point_width(std::uint32_t cp);

// What is known of each code point of the Basic Multilingual Plane, looked
// up from utf8proc at its first use (unicode.cpp), so that the common case
// below is one load.
namespace plain_text {
enum Kind : std::uint8_t { NOT_LOOKED_UP, NARROW, WIDE, NOT_PLAIN };
extern Kind bmp_kinds[0x10000];
Kind look_up(std::uint32_t cp);
// The grapheme rules' states (utf8proc's): nothing before, after a code
// point of the class Other, and after a precomposed Hangul syllable of two
// jamo (LV) or three (LVT).
inline constexpr std::int32_t START_STATE = 0;
inline constexpr std::int32_t OTHER_STATE = 1;
inline constexpr std::int32_t LV_STATE = 9;
inline constexpr std::int32_t LVT_STATE = 10;
}  // namespace plain_text

// A precomposed Hangul syllable is two columns wide and, between plain text
// and other such syllables, a cluster of its own; only jamo and marks join
// it. Of each 28 syllables from U+AC00, the first has no final jamo (LV).
inline bool is_hangul_syllable(std::uint32_t cp) {
    return cp >= 0xAC00 && cp <= 0xD7A3;
}
inline std::int32_t hangul_syllable_state(std::uint32_t cp) {
    return (cp - 0xAC00) % 28 == 0 ? plain_text::LV_STATE : plain_text::LVT_STATE;
}

// The columns of plain text, 1 or 2: a code point that is no control item
// and a grapheme cluster of its own next to other plain text; 0 for any
// other code point. One lookup where the calls above take three.
inline int plain_text_width(std::uint32_t cp) {
    const plain_text::Kind kind = cp < std::size(plain_text::bmp_kinds) &&
                                          plain_text::bmp_kinds[cp] != plain_text::NOT_LOOKED_UP
                                      ? plain_text::bmp_kinds[cp]
                                      : plain_text::look_up(cp);
    return kind == plain_text::NARROW ? 1 : kind == plain_text::WIDE ? 2 : 0;
}

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
// Whether any plain code point after g begins a cluster for certain; then
// grapheme_break_plain records it without a call of utf8proc.
inline bool plain_breaks_surely(const GraphemeState& g) {
    // Between two code points of the class Other a cluster always breaks,
    // and the rules' state is Other after; so it does after a Hangul
    // syllable.
    return g.last != 0 && (g.state == plain_text::OTHER_STATE || g.state == plain_text::LV_STATE ||
                           g.state == plain_text::LVT_STATE ||
                           (g.state == plain_text::START_STATE &&
                            (plain_text_width(g.last) != 0 || is_hangul_syllable(g.last))));
}
// The same, always through utf8proc's rules (for tests of the fast path).
bool grapheme_break_looked_up(GraphemeState& g, std::uint32_t cp);

// The columns a code point adds to the cluster it joins: a regional
// indicator pair is a flag two columns wide, and a one-column symbol
// followed by VS16 is an emoji two columns wide; other joiners add none.
int joined_width(std::uint32_t previous, std::uint32_t cp, int previous_width);

// The Unicode version the properties come from.
const char* unicode_version();

// Writes cp as "U+XXXX" (at least four hex digits) into out, terminated;
// returns the length. out holds at least 9 bytes.
std::size_t format_code_point(char* out, std::uint32_t cp);

// The item of a code point shown as a control item, unsafe_code_point_name
// giving its name: "U+200B/ZWSP", or "U+FFFE" where the name is empty.
// Written into out, which holds CODE_POINT_ITEM_SIZE bytes, terminated;
// returns the length.
inline constexpr std::size_t CODE_POINT_ITEM_SIZE = 24;
std::size_t format_code_point_item(char* out, std::uint32_t cp, const char* name);

}  // namespace vorsk
