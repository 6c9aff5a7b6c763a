// What the command line asks for, as start-up reads it. Start-up hands each
// part on as a value (the output's configuration to the writer, the caret
// form to the dispatcher); nothing below the driver reads this record.
#pragma once

#include <cstdint>

#include "output/line_kinds.h"
#include "report/items.h"

namespace vorsk {

enum ColorMode : std::int32_t {
    COLOR_NONE = 0,
    COLOR_AUTO = 1,
    COLOR_ALWAYS = 2,
    COLOR_PENDING = 3,  // only while a --color option is being parsed
};

struct Options {
    int print_carets = 1;
    int extended = 0;    // -X: UTF-8 text, control strings as units
    int keys = 0;        // --keys: the input is what a terminal sends
    KindSet hidden = 0;  // the kinds of line left out of the account
    int buffered = 0;
    int interactive = 1;
    int color_mode = COLOR_NONE;  // an int, since getopt_long stores through it
    const char* program_name = "vorsk";
    int output_is_tty = 0;
    const char* command = nullptr;   // -c: run under a pseudo-terminal instead of reading a file
    const char* log_path = nullptr;  // --log: with -c, where the account goes
    int summary = 0;                 // a SummaryFormat: --summary and its forms
    int html = 0;                    // --html: the account as an HTML page
    const char* terminfo = nullptr;  // --terminfo: the terminal type named after each sequence
    const char* check = nullptr;     // --check: the terminal type the stream is checked against
    int probe = 0;                   // --probe: ask the terminal vorsk runs on
    int screen = 0;                  // --screen: the screen the output leaves
    int screen_at_end = 0;           // --screen=end, or --screen alone
    std::uint64_t screen_marks[16] = {};  // --screen=byte:N, ascending
    std::size_t n_screen_marks = 0;
    double screen_times[16] = {};  // --screen=SECONDS, ascending
    std::size_t n_screen_times = 0;
    int screen_at_marker = 0;    // --screen=marker
    int screen_at_prompt = 0;    // --screen=prompt
    int screen_at_alt = 0;       // --screen=alt
    double screen_pause = -1.0;  // --screen=pause:SECONDS
    int screen_cols = 80;        // --size
    int screen_rows = 24;

    const char* record_path = nullptr;  // --record: the cast written of what was read
    int cast_version = 2;               // --cast-version
    int json = 0;                       // --json: the account as JSON Lines, one object per item
    Selection selection;                // --only, --except, --from, --to, --grep
};

}  // namespace vorsk
