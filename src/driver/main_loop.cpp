#include "driver/main_loop.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/terminal.h"
#include "input/recording.h"
#include "text/safe_text.h"

namespace vorsk {

namespace {

// --screen=byte:N: the screens whose moment has come, each after the line
// open at that moment is ended.
void write_due_screens(Processor& p) {
    ScreenFeed& f = *p.screen;
    while (f.next_mark < f.n_marks && input_consumed(*p.input) >= f.marks[f.next_mark]) {
        char when[40];
        std::snprintf(when, sizeof when, "after byte %" PRIu64, f.marks[f.next_mark]);
        screen_moment(p, when);
        ++f.next_mark;
    }
}

// How many held bytes may be decoded before the next screen is due.
std::size_t until_next_screen(const Processor& p, std::size_t limit) {
    if (p.screen == nullptr || p.screen->next_mark >= p.screen->n_marks) return limit;
    const std::uint64_t left = p.screen->marks[p.screen->next_mark] - input_consumed(*p.input);
    return left < limit ? static_cast<std::size_t>(left) : limit;
}

}  // namespace

void decode_source(Processor& p, Source& source, IdleLimit idle, CastWriter* cast) {
    for (;;) {
        service_signal(p);
        // A typescript's banner line, up to its newline, is no part of the
        // session's screen.
        const bool banner = source.kind == CLASSIC_TIMING_SOURCE && source.in_header;
        const Event e = source_next(source);
        switch (e.kind) {
            case EVENT_BYTE:
                if (p.screen != nullptr) screen_mute(*p.screen, banner);
                process_byte(p, e.byte);
                if (p.screen != nullptr) write_due_screens(p);
                // The bytes the input holds already go to the dispatcher
                // at once, never past the point where the source has more
                // to say.
                process_buffered(p, until_next_screen(p, source_run_limit(source)));
                if (p.screen != nullptr) {
                    screen_mute(*p.screen, false);
                    write_due_screens(p);
                }
                continue;
            case EVENT_PAUSE:
                if (cast != nullptr) cast_writer_pause(*cast, e.delay);
                if (p.screen != nullptr) screen_pause(p, std::min(e.delay, idle.seconds));
                process_pause(p, std::min(e.delay, idle.seconds));
                continue;
            case EVENT_BREAK:
                if (cast != nullptr) cast_writer_break(*cast);
                process_break(p);
                continue;
            case EVENT_METADATA: continue;  // only a duplex source has facts
            case EVENT_END:
                // An interrupted read: act on the signal, then read on.
                if (signal_pending) continue;
                break;
        }
        break;
    }
    finish_state(p);
}

namespace {

// A fact of the session on a line of its own, made safe to show.
void print_metadata(LineWriter& w, const Source& source) {
    static char shown[METADATA_VALUE_SIZE * 6 + 4];
    safe_text(shown, sizeof shown, duplex_metadata_value(source));
    const std::string_view name = duplex_metadata_name(source);
    print_metadata_line(w, "%.*s: %s", static_cast<int>(name.size()), name.data(), shown);
}

}  // namespace

void decode_duplex(Processor* processors[2], Source& source, IdleLimit idle) {
    Direction current = TO_TERMINAL;
    LineWriter& w = *processors[TO_TERMINAL]->writer;
    for (;;) {
        Processor* p = processors[current];
        if (p != nullptr) {
            service_signal(*p);
            duplex_hold(source, p->strings.open);
        }
        const Event e = source_next(source);
        switch (e.kind) {
            case EVENT_BYTE:
                if (e.direction != current) {
                    // The other way's line ends, and a string left open there
                    // when the queue could hold no more ends with it.
                    if (p != nullptr) finish_state(*p);
                    current = e.direction;
                    p = processors[current];
                    if (p != nullptr && p->pen != nullptr) mark_pen(*p);
                }
                if (p == nullptr) continue;  // bytes that are not shown
                writer_set_input(w, current == FROM_TERMINAL);
                process_byte(*p, e.byte);
                if (p->screen != nullptr) write_due_screens(*p);
                process_buffered(*p, until_next_screen(*p, source_run_limit(source)));
                if (p->screen != nullptr) write_due_screens(*p);
                continue;
            case EVENT_PAUSE:
                if (p == nullptr) p = processors[TO_TERMINAL];
                if (!p->strings.open) {
                    finish_state(*p);
                    writer_set_input(w, false);
                    if (Processor* out = processors[TO_TERMINAL]; out->screen != nullptr)
                        screen_pause(*out, std::min(e.delay, idle.seconds));
                }
                process_pause(*p, std::min(e.delay, idle.seconds));
                continue;
            case EVENT_METADATA:
                if (p != nullptr) finish_state(*p);
                writer_set_input(w, false);
                print_metadata(w, source);
                if (Processor* out = processors[TO_TERMINAL]; out->screen != nullptr) {
                    if (duplex_metadata_name(source) == "Marker") screen_marker(*out);
                    screen_fact(*out, duplex_metadata_name(source), duplex_metadata_value(source));
                }
                if (idle.from_header && duplex_metadata_name(source) == "Idle time limit") {
                    const double limit = std::strtod(duplex_metadata_value(source).data(), nullptr);
                    if (limit > 0.0) idle.seconds = limit;
                }
                if (Tally* t = processors[TO_TERMINAL]->tally;
                    t != nullptr && duplex_metadata_name(source) == STOPPED_EARLY)
                    t->stopped_early = true;
                continue;
            case EVENT_BREAK:
                if (p != nullptr) process_break(*p);
                continue;
            case EVENT_END:
                if (signal_pending) continue;
                break;
        }
        break;
    }
    for (Processor* p : {processors[FROM_TERMINAL], processors[TO_TERMINAL]}) {
        if (p != nullptr) finish_state(*p);
    }
    writer_set_input(w, false);
}

int run(Session& session) {
    Processor& p = session.processor;
    const bool duplex = session.source.kind == DUPLEX_SOURCE;
    if (duplex) {
        decode_duplex(session.processors, session.source, session.idle);
    } else {
        decode_source(p, session.source, session.idle, session.cast);
    }
    // The cast is whole before the reader's end, which may end vorsk.
    const int cast_status = session.cast != nullptr ? cast_writer_end(*session.cast) : 0;
    if (p.screen != nullptr) screen_end(p);
    // The last item is decided on before what follows the account.
    writer_tell(*p.writer, ITEMS_END, N_LINE_KINDS);
    if (p.tally != nullptr) {
        // The bytes of both directions of a recording.
        p.tally->bytes = input_consumed(*p.input);
        if (duplex) p.tally->bytes += input_consumed(*duplex_input(session.source, FROM_TERMINAL));
        write_summary(*p.tally, *p.writer);
    }
    const CheckView* check = p.check;
    if (check != nullptr) write_check_report(*session.check, *check);
    // Output still buffered is written and checked here: a failed write is
    // never reported as success.
    writer_end(*p.writer);
    int error = input_error(*p.input);
    if (duplex && error == 0) error = input_error(*duplex_input(session.source, FROM_TERMINAL));
    int status = 0;
    if (error != 0) {
        std::fprintf(stderr, "%s: %s: %s\n", session.program_name, "read error",
                     std::strerror(error));
        status = 1;
    }
    if (duplex && session.reader.finish != nullptr) {
        const int reader_status = session.reader.finish(session.reader.self);
        if (status == 0) status = reader_status;
    }
    if (status == 0) status = cast_status;
    // Something found is a failure of the check.
    if (status == 0 && check != nullptr && check_total(*check) != 0) status = 1;
    return status;
}

}  // namespace vorsk
