#include "input/source.h"

#include <cstring>

#include "input/recording.h"
#include "input/timing.h"

namespace vorsk {
namespace {

Event byte_event(InputBuffer& in) {
    const int c = input_get(in);
    if (c == EOF) return Event{};
    return Event{.kind = EVENT_BYTE, .byte = c};
}

// At a step, each record read is the pause that came before its bytes, and
// its count moves the next step on; records of count 0 give consecutive
// pauses in one step. Bytes consumed beyond a step (a sequence that ran
// across it) are charged to the next record.
Event timing_step(Source& s) {
    if (!s.in_step) {
        s.in_step = true;
        s.step_at = input_consumed(*s.input);
    }
    TimingRecord record;
    if (s.timings != nullptr && read_timing_record(s.timings, record)) {
        s.next_step += record.count;
        if (s.timings == nullptr || s.next_step > s.step_at) s.in_step = false;
        return Event{.kind = EVENT_PAUSE, .delay = record.delay};
    }
    s.in_step = false;
    return Event{.kind = EVENT_BREAK};
}

Event classic_timing_next(Source& s) {
    InputBuffer& in = *s.input;
    if (s.in_header) {
        const Event e = byte_event(in);
        if (e.kind == EVENT_BYTE && e.byte != '\n') return e;
        s.in_header = false;
        s.next_step = input_consumed(in);
        if (e.kind == EVENT_BYTE) return e;
    }
    if (s.in_step || (s.timings != nullptr && s.next_step <= input_consumed(in))) {
        return timing_step(s);
    }
    return byte_event(in);
}

}  // namespace

Source plain_source(InputBuffer& input) {
    return Source{.kind = PLAIN_SOURCE, .input = &input};
}

Source classic_timing_source(InputBuffer& input, std::FILE* timings) {
    return Source{
        .kind = CLASSIC_TIMING_SOURCE, .input = &input, .timings = timings, .in_header = true};
}

Event source_next(Source& source) {
    switch (source.kind) {
        case PLAIN_SOURCE: return byte_event(*source.input);
        case CLASSIC_TIMING_SOURCE: return classic_timing_next(source);
        case DUPLEX_SOURCE: return duplex_next(source);
    }
    return Event{};
}

std::size_t source_run_limit(const Source& source) {
    switch (source.kind) {
        case PLAIN_SOURCE: break;
        case CLASSIC_TIMING_SOURCE: {
            if (source.in_header) {
                // The header line goes to the dispatcher in runs, up to its
                // newline, which ends it as an event of its own.
                const std::uint8_t* bytes = nullptr;
                const std::size_t n = input_peek(*source.input, &bytes);
                const void* newline = n != 0 ? std::memchr(bytes, '\n', n) : nullptr;
                return newline != nullptr ? static_cast<std::size_t>(
                                                static_cast<const std::uint8_t*>(newline) - bytes)
                                          : n;
            }
            if (source.timings == nullptr) break;
            const std::uint64_t consumed = input_consumed(*source.input);
            return source.next_step > consumed ? source.next_step - consumed : 0;
        }
        case DUPLEX_SOURCE: return duplex_run_limit(source);
    }
    return static_cast<std::size_t>(-1);
}

}  // namespace vorsk
