#include "driver/command_line.h"

#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "allocation.h"
#include "driver/command.h"
#include "driver/options.h"
#include "driver/probe.h"
#include "driver/record.h"
#include "driver/terminal.h"
#include "input/advanced_timing.h"
#include "input/cast.h"
#include "input/gzip.h"
#include "input/sudo_iolog.h"
#include "input/ttyrec.h"
#include "output/colors.h"
#include "report/check.h"
#include "report/html.h"
#include "terminfo/terminfo.h"
#include "text/safe_text.h"

namespace vorsk {
namespace {

// Written only while start-up reads the command line.
constinit Options options;

// --check: the one judge of the run and its report, whose writer is the
// account's.
CheckView check_view;
CheckReport check_report;

constexpr const char* SHORT_OPTIONS = ":hVo:C^&D\"LEt:c:xbIX";

const option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"timings", required_argument, nullptr, 't'},
    {"buffered", no_argument, nullptr, 'b'},
    {"no-interactive", no_argument, nullptr, 'I'},
    {"extended", no_argument, nullptr, 'X'},
    {"keys", no_argument, nullptr, 'K'},
    {"input-log", required_argument, nullptr, 'N'},
    {"format", required_argument, nullptr, 'F'},
    {"idle-limit", optional_argument, nullptr, 'J'},
    {"command", required_argument, nullptr, 'c'},
    {"log", required_argument, nullptr, 'G'},
    {"record", required_argument, nullptr, 'R'},
    {"cast-version", required_argument, nullptr, 'A'},
    {"summary", optional_argument, nullptr, 'S'},
    {"html", no_argument, nullptr, 'H'},
    {"terminfo", optional_argument, nullptr, 'T'},
    {"check", required_argument, nullptr, 'Y'},
    {"probe", no_argument, nullptr, 'P'},
    {"screen", optional_argument, nullptr, 'W'},
    {"size", required_argument, nullptr, 'Z'},
    {"only", required_argument, nullptr, 'O'},
    {"except", required_argument, nullptr, 'U'},
    {"from", required_argument, nullptr, 'B'},
    {"to", required_argument, nullptr, 'M'},
    {"grep", required_argument, nullptr, 'g'},
    {"json", no_argument, nullptr, 'Q'},
    {"color", optional_argument, &options.color_mode, COLOR_PENDING},
    {"colour", optional_argument, &options.color_mode, COLOR_PENDING},
    {nullptr, 0, nullptr, 0},
};

constexpr const char* USAGE_PIECES[] = {
    "Usage: vorsk [-CLDEXx] [in [out]]\n"
    "   or: vorsk [-CLDEX] [--log=FILE] -c COMMAND [out]\n"
    "   or: vorsk -h | --help\n"
    "   or: vorsk -V | --version\n"
    "Format text with terminal escapes and control sequences for human\n"
    "consumption. The second operand is the output file, which is\n"
    "overwritten; more than two operands are refused.\n",
    "\n",
    " -h, --help      Display usage information (this message).\n"
    " -V, --version   Display version and warrantee.\n",
    " -C              Don't print ^X for C0 controls.\n"
    " -D              Don't print descriptions.\n"
    " -E              Don't print escape sequences.\n"
    " -L              Don't print labels.\n",
    "     --color=[WHEN], --colour=[WHEN]\n"
    "                 Colorize the output. WHEN defaults to 'always'\n"
    "                 or can be 'never' or 'auto'. See the full documentation.\n"
    " -X, --extended  Read UTF-8 text and control strings (OSC, DCS, APC,\n"
    "                 PM, SOS) as today's terminals do.\n"
    "     --keys      With -X, read the input as what a terminal sends: keys,\n"
    "                 mouse and focus reports, pasted text.\n"
    "     --summary[=only|json]\n"
    "                 After the account, a table of the functions, modes and\n"
    "                 strings seen, totals and the terminal features used;\n"
    "                 'only' writes the table alone, 'json' one JSON object.\n"
    "     --html      Write the account as a self-contained HTML page: text in\n"
    "                 the stream's own colours, escapes folded with their\n"
    "                 labels and descriptions, delays on a time line.\n"
    "     --terminfo[=TERM]\n"
    "                 After each sequence, name the terminfo capability of\n"
    "                 terminal type TERM (default $TERM) whose string it is,\n"
    "                 with its parameters, or say that it is none.\n"
    "     --check=TERM\n"
    "                 Instead of the account, list what a terminal of type\n"
    "                 TERM would not do or would show as garbage, then a\n"
    "                 count per rule; exit status 1 when anything was found.\n"
    "     --probe     Ask the terminal vorsk runs on what it is and does: show\n"
    "                 its answers, then a report of its features.\n"
    "     --screen[=WHEN[,WHEN...]]\n"
    "                 The screen the stream left: a heading, then its rows;\n"
    "                 WHEN is 'end' (the default), 'byte:N' (after the first\n"
    "                 N bytes of the input), a time from the start (80, 1:20),\n"
    "                 'marker', 'prompt', 'pause:SECONDS' (before each pause\n"
    "                 that long) or 'alt' (before the alternate screen is left).\n"
    "     --size=COLSxROWS\n"
    "                 The size of the screen where the recording does not give\n"
    "                 it (default 80x24).\n"
    "     --json      Write the account as JSON Lines: one object per item (a\n"
    "                 text line, a control byte, a sequence or string with what\n"
    "                 its lines say, a delay, a fact, a screen), with its bytes.\n"
    "     --only=WHAT[,WHAT...], --except=WHAT[,WHAT...]\n"
    "                 Keep, or leave out, the lines of these kinds (text,\n"
    "                 control, escape, label, description, delay, string,\n"
    "                 metadata, input, screen) and the items of these functions\n"
    "                 (SGR), strings (OSC8, DCS) and private modes (?1049).\n"
    "     --from=WHEN, --to=WHEN\n"
    "                 Show the items from, or before, a moment: seconds (80,\n"
    "                 1:20), byte:N, marker:N, marker:LABEL or prompt:N.\n"
    "     --grep=REGEX\n"
    "                 Show the items any of whose lines match the extended\n"
    "                 regular expression.\n"
    " -I, --no-interactive\n"
    "                 Don't put the terminal into non-canonical or no-echo\n"
    "                 mode, and don't try to ensure output lines are finished\n"
    "                 when a signal is received.\n"
    " -b, --buffered  Force vorsk to buffer I/O.\n"
    " -t, --timings=TIMINGS\n"
    "                 Read timing info from TIMINGS and emit delay lines.\n"
    "                 An advanced timing file (script --log-timing) shows\n"
    "                 input, signals and headers too.\n"
    "     --input-log=FILE\n"
    "                 The input log of an advanced timing file, when script\n"
    "                 wrote it apart (--log-in).\n"
    "     --idle-limit[=SECONDS]\n"
    "                 Show no pause longer than SECONDS (without a value: the\n"
    "                 recording's own idle time limit), as players do.\n"
    "     --format=WHAT\n"
    "                 Read the input as an asciinema cast ('cast'), a ttyrec\n"
    "                 recording ('ttyrec'), a sudo I/O log's folder ('sudo'), a\n"
    "                 plain stream ('raw'), or tell by its first bytes ('auto').\n"
    " -c, --command=COMMAND\n"
    "                 Run COMMAND under a new pseudo-terminal and show what it\n"
    "                 writes, live; typed keys go to it (shown with -X).\n"
    "     --log=FILE  With -c, run COMMAND on this terminal as usual and write\n"
    "                 the account of both directions, timed, to FILE.\n"
    "     --record=FILE\n"
    "                 Also write what was read, with its times, to FILE as an\n"
    "                 asciinema cast: a recording converted, or the session\n"
    "                 of -c recorded as it goes.\n"
    "     --cast-version=2|3\n"
    "                 The asciicast version --record writes (default 2).\n"
    " -x              (No effect; accepted for backwards compatibility.)\n",
    "\n",
    "The manual page vorsk(1) describes every line kind, colour and option.\n",
};

