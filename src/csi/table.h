// The control function table: one constant record per control function.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/line_writer.h"

namespace vorsk {

enum ParamShape : std::int32_t {
    SHAPE_NONE = 0,
    SHAPE_ONE_NUMERIC = 1,     // Pn
    SHAPE_TWO_NUMERIC = 2,     // Pn1;Pn2
    SHAPE_NUMERIC_LIST = 3,    // Pn...
    SHAPE_ONE_SELECTIVE = 4,   // Ps
    SHAPE_TWO_SELECTIVE = 5,   // Ps1;Ps2
    SHAPE_SELECTIVE_LIST = 6,  // Ps...
};

// A description handler: final byte, private marker (0 for none), the
// writer, and the parameter values after defaults. It prints only complete
// description lines.
using CsiHandler = void (*)(std::uint8_t final_byte, std::uint8_t private_marker, LineWriter& w,
                            std::size_t n_params, const std::uint32_t* params);

struct CsiFunction {
    const char* acronym = nullptr;  // nullptr: no label line
    const char* name = nullptr;
    ParamShape shape = SHAPE_NONE;
    CsiHandler handler = nullptr;  // nullptr: no description lines
    std::int32_t default1 = 0;     // -1: an empty parameter yields no value
    std::int32_t default2 = 0;
};

inline constexpr CsiFunction empty_csi_function{};

// Never nullptr: an unknown combination yields empty_csi_function.
const CsiFunction& lookup_csi_function(std::size_t n_intermediates, std::uint8_t last_intermediate,
                                       std::uint8_t final_byte);

}  // namespace vorsk
