// With --terminfo: after each sequence's lines, a line naming the
// capability of the terminal type whose string the sequence is (with the
// sequences just before it), or saying that it is none.
#pragma once

#include <cstdint>

#include "output/line_writer.h"
#include "parse/control_string.h"
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
// The same for a control string of the output at its end, its introducer
// and terminator included: a string cut short, or longer than its kept
// head, is no capability.
void write_string_capability_line(TerminfoView& view, LineWriter& w, const ControlString& s,
                                  std::uint64_t start);

}  // namespace vorsk