// A text meant for standard output that could not be written is a failure,
// not a success. The text's writers clear errno first: a text longer than
// the stream's buffer fails while it is written, not at the flush.
[[noreturn]] void exit_after_writing(std::FILE* out, int status) {
    const int earlier = errno;
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out)) {
        const int error_number = errno != 0 ? errno : earlier != 0 ? earlier : EIO;
        std::fprintf(stderr, "%s: %s: %s\n", options.program_name, "write error",
                     std::strerror(error_number));
        std::exit(1);
    }
    std::exit(status);
}

[[noreturn]] void unrecognized_option(int c) {
    std::fprintf(stderr, "Unrecognized option -%c.\n\n", c);
    usage(1);
}

// The word of an unrecognised long option, without any "=value".
[[noreturn]] void unrecognized_long_option(const char* word) {
    const char* equals = std::strchr(word, '=');
    const int length =
        equals != nullptr ? static_cast<int>(equals - word) : static_cast<int>(std::strlen(word));
    std::fprintf(stderr, "Unrecognized option %.*s.\n\n", length, word);
    usage(1);
}

SummaryFormat resolve_summary_word(const char* word) {
    if (word == nullptr) return SUMMARY_AFTER;
    if (std::strcmp(word, "only") == 0) return SUMMARY_ONLY;
    if (std::strcmp(word, "json") == 0) return SUMMARY_JSON;
    std::fprintf(stderr, "Option --summary: Unknown argument ``%s''.\n\n", word);
    usage(1);
}

ColorMode resolve_color_word(const char* word) {
    if (word == nullptr || strcasecmp(word, "always") == 0) return COLOR_ALWAYS;
    // "never" is what the usage text offers, so it means "none".
    if (strcasecmp(word, "none") == 0 || strcasecmp(word, "never") == 0) return COLOR_NONE;
    if (strcasecmp(word, "auto") == 0) return COLOR_AUTO;
    std::fprintf(stderr, "Option --color: Unknown argument ``%s''.\n\n", word);
    usage(1);
}

// What the input is taken for.
enum InputFormat { FORMAT_AUTO, FORMAT_CAST, FORMAT_RAW, FORMAT_TTYREC, FORMAT_SUDO };

struct Paths {
    const char* timings = nullptr;
    const char* input_log = nullptr;
    InputFormat format = FORMAT_AUTO;
    IdleLimit idle;
};

// --idle-limit=SECONDS, or the recording's own limit without a value.
IdleLimit resolve_idle_limit(const char* word) {
    if (word == nullptr) return IdleLimit{.from_header = true};
    char* end = nullptr;
    const double seconds = std::strtod(word, &end);
    if (end == word || *end != '\0' || !(seconds > 0.0)) {
        std::fprintf(stderr, "Option --idle-limit: ``%s'' is no number of seconds above 0.\n\n",
                     word);
        usage(1);
    }
    return IdleLimit{.seconds = seconds};
}

InputFormat resolve_format_word(const char* word) {
    if (std::strcmp(word, "auto") == 0) return FORMAT_AUTO;
    if (std::strcmp(word, "cast") == 0) return FORMAT_CAST;
    if (std::strcmp(word, "raw") == 0) return FORMAT_RAW;
    if (std::strcmp(word, "ttyrec") == 0) return FORMAT_TTYREC;
    if (std::strcmp(word, "sudo") == 0) return FORMAT_SUDO;
    std::fprintf(stderr, "Option --format: Unknown argument ``%s''.\n\n", word);
    usage(1);
}

