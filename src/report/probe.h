// The report of --probe: the answers a terminal gave, read into features
// (its name and version, colours, modes, keyboard protocols, graphics,
// clipboard, sizes, the widths it gives characters) and written as text
// or one JSON object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/line_writer.h"

namespace vorsk {

// The characters whose widths the probe measures, with the cursor
// position report after each.
inline constexpr std::uint32_t PROBE_WIDE = 0x6F22;    // a CJK ideograph
inline constexpr std::uint32_t PROBE_EMOJI = 0x1F600;  // an emoji

struct ProbeContext {
    const char* device = "";       // the terminal's name, for the report
    const char* tmux = nullptr;    // $TMUX
    const char* screen = nullptr;  // $STY
    std::size_t queries = 0;       // how many were sent
    bool json = false;
};

void write_probe_report(LineWriter& w, const std::uint8_t* answers, std::size_t n,
                        const ProbeContext& context);

}  // namespace vorsk
