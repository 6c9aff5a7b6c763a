// The control function table: one constant record per control function,
// keyed by the whole identity of its sequences (private marker,
// intermediate and final byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/line_writer.h"
#include "parse/sequence.h"

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

// At most this many parameter values reach a handler; the rest are echoed.
inline constexpr std::size_t MAX_CSI_PARAMS = 255;

// What a description handler reads: the sequence, and its parameter values
// after the defaults of its record.
struct CsiArguments {
    const Sequence* sequence = nullptr;
    std::size_t count = 0;
    const std::uint32_t* values = nullptr;
    bool extended = false;  // -X: today's vocabulary as well

    std::uint32_t param(std::size_t i, std::uint32_t fallback = 0) const {
        return i < count ? values[i] : fallback;
    }
    std::uint8_t final_byte() const { return sequence->final_byte; }
};

// A description handler prints only complete description lines. It is
// called only when the number of values suits the record's shape.
using CsiHandler = void (*)(const CsiArguments& args, LineWriter& w);

// The identity of a function: private marker, intermediate and final byte,
// each 0 where there is none, packed into one number.
using FunctionKey = std::uint32_t;
constexpr FunctionKey function_key(std::uint8_t marker, std::uint8_t intermediate,
                                   std::uint8_t final_byte) {
    return FunctionKey{marker} << 16 | FunctionKey{intermediate} << 8 | final_byte;
}

struct CsiFunction {
    FunctionKey key = 0;
    std::string_view acronym = {};  // empty: no label line
    std::string_view name = {};
    ParamShape shape = SHAPE_NONE;
    CsiHandler handler = nullptr;  // nullptr: no description lines
    std::int32_t default1 = 0;     // -1: an empty parameter yields no value
    std::int32_t default2 = 0;
    // The row of extended mode, read before the classic rows with -X; the
    // classic account never reads it.
    bool extended = false;
};

inline constexpr CsiFunction empty_csi_function{};

// The function a control sequence names, and whether its handler describes
// the sequence. Never nullptr: an unknown combination yields
// empty_csi_function. A marked sequence without a record of its own is
// answered by the record without marker, which labels it and describes
// nothing: "[ ? 1 h" is SM all the same, but "[ ? 5 d" no VPA to line 5.
struct CsiLookup {
    const CsiFunction* function = &empty_csi_function;
    bool describes = false;
    bool own_label = false;  // a row of extended mode, whose marker is part of its name
};
// In extended mode the functions of current terminals come first.
CsiLookup lookup_csi_function(const Sequence& s, bool extended = false);
// "ACRONYM: NAME" of the record found; empty for one without acronym.
std::string_view csi_label(const CsiLookup& found);

}  // namespace vorsk
