// Control sequences: the scan that accepts them, and their processing into
// an escape line, a label line and description lines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "csi/table.h"
#include "decode/processor.h"

namespace vorsk {

inline constexpr std::size_t MAX_CSI_PARAMS = 255;

// With the input marked after ESC and "[" read: the record of the control
// sequence that follows (rewound to the mark), or nullptr (left marked).
const CsiFunction* scan_csi_sequence(Processor& p);
void process_csi_sequence(Processor& p, const CsiFunction& function);

}  // namespace vorsk
