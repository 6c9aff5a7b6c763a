// The one escaper of JSON strings: what JSON forbids raw, bytes that are
// not UTF-8, and a character cut by the end of a piece of a longer text.
#include "text/json.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vorsk {
namespace {

struct Escaped {
    std::string text;
    std::size_t taken = 0;
};

Escaped escape(const std::string& bytes, bool more = false) {
    std::string out(bytes.size() * JSON_ESCAPE_GROWTH, '\0');
    std::size_t taken = 0;
    const std::size_t n = json_escape(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                      bytes.size(), out.data(), more, taken);
    out.resize(n);
    return {out, taken};
}

TEST(JsonEscape, QuotesBackslashesAndControlsAreEscapedTheRestCopied) {
    EXPECT_EQ(escape("a\"b\\c/d").text, "a\\\"b\\\\c/d");
    EXPECT_EQ(escape("\n\r\t\b\f").text, "\\n\\r\\t\\b\\f");
    EXPECT_EQ(escape(std::string("\x1b[1m\x00\x1f\x7f", 7)).text, "\\u001b[1m\\u0000\\u001f\x7f");
    // Well-formed UTF-8 of every length, U+2028 and a C1 control written as
    // UTF-8 included, goes as it is.
    const std::string text = "\xc3\xa9\xe2\x80\xa8\xf0\x9f\x98\x80\xc2\x9b";
    EXPECT_EQ(escape(text).text, text);
}

TEST(JsonEscape, EachByteThatBeginsNoCharacterIsOneReplacementCharacter) {
    const std::string fffd = "\xef\xbf\xbd";
    EXPECT_EQ(escape("a\x9b"
                     "b")
                  .text,
              "a" + fffd + "b");  // a raw C1 byte
    EXPECT_EQ(escape("\xff\xfe").text, fffd + fffd);
    EXPECT_EQ(escape("\xc0\xaf").text, fffd + fffd);             // overlong
    EXPECT_EQ(escape("\xed\xa0\x80").text, fffd + fffd + fffd);  // a surrogate
    EXPECT_EQ(escape("\xe2\x82"
                     "x")
                  .text,
              fffd + fffd + "x");                                // cut, then ASCII
    EXPECT_EQ(escape("\xf0\x9f\x98").text, fffd + fffd + fffd);  // cut at the end
    EXPECT_EQ(escape("\xf0\x9f\x98").taken, 3u);
}

TEST(JsonEscape, ACharacterCutByThePiecesEndWaitsForTheNextPiece) {
    const Escaped first = escape("ok \xf0\x9f", true);
    EXPECT_EQ(first.text, "ok ");
    EXPECT_EQ(first.taken, 3u);
    // Only a start that can still become a character waits.
    EXPECT_EQ(escape("\xf0\x28", true).taken, 2u);
    EXPECT_EQ(escape("\xe2\x82\xac", true).text, "\xe2\x82\xac");
    EXPECT_EQ(escape("\x80", true).taken, 1u);
}

TEST(JsonEscape, OneAsciiByteIsWrittenAsTheWholeEscaperWritesIt) {
    for (int b = 0; b < 128; ++b) {
        const std::string byte(1, static_cast<char>(b));
        char out[8];
        char* end = json_escape_ascii(out, static_cast<std::uint8_t>(b));
        EXPECT_EQ(std::string(out, end), escape(byte).text) << b;
    }
}

std::string decimal(std::uint64_t value) {
    char out[24];
    return {out, json_decimal(out, value)};
}

TEST(JsonDecimal, EveryDigitCountAndItsBoundaries) {
    std::uint64_t power = 1;
    for (int digits = 1; digits <= 19; ++digits, power *= 10) {
        for (const std::uint64_t value : {power, power + 1, power * 10 - 1, power * 7 + 3})
            EXPECT_EQ(decimal(value), std::to_string(value));
    }
    EXPECT_EQ(decimal(0), "0");
    EXPECT_EQ(decimal(UINT32_MAX), "4294967295");
    EXPECT_EQ(decimal(UINT64_MAX), "18446744073709551615");
    // Every value below ten thousand, in each half of eight digits, and as
    // the last four digits of a longer number.
    for (std::uint32_t value = 0; value < 10000; ++value) {
        EXPECT_EQ(decimal(value), std::to_string(value));
        EXPECT_EQ(decimal(value * 10000ull + 9999), std::to_string(value * 10000ull + 9999));
        const std::uint32_t four = json_digits::four(value);
        char padded[8];
        std::snprintf(padded, sizeof padded, "%04u", value);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&four), 4), padded);
    }
}

}  // namespace
}  // namespace vorsk