// --screen[=WHEN[,WHEN...]]: "end", "byte:N" after the first N bytes of the
// input, a time from the start, "marker", "prompt", "pause:SECONDS",
// "alt".
void read_screen_moments(const char* text) {
    options.screen = 1;
    if (text == nullptr) {
        options.screen_at_end = 1;
        return;
    }
    bool any = false;
    for (const char* at = text; *at != '\0' || !any;) {
        const char* comma = std::strchr(at, ',');
        const std::string_view word(
            at, comma != nullptr ? static_cast<std::size_t>(comma - at) : std::strlen(at));
        at += word.size() + (comma != nullptr ? 1 : 0);
        any = true;
        // Times and byte offsets are read as --from and --to read them.
        char copy[64] = {};
        word.substr(word.starts_with("pause:") ? 6 : 0, sizeof copy - 1)
            .copy(copy, sizeof copy - 1);
        When when;
        const bool read = word.size() < sizeof copy && read_when(copy, when);
        if (word == "end") {
            options.screen_at_end = 1;
        } else if (word == "marker") {
            options.screen_at_marker = 1;
        } else if (word == "prompt") {
            options.screen_at_prompt = 1;
        } else if (word == "alt") {
            options.screen_at_alt = 1;
        } else if (word.starts_with("pause:") && read && when.kind == WHEN_SECONDS) {
            options.screen_pause = when.seconds;
        } else if (read && when.kind == WHEN_SECONDS &&
                   options.n_screen_times < std::size(options.screen_times)) {
            options.screen_times[options.n_screen_times++] = when.seconds;
        } else {
            if (!read || when.kind != WHEN_BYTE || word.starts_with("pause:") ||
                options.n_screen_marks == std::size(options.screen_marks)) {
                std::fprintf(stderr,
                             "%s: --screen takes \"end\", \"marker\", \"prompt\", \"alt\", "
                             "\"pause:SECONDS\", up to 16 times (SECONDS or M:SS) and up to 16 "
                             "\"byte:N\", separated by commas, not \"%s\"\n",
                             options.program_name, text);
                std::exit(1);
            }
            options.screen_marks[options.n_screen_marks++] = when.n;
        }
        if (comma == nullptr) break;
    }
    std::sort(options.screen_marks, options.screen_marks + options.n_screen_marks);
    std::sort(options.screen_times, options.screen_times + options.n_screen_times);
}

// --size=COLSxROWS: the screen's size where the recording does not say.
void read_size(const char* text) {
    int cols = 0;
    int rows = 0;
    char end = 0;
    if (std::sscanf(text, "%dx%d%c", &cols, &rows, &end) != 2 || cols < 1 || rows < 1 ||
        cols > MAX_SCREEN_COLUMNS || rows > MAX_SCREEN_ROWS) {
        std::fprintf(stderr, "%s: --size takes COLSxROWS, from 1x1 to %dx%d, not \"%s\"\n",
                     options.program_name, MAX_SCREEN_COLUMNS, MAX_SCREEN_ROWS, text);
        std::exit(1);
    }
    options.screen_cols = cols;
    options.screen_rows = rows;
}

// --only and --except: line kinds, functions, strings, private modes.
void read_selection_words(bool only, const char* list) {
    const char* bad = nullptr;
    if (!selection_add_words(options.selection, only, list, &bad)) {
        std::fprintf(stderr,
                     "%s: --%s takes line kinds (text, control, escape, label, description, "
                     "delay, string, metadata, input, screen), acronyms (SGR), strings (OSC8) "
                     "and private modes (?1049), separated by commas, not \"%s\"\n",
                     options.program_name, only ? "only" : "except", bad);
        std::exit(1);
    }
}

// --from and --to: seconds, byte:N, marker:N, marker:LABEL, prompt:N.
void read_moment(bool from, const char* text) {
    if (!read_when(text, from ? options.selection.from : options.selection.to)) {
        std::fprintf(stderr,
                     "%s: --%s takes seconds (80, 1:20), byte:N, marker:N, marker:LABEL or "
                     "prompt:N, not \"%s\"\n",
                     options.program_name, from ? "from" : "to", text);
        std::exit(1);
    }
}

