// The grapheme breaks of the fast path for plain text agree with utf8proc's
// rules for every code point, after every kind of code point before it.
#include "text/unicode.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vorsk {
namespace {

bool is_surrogate(std::uint32_t cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

TEST(GraphemeBreak, FastPathAgreesWithTheRules) {
    // Text before: ASCII, Latin, Cyrillic, CJK, Hangul syllables of two and
    // three jamo, a combining mark, a spacing mark, ZWJ, an emoji, a regional
    // indicator, a control, prepended marks (after which nothing breaks).
    const std::uint32_t befores[] = {'a',    0x00E9, 0x0436,  0x4E2D,  0xAC00, 0xAC01, 0x0301,
                                     0x0E33, 0x200D, 0x1F600, 0x1F1E6, 0x0009, 0x0600, 0x0D4E};
    for (const std::uint32_t before : befores) {
        // The state after one code point, and after two like it.
        GraphemeState once{before, 0};
        GraphemeState twice = once;
        grapheme_break_looked_up(twice, before);
        for (const GraphemeState& start : {once, twice}) {
            for (std::uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
                if (is_surrogate(cp)) continue;
                GraphemeState fast = start;
                GraphemeState rules = start;
                ASSERT_EQ(grapheme_break(fast, cp), grapheme_break_looked_up(rules, cp))
                    << std::hex << before << " " << cp;
                ASSERT_EQ(fast.state, rules.state) << std::hex << before << " " << cp;
            }
        }
    }
}

// What the run of plain text takes for every Hangul syllable: two columns,
// no control item, and the rules' state after it; and for printable ASCII.
TEST(GraphemeBreak, HangulSyllablesAreWideTextOfTheirOwnClass) {
    for (std::uint32_t cp = 0xAC00; cp <= 0xD7A3; ++cp) {
        ASSERT_TRUE(is_hangul_syllable(cp));
        ASSERT_EQ(code_point_width(cp), 2) << std::hex << cp;
        ASSERT_EQ(unsafe_code_point_name(cp), nullptr) << std::hex << cp;
        GraphemeState after_text{'a', plain_text::OTHER_STATE};
        ASSERT_TRUE(grapheme_break_looked_up(after_text, cp));
        ASSERT_EQ(after_text.state, hangul_syllable_state(cp)) << std::hex << cp;
    }
    EXPECT_FALSE(is_hangul_syllable(0xABFF));
    // And what it takes of printable ASCII: plain text, a column a byte.
    for (std::uint32_t b = 0x20; b < 0x7F; ++b) ASSERT_EQ(plain_text_width(b), 1) << b;
    EXPECT_FALSE(is_hangul_syllable(0xD7A4));
}

}  // namespace
}  // namespace vorsk
