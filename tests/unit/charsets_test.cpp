// registry_name beyond what designations can reach: the golden cases only
// ever meet the unnamed numbers 8 and 9.
#include "vocab/charsets.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vorsk {
namespace {

std::string name_of(int number) {
    char scratch[REGISTRY_NAME_SIZE];
    return registry_name(number, scratch);
}

TEST(RegistryName, NamedSetsComeFromTheRegistry) {
    char scratch[REGISTRY_NAME_SIZE] = "untouched";
    const char* name = registry_name(6, scratch);
    EXPECT_STREQ(name, "US-ASCII");
    EXPECT_NE(name, scratch);
    EXPECT_EQ(name_of(234), "SI1311:2002");  // the last number of the registry
}

TEST(RegistryName, UnnamedNumbersFallBackToTheirRegistration) {
    EXPECT_EQ(name_of(0), "ISO-IR-0");
    EXPECT_EQ(name_of(8), "ISO-IR-8");
    EXPECT_EQ(name_of(235), "ISO-IR-235");  // just past the registry
    EXPECT_EQ(name_of(-1), "ISO-IR--1");
    EXPECT_EQ(name_of(INT_MIN), "ISO-IR--2147483648");  // the longest fallback fits
    EXPECT_EQ(name_of(INT_MAX), "ISO-IR-2147483647");
}

TEST(RegistryName, ControlSetNumbersAreNotGraphicNames) {
    // 1 is ISO 646 as a C0 set, but no graphic set is registered under it.
    EXPECT_STREQ(control_set_name(1), "ISO 646");
    EXPECT_EQ(name_of(1), "ISO-IR-1");
}

}  // namespace
}  // namespace vorsk
