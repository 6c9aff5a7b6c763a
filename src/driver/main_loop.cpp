#include "driver/main_loop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/command_line.h"
#include "driver/options.h"
#include "driver/terminal.h"
#include "driver/timing.h"

namespace vorsk {

int run(Processor& p) {
    InputBuffer& in = *p.input;

    // A typescript's header line is shown but not counted by the records.
    if (options.timings != nullptr) {
        for (;;) {
            const int c = input_get(in);
            if (c == EOF) break;
            process_byte(p, c);
            if (c == '\n') break;
        }
        input_reset_consumed(in);
    }

    for (;;) {
        if (options.timings != nullptr && p.timing_budget <= input_consumed(in)) timing_step(p);
        service_signal(p);
        const int c = input_get(in);
        if (c != EOF) {
            process_byte(p, c);
            if (p.line_state == LINE_TEXT && is_printable(c)) {
                // A run of text goes on the line in one piece; a run may not
                // pass the point where the next timing step is due.
                std::size_t limit = static_cast<std::size_t>(-1);
                if (options.timings != nullptr) {
                    const std::uint64_t consumed = input_consumed(in);
                    limit = p.timing_budget > consumed ? p.timing_budget - consumed : 0;
                }
                process_text_run(p, limit);
            }
            continue;
        }
        // An interrupted read: act on the signal, then read on.
        if (signal_pending) continue;
        break;
    }
    finish_state(p);

    // Output still buffered is written and checked here: a failed write is
    // never reported as success.
    writer_flush(*p.writer);

    const int error = input_error(in);
    if (error != 0) {
        std::fprintf(stderr, "%s: %s: %s\n", options.program_name, "read error",
                     std::strerror(error));
        return 1;
    }
    return 0;
}

}  // namespace vorsk
