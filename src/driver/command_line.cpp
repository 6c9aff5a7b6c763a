#include "driver/command_line.h"

#include <getopt.h>
#include <poll.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "allocation.h"
#include "driver/options.h"
#include "driver/terminal.h"
#include "output/colors.h"

namespace vorsk {
namespace {

// Written only while start-up reads the command line.
constinit Options options;

constexpr const char* SHORT_OPTIONS = ":hVo:C^&D\"LEt:xbIX";

const option long_options[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"timings", required_argument, nullptr, 't'},
    {"buffered", no_argument, nullptr, 'b'},
    {"no-interactive", no_argument, nullptr, 'I'},
    {"extended", no_argument, nullptr, 'X'},
    {"keys", no_argument, nullptr, 'K'},
    {"summary", optional_argument, nullptr, 'S'},
    {"html", no_argument, nullptr, 'H'},
    {"color", optional_argument, &options.color_mode, COLOR_PENDING},
    {"colour", optional_argument, &options.color_mode, COLOR_PENDING},
    {nullptr, 0, nullptr, 0},
};

constexpr const char* USAGE_PIECES[] = {
    "Usage: vorsk [-CLDEXx] [in [out]]\n"
    "   or: vorsk -h | --help\n"
    "   or: vorsk -V | --version\n"
    "Format text with terminal escapes and control sequences for human\n"
    "consumption.\n",
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
    " -I, --no-interactive\n"
    "                 Don't put the terminal into non-canonical or no-echo\n"
    "                 mode, and don't try to ensure output lines are finished\n"
    "                 when a signal is received.\n"
    " -b, --buffered  Force vorsk to buffer I/O.\n"
    " -t, --timings=TIMINGS\n"
    "                 Read timing info from TIMINGS and emit delay lines.\n"
    " -x              (No effect; accepted for backwards compatibility.)\n",
    "\n",
    "The manual page vorsk(1) describes every line kind, colour and option.\n",
};

// A text meant for standard output that could not be written is a failure,
// not a success.
[[noreturn]] void exit_after_writing(std::FILE* out, int status) {
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out)) {
        const int error_number = errno;
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

void parse_options(int argc, char** argv, const char** timing_path) {
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
            case 'S': options.summary = resolve_summary_word(optarg); break;
            case 'b': options.buffered = 1; break;
            case 't': *timing_path = optarg; break;
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

bool is_regular(int fd, struct stat& st) {
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Refuses to run when the output would overwrite or grow the regular file
// that is being read.
[[noreturn]] void input_is_output(const char* output_name) {
    std::fprintf(stderr, "%s: %s: input file is output file\n", options.program_name, output_name);
    std::exit(1);
}

void write_page(void* writer, const char* bytes, std::size_t n) {
    writer_sink_write(*static_cast<LineWriter*>(writer), bytes, n);
}

// The page the writer's output goes through, unwrapped, and the pen whose
// changes the decoder marks in it.
void setup_page(Processor& p, const Palette& colors) {
    p.writer->sink.page = html_page_new(colors, write_page, p.writer);
    p.pen = allocate_record<Pen>();
    if (p.writer->sink.page == nullptr || p.pen == nullptr) {
        std::fprintf(stderr, "%s: Out of memory.\n", options.program_name);
        std::exit(1);
    }
    p.writer->width = SIZE_MAX / 4;
    html_page_begin(*p.writer->sink.page);
}

}  // namespace

void usage(int status) {
    std::FILE* out = status == 0 ? stdout : stderr;
    for (const char* piece : USAGE_PIECES) std::fputs(piece, out);
    if (status == 0) exit_after_writing(out, 0);
    std::exit(status);
}

void print_version() {
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
    if (f == nullptr) {
        std::fprintf(stderr, "%s: couldn't open file %s: %s\n", options.program_name, path,
                     std::strerror(errno));
        std::exit(1);
    }
    return f;
}

void write_error_handler(int error_number, void* context) {
    std::fprintf(stderr, "%s: %s: %s\n", static_cast<const char*>(context), "write error",
                 std::strerror(error_number));
    // An exit status is a byte, and 0 would read as success.
    std::exit(error_number > 0 && error_number <= 255 ? error_number : 1);
}

void setup_from_args(Session& session, int argc, char** argv) {
    Processor& p = session.processor;
    options = Options{};
    if (argc > 0 && argv[0] != nullptr) options.program_name = argv[0];
    std::FILE* in = stdin;
    std::FILE* out = stdout;

    const char* timing_path = nullptr;
    parse_options(argc, argv, &timing_path);

    const char* output_path = nullptr;
    if (optind < argc) in = open_argument_file(argv[optind], "r");
    if (optind + 1 < argc) output_path = argv[optind + 1];

    // The timing file comes before the output file, so that a run that
    // cannot start leaves an existing output file untouched.
    std::FILE* timings = nullptr;
    if (timing_path != nullptr) {
        timings = std::fopen(timing_path, "r");
        if (timings == nullptr) {
            std::fprintf(stderr, "%s: couldn't open file %s: %s\n", options.program_name,
                         timing_path, std::strerror(errno));
            std::exit(1);
        }
    }

    struct stat in_stat {};
    const bool input_regular = is_regular(fileno(in), in_stat);
    struct stat out_stat {};
    if (output_path != nullptr && std::strcmp(output_path, "-") != 0) {
        if (input_regular && stat(output_path, &out_stat) == 0 &&
            out_stat.st_dev == in_stat.st_dev && out_stat.st_ino == in_stat.st_ino) {
            input_is_output(output_path);
        }
        out = open_argument_file(output_path, "w");
    } else if (input_regular && is_regular(fileno(stdout), out_stat) &&
               out_stat.st_dev == in_stat.st_dev && out_stat.st_ino == in_stat.st_ino) {
        input_is_output("standard output");
    }

    // The writer sends its output in large writes. A pipe or a terminal on
    // the input still wants every line out as soon as its input came: the
    // output is flushed before each read that may wait (below), unless -b
    // asks to buffer regardless.
    const bool live = !options.buffered && !input_regular;

    options.output_is_tty = isatty(fileno(out));
    if (options.color_mode == COLOR_AUTO) {
        options.color_mode = options.output_is_tty ? COLOR_ALWAYS : COLOR_NONE;
    }
    OutputConfig output_config;
    output_config.hidden = options.hidden;
    // A page is coloured with marks, which it turns into its elements and
    // styles; the user's colours become its style sheet.
    Palette page_colors;
    if (options.html) {
        page_colors = configured_palette(std::getenv("VORSK_COLORS"));
        options.color_mode = COLOR_ALWAYS;
    }
    // The summary alone, or its JSON: the account is decoded but not written.
    if (options.summary == SUMMARY_ONLY || options.summary == SUMMARY_JSON) {
        output_config.hidden = ~KindSet{0};
    }
    output_config.colors = options.color_mode == COLOR_ALWAYS;
    if (output_config.colors)
        output_config.palette = configured_palette(std::getenv("VORSK_COLORS"));
    if (options.html) html_mark_palette(output_config.palette);

    if (options.interactive) {
        if (isatty(fileno(in))) setup_terminal(fileno(in), options.output_is_tty != 0);
        setup_signals(options.output_is_tty != 0);
    }

    p.input = input_new(ByteSource{.fd = fileno(in)}, LOOKAHEAD_LIMIT);
    p.writer = writer_new(Sink{.fd = fileno(out)}, output_config);
    if (p.input == nullptr || p.writer == nullptr) {
        std::fprintf(stderr, "%s: Out of memory.\n", options.program_name);
        std::exit(1);
    }
    writer_set_error_handler(*p.writer, write_error_handler,
                             const_cast<char*>(options.program_name));
    if (options.html) setup_page(p, page_colors);
    p.print_carets = options.print_carets != 0;
    p.extended = options.extended != 0;
    // Keys typed on a terminal in interactive mode, or --keys for any input.
    p.keys = p.extended && (options.keys != 0 || (options.interactive && isatty(fileno(in))));
    if (p.extended) {
        p.string = allocate_record<ControlString>();
        if (p.string == nullptr) {
            std::fprintf(stderr, "%s: Out of memory.\n", options.program_name);
            std::exit(1);
        }
    }
    if (options.summary != SUMMARY_NONE) {
        p.tally = tally_new();
        if (p.tally == nullptr) {
            std::fprintf(stderr, "%s: Out of memory.\n", options.program_name);
            std::exit(1);
        }
        p.tally->format = static_cast<SummaryFormat>(options.summary);
    }
    session.program_name = options.program_name;
    session.source =
        timings != nullptr ? classic_timing_source(*p.input, timings) : plain_source(*p.input);
    live_input = LiveInput{p.writer, fileno(in), live, signals_installed()};
    if (!input_regular && (live_input.flush || live_input.signals)) {
        input_set_wait_hook(*p.input, before_wait, &live_input);
    }
}

}  // namespace vorsk
