// With --terminfo: after each sequence's lines, a line naming the
// capability of the terminal type whose string the sequence is (with the
// sequences just before it), or saying that it is none.
#pragma once

#include <cstdint>

#include "output/line_writer.h"
#include "parse/sequence.h"
#include "terminfo/terminfo.h"

namespace vorsk {

// What a processor keeps for the lines: the entry, and the run of
// adjacent sequences.
struct TerminfoView {
    const TerminfoEntry* entry = nullptr;
    TerminfoRun run;
};

// The capability line of a sequence that began at input offset start; keys:
// it is typed input, matched against the keys.
void write_capability_line(TerminfoView& view, LineWriter& w, const Sequence& s,
                           std::uint64_t start, bool keys);

}  // namespace vorsk
