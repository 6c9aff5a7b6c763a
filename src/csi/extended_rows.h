// The control functions of current terminals, each a row keyed by the
// whole identity of its sequences as the classic rows are; with -X they are
// found before the classic rows. Included by table.cpp only.
#pragma once

#include "csi/extended_handlers.h"
#include "csi/table.h"

namespace vorsk {
namespace {

constexpr FunctionKey key_of(char marker, char intermediate, char final_byte) {
    return function_key(static_cast<std::uint8_t>(marker), static_cast<std::uint8_t>(intermediate),
                        static_cast<std::uint8_t>(final_byte));
}

constexpr CsiFunction extended_rows[] = {
    // DECSCUSR: the cursor's shape.
    {.key = key_of(0, ' ', 'q'), .acronym = "DECSCUSR", .name = "SET CURSOR STYLE",
     .shape = SHAPE_ONE_SELECTIVE, .handler = csi_do_decscusr},
};

}  // namespace
}  // namespace vorsk
