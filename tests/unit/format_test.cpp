// The writer's own formatter: the conversions it takes, the ones it leaves
// to vsnprintf, and the capacity at every edge.
#include "output/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vorsk {
namespace {

long format(char* out, std::size_t cap, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    const long n = format_simple(out, cap, fmt, args);
    va_end(args);
    return n;
}

TEST(FormatSimple, TakesTheCommonConversions) {
    char out[64];
    EXPECT_EQ(format(out, sizeof out, "%s: %s%s", "CUP", "CURSOR POSITION", ""), 20);
    EXPECT_STREQ(out, "CUP: CURSOR POSITION");
    EXPECT_EQ(format(out, sizeof out, "Esc %c %d %u 100%%", '7', INT_MIN, 4294967295u), 33);
    EXPECT_STREQ(out, "Esc 7 -2147483648 4294967295 100%");
    EXPECT_EQ(format(out, sizeof out, "%d", 0), 1);
    EXPECT_STREQ(out, "0");
    EXPECT_EQ(format(out, sizeof out, "#%02x%02x%02x %02x", 0xffu, 0x5u, 0u, 0x1234u), 12);
    EXPECT_STREQ(out, "#ff0500 1234");
}

TEST(FormatSimple, LeavesOtherConversionsToVsnprintf) {
    char out[64];
    EXPECT_EQ(format(out, sizeof out, "%f", 1.5), -1);
    EXPECT_EQ(format(out, sizeof out, " x%02X", 0x9bu), -1);
    EXPECT_EQ(format(out, sizeof out, "%.*s", 2, "abc"), -1);
}

TEST(FormatSimple, NeverWritesPastItsCapacity) {
    char out[8] = "XXXXXXX";
    EXPECT_EQ(format(out, 0, "%s", "a"), -1);
    EXPECT_EQ(format(out, 0, "a"), -1);
    EXPECT_EQ(out[0], 'X');
    EXPECT_EQ(format(out, 4, "%s", "abc"), 3);  // the terminator fits exactly
    EXPECT_EQ(format(out, 3, "%s", "abc"), -1);
    char wide[12];
    EXPECT_EQ(format(wide, sizeof wide, "%d", INT_MIN), 11);
    EXPECT_EQ(format(out, 8, "%u", 5u), -1);  // room is kept for the widest number
}

}  // namespace
}  // namespace vorsk