void parse_options(int argc, char** argv, Paths& paths) {
    opterr = 0;
    for (;;) {
        const int c = getopt_long(argc, argv, SHORT_OPTIONS, long_options, nullptr);
        if (c == -1) return;
        switch (c) {
            case 'h': usage(0);
            case 'V': print_version();
            case 'C':
            case '^': options.print_carets = 0; break;
            case 'D':
            case '"': options.hidden |= kinds_hidden_by('D'); break;
            case 'L':
            case '&': options.hidden |= kinds_hidden_by('L'); break;
            case 'E': options.hidden |= kinds_hidden_by('E'); break;
            case 'I': options.interactive = 0; break;
            case 'X': options.extended = 1; break;
            case 'K': options.keys = 1; break;
            case 'H': options.html = 1; break;
            case 'T': options.terminfo = optarg != nullptr ? optarg : ""; break;
            case 'P': options.probe = 1; break;
            case 'W': read_screen_moments(optarg); break;
            case 'Z': read_size(optarg); break;
            case 'O':
            case 'U': read_selection_words(c == 'O', optarg); break;
            case 'B':
            case 'M': read_moment(c == 'B', optarg); break;
            case 'g': options.selection.grep = optarg; break;
            case 'Q': options.json = 1; break;
            case 'Y':
                options.check = optarg;
                // Control strings are judged as the units terminals read.
                options.extended = 1;
                break;
            case 'S': options.summary = resolve_summary_word(optarg); break;
            case 'b': options.buffered = 1; break;
            case 't': paths.timings = optarg; break;
            case 'N': paths.input_log = optarg; break;
            case 'F': paths.format = resolve_format_word(optarg); break;
            case 'J': paths.idle = resolve_idle_limit(optarg); break;
            case 'c': options.command = optarg; break;
            case 'G': options.log_path = optarg; break;
            case 'R': options.record_path = optarg; break;
            case 'A':
                if (std::strcmp(optarg, "2") != 0 && std::strcmp(optarg, "3") != 0) {
                    std::fprintf(stderr, "%s: --cast-version takes 2 or 3, not \"%s\"\n",
                                 options.program_name, optarg);
                    std::exit(1);
                }
                options.cast_version = optarg[0] - '0';
                break;
            case 'x': break;
            case 0:
                if (options.color_mode == COLOR_PENDING) {
                    options.color_mode = resolve_color_word(optarg);
                }
                break;
            case ':':
                std::fprintf(stderr, "Option -%c requires an argument.\n\n", optopt);
                usage(1);
            case '?':
                // "-:" cannot be declared as an option letter; it is the
                // escape-line letter and works like -E.
                if (optopt == ':') {
                    options.hidden |= kinds_hidden_by('E');
                    break;
                }
                if (optopt == 0) unrecognized_long_option(argv[optind - 1]);
                unrecognized_option(optopt);
            case 'o':
            default: unrecognized_option(c);
        }
    }
}

