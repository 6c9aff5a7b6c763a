// The lookup of control function records: what the compiler cannot check
// in the table itself.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "vocab/functions.h"

namespace vorsk {
namespace {

struct Identity {
    std::uint8_t marker;
    std::size_t n_intermediates;
    std::uint8_t intermediate;
    std::uint8_t final_byte;
};

CsiLookup look_up(const Identity& id) {
    // The record is large; the test keeps it off the stack.
    static const auto s = std::make_unique<Sequence>();
    s->kind = CSI_SEQUENCE;
    s->marker = id.marker;
    s->n_intermediates = id.n_intermediates;
    s->intermediates[0] = s->intermediates[1] = id.intermediate;
    s->final_byte = id.final_byte;
    return lookup_csi_function(*s);
}

TEST(LookupCsiFunction, UnknownCombinationsYieldTheEmptyRecord) {
    const Identity unknown[] = {
        {0, 0, 0, 0x70},    {0, 0, 0, 0x71},    {0, 0, 0, 's'},    {0, 0, 0, 0x7E},
        {0, 1, ' ', 0x70},  {0, 1, ' ', 0x7E},  {0, 1, '!', 0x40}, {0, 1, '\'', 0x79},
        {0, 1, '\'', 0x7D}, {0, 1, '\'', 0x40}, {0, 1, '&', 0x76}, {0, 1, '&', 'z'},
        {0, 2, ' ', 0x40},  {0, 2, '\'', 0x7A}, {0, 2, '&', 'w'},  {0, 3, ' ', 'A'},
        {'?', 0, 0, 'q'},   {'<', 0, 0, 's'},
    };
    for (const Identity& id : unknown) {
        const CsiLookup found = look_up(id);
        EXPECT_EQ(found.function, &empty_csi_function)
            << "marker " << int{id.marker} << ", " << id.n_intermediates << " intermediates "
            << int{id.intermediate} << ", final " << int{id.final_byte};
        EXPECT_FALSE(found.describes);
    }
}

TEST(LookupCsiFunction, AMarkedSequenceWithoutARecordIsLabelledOnly) {
    const CsiLookup plain = look_up({0, 0, 0, 'h'});
    const CsiLookup dec = look_up({'?', 0, 0, 'h'});
    const CsiLookup other = look_up({'>', 0, 0, 'h'});
    EXPECT_TRUE(plain.describes);
    EXPECT_TRUE(dec.describes);
    EXPECT_NE(dec.function, plain.function);
    EXPECT_EQ(other.function, plain.function);
    EXPECT_FALSE(other.describes);
}

}  // namespace
}  // namespace vorsk
