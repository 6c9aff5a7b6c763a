#include "driver/main_loop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/terminal.h"

namespace vorsk {

void decode_source(Processor& p, Source& source) {
    for (;;) {
        service_signal(p);
        const Event e = source_next(source);
        switch (e.kind) {
            case EVENT_BYTE:
                process_byte(p, e.byte);
                // The bytes the input holds already go to the dispatcher
                // at once, never past the point where the source has more
                // to say.
                process_buffered(p, source_run_limit(source));
                continue;
            case EVENT_PAUSE: process_pause(p, e.delay); continue;
            case EVENT_BREAK: process_break(p); continue;
            case EVENT_END:
                // An interrupted read: act on the signal, then read on.
                if (signal_pending) continue;
                break;
        }
        break;
    }
    finish_state(p);
}

int run(Processor& p, Source& source, const char* program_name) {
    decode_source(p, source);
    // Output still buffered is written and checked here: a failed write is
    // never reported as success.
    writer_flush(*p.writer);
    const int error = input_error(*p.input);
    if (error != 0) {
        std::fprintf(stderr, "%s: %s: %s\n", program_name, "read error", std::strerror(error));
        return 1;
    }
    return 0;
}

}  // namespace vorsk