// Whether a read of fd would return at once.
bool input_ready(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

// What happens before a read of a pipe or terminal that may wait.
struct LiveInput {
    LineWriter* writer = nullptr;
    int fd = -1;
    bool flush = false;    // everything decoded so far goes out first (not with -b)
    bool signals = false;  // a caught signal ends the wait
};
LiveInput live_input;

bool before_wait(void* arg) {
    const auto& live = *static_cast<const LiveInput*>(arg);
    // Input that is already there needs no wait, so no flush either: a fast
    // pipe is read in large writes, and a slow one still sees every line
    // before vorsk waits.
    if (input_ready(live.fd)) return true;
    if (live.flush) writer_flush(*live.writer);
    return !live.signals || wait_for_input(live.fd);
}

// Before a read of a recording that may wait: the account so far goes out.
bool flush_before_wait(void* writer) {
    writer_flush(*static_cast<LineWriter*>(writer));
    return true;
}

[[noreturn]] void out_of_memory() {
    std::fprintf(stderr, "%s: Out of memory.\n", options.program_name);
    std::exit(1);
}

[[noreturn]] void cannot_open(const char* path) {
    std::fprintf(stderr, "%s: couldn't open file %s: %s\n", options.program_name, path,
                 std::strerror(errno));
    std::exit(1);
}

// VORSK_REFERENCE=1 in the environment: the general paths alone, to check
// the fast paths against.
bool reference_paths() {
    const char* value = std::getenv("VORSK_REFERENCE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

void write_page(void* writer, const char* bytes, std::size_t n) {
    writer_sink_write(*static_cast<LineWriter*>(writer), bytes, n);
}

// The writer of the account on fd: the colours, the kinds it leaves out,
// and for --html the page its output goes through, unwrapped.
// --json and the selections: the view of the items over the writer.
ItemView* item_view = nullptr;

LineWriter* make_writer(int fd) {
    options.output_is_tty = isatty(fd);
    if (options.color_mode == COLOR_AUTO) {
        options.color_mode = options.output_is_tty ? COLOR_ALWAYS : COLOR_NONE;
    }
    OutputConfig output_config;
    output_config.hidden = options.hidden;
    output_config.general_paths_only = reference_paths();
    // A page is coloured with marks, which it turns into its elements and
    // styles; the user's colours become its style sheet.
    Palette page_colors;
    if (options.html) {
        page_colors = configured_palette(std::getenv("VORSK_COLORS"));
        options.color_mode = COLOR_ALWAYS;
    }
    // The summary alone, or its JSON, or the findings of a check: the
    // account is decoded but not written.
    if (options.summary == SUMMARY_ONLY || options.summary == SUMMARY_JSON ||
        options.check != nullptr) {
        output_config.hidden = ~KindSet{0};
    }
    // Items are told apart on the writer's general paths, as colours are.
    const bool items = options.json != 0 || selection_needs_items(options.selection);
    if (items) output_config.general_paths_only = true;
    // JSON holds every line of the account.
    if (options.json) {
        output_config.hidden = 0;
        options.color_mode = COLOR_NONE;
    }
    output_config.colors = options.color_mode == COLOR_ALWAYS;
    if (output_config.colors)
        output_config.palette = configured_palette(std::getenv("VORSK_COLORS"));
    if (options.html) {
        html_mark_palette(output_config.palette);
        output_config.pen_marks = true;
    }

    LineWriter* w = writer_new(Sink{.fd = fd}, output_config);
    if (w == nullptr) out_of_memory();
    check_report.writer = w;
    writer_set_error_handler(*w, write_error_handler, const_cast<char*>(options.program_name));
    if (options.html) {
        HtmlPage* page = html_page_new(page_colors, write_page, w);
        if (page == nullptr) out_of_memory();
        w->sink.filter = {.feed = html_page_filter_feed, .end = html_page_filter_end, .arg = page};
        w->width = SIZE_MAX / 4;
        html_page_set_input(*page, options.program_name, 0);
        if (output_config.general_paths_only) html_page_general_paths(*page);
        // The head is written with the first batch, once a recording's
        // theme is known.
    }
    if (items) {
        const ItemViewSettings settings{.json = options.json != 0,
                                        .extended = options.extended != 0,
                                        .memo = options.terminfo == nullptr,
                                        .program_name = options.program_name};
        item_view = item_view_new(*w, options.selection, settings);
        if (item_view == nullptr) std::exit(1);
    }
    return w;
}

// Both decoders of a recording, or the one of a stream, to the items' view.
void attach_items(Session& session, bool duplex, bool timed) {
    if (item_view == nullptr) return;
    item_view_recording(*item_view, duplex, timed);
    item_view_attach(*item_view, TO_TERMINAL, session.processor);
    if (duplex) item_view_attach(*item_view, FROM_TERMINAL, session.input_processor);
}

// The one tally of the run, which every decoder counts into.
Tally* shared_tally() {
    static Tally* tally = nullptr;
    if (tally == nullptr) {
        tally = tally_new();
        if (tally == nullptr) out_of_memory();
        tally->format = static_cast<SummaryFormat>(options.summary);
    }
    return tally;
}

// The entry of a terminal type: an unknown type ends the run.
const TerminfoEntry* load_entry(const char* option, const char* term) {
    if (*term == '\0') term = std::getenv("TERM");
    if (term == nullptr || *term == '\0') {
        std::fprintf(stderr, "%s: %s: no terminal type given and TERM is not set\n",
                     options.program_name, option);
        std::exit(1);
    }
    const char* why = "";
    const TerminfoEntry* entry = terminfo_load(term, &why);
    if (entry == nullptr) {
        std::fprintf(stderr, "%s: terminal type '%s': %s\n", options.program_name, term, why);
        std::exit(1);
    }
    return entry;
}

// The one screen of the run, which the output direction feeds.
Screen* shared_screen() {
    static Screen* screen = nullptr;
    if (options.screen == 0) return nullptr;
    if (screen == nullptr) {
        screen = screen_new(options.screen_cols, options.screen_rows);
        if (screen == nullptr) out_of_memory();
    }
    return screen;
}

// The entry of --terminfo, read once.
const TerminfoEntry* terminfo_entry() {
    static const TerminfoEntry* entry = nullptr;
    if (options.terminfo != nullptr && entry == nullptr)
        entry = load_entry("--terminfo", options.terminfo);
    return entry;
}

CheckView* shared_check() {
    if (options.check == nullptr) return nullptr;
    if (check_view.entry == nullptr) {
        check_view.entry = load_entry("--check", options.check);
        check_view.report = report_finding;
        check_view.report_arg = &check_report;
        check_report.term = terminfo_name(*check_view.entry);
        check_report.json = options.summary == SUMMARY_JSON;
    }
    return &check_view;
}

// The time since the recording began, which extended mode's delay lines
// give; the processors of both directions count it.
double elapsed_time = 0.0;

// A decoder of one direction over its input buffer, with a pen of its own
// for a page and the run's tally for a summary.
void setup_processor(Processor& p, InputBuffer* input, LineWriter* writer, bool keys,
                     Queries* queries = nullptr) {
    const ProcessorSettings settings{
        .print_carets = options.print_carets != 0,
        .extended = options.extended != 0,
        .keys = keys,
        .pen = options.html != 0,
        .tally =
            options.summary != SUMMARY_NONE && options.check == nullptr ? shared_tally() : nullptr,
        .terminfo = terminfo_entry(),
        .check = shared_check(),
        .screen = keys ? nullptr : shared_screen(),
        .queries = queries,
        .elapsed = &elapsed_time,
        .reference = reference_paths(),
    };
    if (!processor_init(p, input, writer, settings)) out_of_memory();
    if (p.screen != nullptr) {
        std::copy(options.screen_marks, options.screen_marks + options.n_screen_marks,
                  p.screen->marks);
        p.screen->n_marks = options.n_screen_marks;
        p.screen->at_end = options.screen_at_end != 0;
        std::copy(options.screen_times, options.screen_times + options.n_screen_times,
                  p.screen->times);
        p.screen->n_times = options.n_screen_times;
        p.screen->at_marker = options.screen_at_marker != 0;
        p.screen->at_prompt = options.screen_at_prompt != 0;
        p.screen->at_alt = options.screen_at_alt != 0;
        p.screen->pause = options.screen_pause;
    }
}

// Whether the first line is "{" alone (after a byte-order mark): a v1
// cast written over many lines, whose version comes later.
bool lone_brace(const std::uint8_t* bytes, std::size_t n) {
    std::size_t i = n >= 3 && bytes[0] == 0xef ? 3 : 0;
    bool brace = false;
    for (; i < n && bytes[i] != '\n'; ++i) {
        if (bytes[i] == '{' && !brace) {
            brace = true;
        } else if (bytes[i] != ' ' && bytes[i] != '\t' && bytes[i] != '\r') {
            return false;
        }
    }
    return brace;
}

// The start of the input, when it may be a cast: its first line, at most
// CAST_HEADER_LIMIT bytes (or more lines, for a v1 cast over many). Only
// an input that begins with "{" (or a byte-order mark) is read on.
std::size_t read_first_line(int fd, std::uint8_t* buffer) {
    // A pipe is read a byte first, as it may wait; a file a page first, so
    // that typed keys at its start come in one read, as after it (a page,
    // not more: what is read here is copied once more).
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::size_t n = 0;
    while (n < CAST_HEADER_LIMIT) {
        // A caught signal ends the look: it is acted on as the decoding starts.
        const std::size_t want = n != 0 ? CAST_HEADER_LIMIT - n : regular ? 4096 : 1;
        const ssize_t got = read(fd, buffer + n, want);
        if (got <= 0) break;
        const auto* newline = std::memchr(buffer + n, '\n', static_cast<std::size_t>(got));
        n += static_cast<std::size_t>(got);
        if ((buffer[0] != '{' && buffer[0] != 0xef) ||
            (newline != nullptr && !lone_brace(buffer, n)))
            break;
    }
    return n;
}

// Both directions of a recording: the output's decoder and the input's.
void setup_duplex(Session& session, LineWriter* writer) {
    if (session.cast != nullptr) session.reader = cast_writer_tee(*session.cast, session.reader);
    if (!duplex_source(session.source, session.reader)) out_of_memory();
    const Source& source = session.source;
    // What the output asks, the typed input answers.
    static Queries queries;
    setup_processor(session.processor, duplex_input(source, TO_TERMINAL), writer, options.keys != 0,
                    &queries);
    setup_processor(session.input_processor, duplex_input(source, FROM_TERMINAL), writer, true,
                    &queries);
    session.processors[TO_TERMINAL] = &session.processor;
    session.processors[FROM_TERMINAL] = &session.input_processor;
    // A command's session has times where it is logged.
    attach_items(session, true, options.command == nullptr || options.log_path != nullptr);
}

// Whether the regular file on fd is a cast, looked at without reading it
// away.
bool is_cast_file(int fd, const char* name) {
    static std::uint8_t start[CAST_HEADER_LIMIT];
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const ssize_t n = pread(fd, start, sizeof start, 0);
    return n > 0 &&
           cast_version(start, static_cast<std::size_t>(n), name, options.program_name, false) > 0;
}

// A gzip-compressed file on fd is read through zlib: its descriptor now
// gives what it holds.
void inflate_file(int fd, const char* name) {
    if (!is_gzip_file(fd)) return;
    const int inflated = gunzip_pipe(dup(fd), options.program_name, name);
    if (inflated < 0 || dup2(inflated, fd) < 0) out_of_memory();
    close(inflated);
}

// --record: the cast, made before the input is read.
void make_cast(Session& session, bool live) {
    if (options.record_path == nullptr) return;
    const CastSettings settings{.path = options.record_path,
                                .program_name = options.program_name,
                                .version = options.cast_version,
                                .live = live,
                                .cols = options.screen_cols,
                                .rows = options.screen_rows,
                                .timestamp = live ? static_cast<long long>(std::time(nullptr)) : -1,
                                .shell = live ? std::getenv("SHELL") : nullptr};
    session.cast = cast_writer_new(settings);
    if (session.cast == nullptr) std::exit(1);
}

// A command-line error of -c: the message, the usage text, status 1.
[[noreturn]] void command_misused(const char* message) {
    std::fprintf(stderr, "%s\n\n", message);
    usage(1);
}

void flush_writer(void* writer) {
    writer_flush(*static_cast<LineWriter*>(writer));
}

// -c: the program under a pseudo-terminal is the source of both directions.
// The account goes to standard output or the output file; with --log, to
// the log, while the program's output goes to standard output unchanged.
void setup_command(Session& session, int argc, char** argv, const Paths& paths) {
    if (options.command == nullptr) command_misused("Option --log requires -c.");
    if (paths.timings != nullptr || paths.input_log != nullptr || paths.format != FORMAT_AUTO)
        command_misused("Option -c reads no recording: no -t, --input-log or --format.");
    if (optind + 1 < argc || (options.log_path != nullptr && optind < argc)) {
        command_misused(options.log_path != nullptr
                            ? "With --log, the account goes to the log: no file operand."
                            : "With -c, the only file operand is the output.");
    }
    int out = STDOUT_FILENO;
    const char* out_path = options.log_path;
    if (out_path == nullptr && optind < argc && std::strcmp(argv[optind], "-") != 0)
        out_path = argv[optind];
    if (out_path != nullptr) {
        out = open(out_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (out < 0) cannot_open(out_path);
    }

    LineWriter* writer = make_writer(out);
    session.program_name = options.program_name;

    const bool log = options.log_path != nullptr;
    CommandSetup setup;
    if (log) {
        // The user's program comes first: the log never makes it wait, and
        // its failures are the log's own, not the run's.
        setup.log = log_queue_new(out, options.log_path, options.program_name);
        if (setup.log == nullptr) out_of_memory();
        writer->sink.take = log_queue_write;
        writer->sink.take_arg = setup.log;
    }
    setup.command = options.command;
    setup.program_name = options.program_name;
    setup.input_fd = STDIN_FILENO;
    setup.copy_fd = log ? STDOUT_FILENO : -1;
    // Typed keys are read as keys with -X; a log shows both directions.
    setup.show_input = log || options.extended != 0;
    setup.timed = log;
    setup.raw = options.interactive != 0;
    // A log is followed as it grows: each read's account goes out at once.
    setup.flush_each_read = log;
    // A cast holds the times of the session, and the account shows them, so
    // that the cast read back gives the same account.
    if (options.record_path != nullptr) setup.timed = true;
    make_cast(session, true);
    if (options.buffered == 0) {
        setup.flush = flush_writer;
        setup.flush_arg = writer;
    }
    CommandRun* run = command_start(setup);
    if (run == nullptr) std::exit(1);
    session.reader = command_reader(*run);
    setup_duplex(session, writer);
    if (!setup.show_input) session.processors[FROM_TERMINAL] = nullptr;
}

bool is_regular(int fd, struct stat& st) {
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Refuses to run when the output would overwrite or grow the regular file
// that is being read.
[[noreturn]] void input_is_output(const char* output_name) {
    std::fprintf(stderr, "%s: %s: input file is output file\n", options.program_name, output_name);
    std::exit(1);
}

}  // namespace

void usage(int status) {
    std::FILE* out = status == 0 ? stdout : stderr;
    errno = 0;
    for (const char* piece : USAGE_PIECES) std::fputs(piece, out);
    if (status == 0) exit_after_writing(out, 0);
    std::exit(status);
}

void print_version() {
    errno = 0;
    std::puts("vorsk " VORSK_VERSION);
    std::puts(
        "Copyright (C) 2026 The vorsk developers.\n"
        "License MIT: <https://opensource.org/licenses/MIT>.\n"
        "This is free software: you are free to change and redistribute it.\n"
        "There is NO WARRANTY, to the extent permitted by law.");
    exit_after_writing(stdout, 0);
}

std::FILE* open_argument_file(const char* path, const char* mode) {
    if (std::strcmp(path, "-") == 0) return std::strchr(mode, 'w') != nullptr ? stdout : stdin;
    std::FILE* f = std::fopen(path, mode);
    if (f == nullptr) cannot_open(path);
    return f;
}

void write_error_handler(int error_number, void* context) {
    std::fprintf(stderr, "%s: %s: %s\n", static_cast<const char*>(context), "write error",
                 std::strerror(error_number));
    // An exit status is a byte, and 0 would read as success.
    std::exit(error_number > 0 && error_number <= 255 ? error_number : 1);
}

namespace {

[[noreturn]] void probe_and_exit(int argc) {
    if (optind < argc) command_misused("Option --probe reads no file.");
    const ProbeSettings probe{.program_name = options.program_name,
                              .writer = make_writer(STDOUT_FILENO),
                              .json = options.summary == SUMMARY_JSON,
                              .print_carets = options.print_carets != 0};
    const int status = run_probe(probe);
    std::fflush(nullptr);
    std::exit(status);
}

// The files of a run that reads an input: the input and the output
// operands, a timing file, an input log, each opened or the run ended.
struct Files {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* timings = nullptr;
    int input_log = -1;
    bool input_regular = false;
    const char* input_name = "standard input";
};

Files open_files(int argc, char** argv, const Paths& paths) {
    Files f;
    // A third operand is most often a glob that matched more than one
    // recording: the second would be overwritten with the first's account.
    if (argc - optind > 2) {
        std::fprintf(stderr,
                     "%s: %d file operands: vorsk reads one input, and the second operand is "
                     "the output file, which it overwrites\n",
                     options.program_name, argc - optind);
        std::exit(1);
    }
    const char* output_path = nullptr;
    if (optind < argc) f.in = open_argument_file(argv[optind], "r");
    if (optind + 1 < argc) output_path = argv[optind + 1];

    // The timing file comes before the output file, so that a run that
    // cannot start leaves an existing output file untouched.
    if (paths.timings != nullptr) {
        f.timings = std::fopen(paths.timings, "r");
        if (f.timings == nullptr) cannot_open(paths.timings);
    }
    if (paths.input_log != nullptr) {
        f.input_log = open(paths.input_log, O_RDONLY);
        if (f.input_log < 0) cannot_open(paths.input_log);
    }

    struct stat in_stat {};
    f.input_regular = is_regular(fileno(f.in), in_stat);
    struct stat out_stat {};
    if (output_path != nullptr && std::strcmp(output_path, "-") != 0) {
        if (f.input_regular && stat(output_path, &out_stat) == 0 &&
            out_stat.st_dev == in_stat.st_dev && out_stat.st_ino == in_stat.st_ino) {
            input_is_output(output_path);
        }
        f.out = open_argument_file(output_path, "w");
    } else if (f.input_regular && is_regular(fileno(stdout), out_stat) &&
               out_stat.st_dev == in_stat.st_dev && out_stat.st_ino == in_stat.st_ino) {
        input_is_output("standard output");
    }

    if (optind < argc && std::strcmp(argv[optind], "-") != 0) f.input_name = argv[optind];
    inflate_file(fileno(f.in), f.input_name);
    if (f.timings != nullptr) inflate_file(fileno(f.timings), paths.timings);
    if (f.input_log >= 0) inflate_file(f.input_log, paths.input_log);
    return f;
}

// The start of the input, kept when it was read to tell a recording and
// then handed to the plain reader.
std::uint8_t first_line[CAST_HEADER_LIMIT];
std::size_t first_size = 0;

// A recording with a reader of its own (a sudo I/O log, an advanced timing
// file, a cast, a ttyrec file) becomes the session's duplex source; false
// for a plain stream or a classic timing file.
bool setup_recording(Session& session, const Files& f, const Paths& paths, int argc, char** argv,
                     bool (*wait_hook)(void*)) {
    LineWriter* writer = session.processor.writer;
    const int in = fileno(f.in);
    if (paths.format == FORMAT_SUDO || (optind < argc && is_iolog_folder(argv[optind]))) {
        if (optind >= argc || !is_iolog_folder(argv[optind])) {
            std::fprintf(stderr, "%s: --format=sudo reads the folder of a sudo I/O log\n",
                         options.program_name);
            std::exit(1);
        }
        SudoLog* log = sudo_log_new(argv[optind], options.program_name);
        if (log == nullptr) std::exit(1);
        session.reader = sudo_log_reader(*log);
        setup_duplex(session, writer);
        return true;
    }
    // A cast holds its own times and input: a timing file or an input log
    // given with one would be silently unread.
    if ((f.timings != nullptr || f.input_log >= 0) && is_cast_file(in, f.input_name)) {
        std::fprintf(
            stderr, "%s: %s is an asciicast, which holds its own timing and input: no %s\n",
            options.program_name, f.input_name, f.timings != nullptr ? "-t" : "--input-log");
        std::exit(1);
    }
    if (f.timings != nullptr) {
        if (!is_advanced_timing(f.timings)) return false;
        const AdvancedTimingNames names{
            .program = options.program_name,
            .timing = paths.timings,
            .logs = {f.input_name, paths.input_log != nullptr ? paths.input_log : f.input_name},
            .banner_facts = options.extended != 0};
        AdvancedTiming* t =
            advanced_timing_new(f.timings, in, f.input_log, wait_hook, writer, names);
        if (t == nullptr) out_of_memory();
        session.reader = advanced_timing_reader(*t);
        setup_duplex(session, writer);
        return true;
    }
    // The first line tells a cast, unless --format=raw says what the input
    // is; what is typed on a terminal is no cast, unless the user says it is.
    if (paths.format == FORMAT_CAST || (paths.format == FORMAT_AUTO && !isatty(in))) {
        first_size = read_first_line(in, first_line);
        const int version = cast_version(first_line, first_size, f.input_name, options.program_name,
                                         paths.format == FORMAT_CAST);
        if (version < 0) std::exit(1);
        if (version > 0) {
            Cast* cast = cast_new(in, f.input_name, options.program_name, first_line, first_size,
                                  wait_hook, writer, safe_text);
            if (cast == nullptr) out_of_memory();
            if (options.html)
                html_page_set_theme(*static_cast<HtmlPage*>(writer->sink.filter.arg),
                                    cast_theme(*cast));
            session.reader = cast_reader(*cast);
            setup_duplex(session, writer);
            return true;
        }
    }
    // A ttyrec recording, told by its frame headers.
    if (paths.format == FORMAT_TTYREC) first_size = read_first_line(in, first_line);
    if (paths.format == FORMAT_TTYREC ||
        (paths.format == FORMAT_AUTO && looks_like_ttyrec(first_line, first_size))) {
        Ttyrec* ttyrec = ttyrec_new(in, f.input_name, options.program_name, first_line, first_size);
        if (ttyrec == nullptr) out_of_memory();
        session.reader = ttyrec_reader(*ttyrec);
        setup_duplex(session, writer);
        return true;
    }
    return false;
}

}  // namespace

void setup_from_args(Session& session, int argc, char** argv) {
    Processor& p = session.processor;
    options = Options{};
    if (argc > 0 && argv[0] != nullptr) options.program_name = argv[0];

    Paths paths;
    parse_options(argc, argv, paths);
    if (options.cast_version != 2 && options.record_path == nullptr) {
        std::fprintf(stderr, "%s: --cast-version goes with --record\n", options.program_name);
        std::exit(1);
    }
    if (options.json != 0 && (options.html != 0 || options.summary != SUMMARY_NONE ||
                              options.check != nullptr || options.probe != 0)) {
        std::fprintf(stderr,
                     "%s: --json is the whole output: not with --html, --summary, "
                     "--check or --probe\n",
                     options.program_name);
        std::exit(1);
    }
    if (options.json == 0) options.hidden |= selection_hidden_kinds(options.selection);
    if (options.check != nullptr) session.check = &check_report;
    if (options.probe) probe_and_exit(argc);
    if (options.command != nullptr || options.log_path != nullptr) {
        setup_command(session, argc, argv, paths);
        return;
    }
    const Files f = open_files(argc, argv, paths);
    if (options.record_path != nullptr) {
        struct stat in_stat {};
        struct stat cast_stat {};
        if (f.input_regular && fstat(fileno(f.in), &in_stat) == 0 &&
            stat(options.record_path, &cast_stat) == 0 && in_stat.st_dev == cast_stat.st_dev &&
            in_stat.st_ino == cast_stat.st_ino)
            input_is_output(options.record_path);
    }
    make_cast(session, false);

    // The writer sends its output in large writes. A pipe or a terminal on
    // the input still wants every line out as soon as its input came: the
    // output is flushed before each read that may wait (below), unless -b
    // asks to buffer regardless.
    const bool live = !options.buffered && !f.input_regular;
    const int in = fileno(f.in);
    if (options.interactive) {
        if (isatty(in)) setup_terminal(in, isatty(fileno(f.out)) != 0);
        setup_signals(isatty(fileno(f.out)) != 0);
    }
    p.writer = make_writer(fileno(f.out));
    struct stat in_stat {};
    if (options.html && f.input_regular && fstat(in, &in_stat) == 0) {
        html_page_set_input(*static_cast<HtmlPage*>(p.writer->sink.filter.arg),
                            options.program_name, static_cast<std::uint64_t>(in_stat.st_size));
    }
    session.program_name = options.program_name;
    session.idle = paths.idle;
    if (setup_recording(session, f, paths, argc, argv, live ? flush_before_wait : nullptr)) return;

    // Keys typed on a terminal in interactive mode, or --keys for any input.
    const ByteSource bytes =
        session.cast != nullptr
            ? cast_writer_stream(*session.cast, in, first_line, first_size, f.timings != nullptr)
            : ByteSource{.fd = in};
    setup_processor(p, input_new(bytes, LOOKAHEAD_LIMIT), p.writer,
                    options.keys != 0 || (options.interactive && isatty(in)));
    if (p.input == nullptr) out_of_memory();
    if (session.cast != nullptr) cast_writer_watch(*session.cast, *p.input);
    attach_items(session, false, f.timings != nullptr);
    input_preload(*p.input, first_line, first_size);
    session.source =
        f.timings != nullptr ? classic_timing_source(*p.input, f.timings) : plain_source(*p.input);
    live_input = LiveInput{p.writer, in, live, signals_installed()};
    if (!f.input_regular && (live_input.flush || live_input.signals)) {
        input_set_wait_hook(*p.input, before_wait, &live_input);
    }
}

}  // namespace vorsk
