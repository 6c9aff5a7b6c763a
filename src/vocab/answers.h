// What a terminal answers to the queries a program sends: in a recording
// of both directions the output side notes each query it sends, and the
// typed input reads a sequence that answers one as that answer, even where
// its bytes also spell a key.
#pragma once

#include <cstdint>

#include "output/line_writer.h"
#include "parse/control_string.h"
#include "parse/sequence.h"

namespace vorsk {

enum QueryKind : std::uint8_t {
    QUERY_NONE,
    QUERY_POSITION,  // CSI 6 n, CSI ? 6 n: a cursor position report
    QUERY_SIZE,      // CSI 14 t, 18 t and the like: a size report
    QUERY_COLOR,     // OSC 4, 10 to 19 with "?": a colour report
    N_QUERY_KINDS,
};

// The queries sent and not yet answered, by kind; shared by the two
// processors of a recording.
struct Queries {
    std::uint32_t pending[N_QUERY_KINDS] = {};
};

// What the output side sent: the kind of query, if any.
QueryKind query_of_sequence(const Sequence& s);
QueryKind query_of_string(const ControlString& s);

inline void note_query(Queries& q, QueryKind kind) {
    if (kind != QUERY_NONE && q.pending[kind] < 64) ++q.pending[kind];
}
// Takes an answer of this kind off the pending queries; whether one was.
inline bool take_answer(Queries* q, QueryKind kind) {
    if (q == nullptr || q->pending[kind] == 0) return false;
    --q->pending[kind];
    return true;
}

// Typed input: the label and description of a control sequence that is a
// report (a cursor position, a size), or a key whose bytes may be one;
// false for anything else.
bool describe_answer_sequence(const Sequence& s, LineWriter& w, Queries* queries);
// Typed input: a control string that answers a query (a colour, the
// terminal unit ID); false for anything else.
bool describe_answer_string(const ControlString& s, LineWriter& w, Queries* queries);

}  // namespace vorsk
