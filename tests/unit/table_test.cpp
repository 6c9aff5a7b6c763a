// The lookup of control function records: what the compiler cannot check
// in the table itself.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "csi/table.h"

namespace vorsk {
namespace {

TEST(LookupCsiFunction, UnknownCombinationsYieldTheEmptyRecord) {
    struct Combination {
        std::size_t n_intermediates;
        std::uint8_t last_intermediate;
        std::uint8_t final_byte;
    };
    const Combination unknown[] = {
        {0, 0, 0x70},    {0, 0, 0x71},     {0, 0, 0x75},    {0, 0, 0x7E},
        {1, ' ', 0x70},  {1, ' ', 0x7E},   {1, '!', 0x40},  {1, '\'', 0x79},
        {1, '\'', 0x7D}, {1, '\'', 0x40},  {1, '&', 0x76},  {1, '&', 'z'},
        {2, ' ', 0x40},  {2, '\'', 0x7A},  {2, '&', 'w'},   {3, ' ', 'A'},
    };
    for (const Combination& c : unknown) {
        EXPECT_EQ(&lookup_csi_function(c.n_intermediates, c.last_intermediate, c.final_byte),
                  &empty_csi_function)
            << c.n_intermediates << " intermediates, last " << int{c.last_intermediate}
            << ", final " << int{c.final_byte};
    }
}

TEST(LookupCsiFunction, RAndSShareOneRecordThatTDoesNot) {
    const CsiFunction& r = lookup_csi_function(0, 0, 'r');
    EXPECT_EQ(&r, &lookup_csi_function(0, 0, 's'));
    EXPECT_NE(&r, &lookup_csi_function(0, 0, 't'));
    EXPECT_NE(&r, &empty_csi_function);
    EXPECT_EQ(r.acronym, nullptr);
    EXPECT_EQ(r.default1, -1);
}

}  // namespace
}  // namespace vorsk
