// A sequence as the parser hands it over: what it is, its private marker,
// intermediates, parameters and final byte, and the bytes it was read from.
// Describers read the record and never the input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/input_buffer.h"

namespace vorsk {

enum SequenceKind : std::uint8_t {
    NF_SEQUENCE,   // ESC, intermediates 0x20-0x2F, final 0x30-0x7E
    FP_SEQUENCE,   // ESC 0x30-0x3F: private two-byte functions
    FE_SEQUENCE,   // ESC 0x40-0x5F: the 7-bit forms of the C1 controls
    FS_SEQUENCE,   // ESC 0x60-0x7E: standardised single functions
    CSI_SEQUENCE,  // ESC "[", parameters, intermediates, final 0x40-0x7E
};

// One parameter of a control sequence: its value (modulo 2^32), whether
// digits gave it, and the byte that ended it: ";", ":" or another parameter
// byte, the first intermediate, or the final byte.
struct Parameter {
    std::uint32_t value = 0;
    bool present = false;
    std::uint8_t ended_by = 0;
};

// A sequence can be no longer than the look-ahead over it.
inline constexpr std::size_t MAX_SEQUENCE_BYTES = LOOKAHEAD_LIMIT;
// Every parameter is ended by a byte of its own.
inline constexpr std::size_t MAX_PARAMETERS = MAX_SEQUENCE_BYTES;

struct Sequence {
    SequenceKind kind = FE_SEQUENCE;
    std::uint8_t marker = 0;      // the private marker of a control sequence, or 0
    std::uint8_t final_byte = 0;  // the byte after ESC for the two-byte kinds
    std::size_t n_intermediates = 0;
    std::uint8_t intermediates[2] = {};  // the first two
    std::size_t n_params = 0;
    Parameter params[MAX_PARAMETERS] = {};
    std::size_t n_bytes = 0;  // the bytes after ESC, final byte included
    std::uint8_t bytes[MAX_SEQUENCE_BYTES] = {};
};

// The value of parameter i, or the fallback where it is empty or missing.
inline std::uint32_t sequence_param(const Sequence& s, std::size_t i, std::uint32_t fallback) {
    return i < s.n_params && s.params[i].present ? s.params[i].value : fallback;
}

}  // namespace vorsk
