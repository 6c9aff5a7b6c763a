#include "driver/probe.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "decode/processor.h"
#include "driver/terminal.h"
#include "report/probe.h"
#include "vocab/modes.h"

namespace vorsk {
namespace {

// How long a terminal that answers nothing is waited for, and how long
// after its last byte one that answers is.
constexpr double FIRST_ANSWER_SECONDS = 1.5;
constexpr double QUIET_SECONDS = 0.5;
constexpr double LONGEST_SECONDS = 5.0;

constexpr std::size_t QUERY_BYTES = 16 * 1024;
constexpr std::size_t ANSWER_BYTES = 64 * 1024;

// The terminal, its settings before the probe, and whether they were
// changed: put back at every exit, by a signal too.
int probe_fd = -1;
termios saved;
volatile std::sig_atomic_t raw_mode = 0;

void restore() {
    if (raw_mode) {
        tcsetattr(probe_fd, TCSAFLUSH, &saved);
        raw_mode = 0;
    }
}

void restore_and_reraise(int sig) {
    restore();
    raise_with_default_action(sig);
}

void enter_raw_mode() {
    termios raw = saved;
    raw.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    // The interrupt character still interrupts.
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    std::atexit(restore);
    std::at_quick_exit(restore);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        struct sigaction action {};
        action.sa_handler = restore_and_reraise;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
    raw_mode = 1;
    tcsetattr(probe_fd, TCSAFLUSH, &raw);
}

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct ProbeQueries {
    char bytes[QUERY_BYTES];
    std::size_t n = 0;
    std::size_t count = 0;
    void add(const char* text) {
        const std::size_t k = std::strlen(text);
        if (n + k > sizeof bytes) return;
        std::memcpy(bytes + n, text, k);
        n += k;
        ++count;
    }
    __attribute__((format(printf, 2, 3))) void addf(const char* format, ...) {
        char text[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        add(text);
    }
    // XTGETTCAP of a name, hex-encoded.
    void tcap(const char* name) {
        char hex[64] = {};
        for (std::size_t i = 0; name[i] != '\0' && 2 * i + 2 < sizeof hex; ++i)
            std::snprintf(hex + 2 * i, 3, "%02X", static_cast<unsigned char>(name[i]));
        addf("\033P+q%s\033\\", hex);
    }
};

// What current programs ask, DA1 last: almost every terminal answers it,
// and answers in order, so its answer says that the others are in.
void make_queries(ProbeQueries& q) {
    q.add("\033[>c");   // DA2
    q.add("\033[=c");   // DA3
    q.add("\033[>0q");  // XTVERSION
    for (std::uint32_t mode = 1; mode < 10000; ++mode) {
        if (find_private_mode(mode, true) != nullptr) q.addf("\033[?%u$p", mode);
    }
    q.add("\033[?u");   // kitty's keyboard flags
    q.add("\033[?4m");  // XTQMODKEYS: modifyOtherKeys
    for (const char* name : {"TN", "Co", "RGB", "Smulx", "Setulc", "Sync", "Ms"}) q.tcap(name);
    q.add("\033P$qm\033\\");   // DECRQSS: SGR
    q.add("\033P$q q\033\\");  // DECRQSS: DECSCUSR
    q.add("\033]10;?\033\\");
    q.add("\033]11;?\033\\");
    q.add("\033]12;?\033\\");
    for (const int index : {0, 1, 7, 15}) q.addf("\033]4;%d;?\033\\", index);
    q.add("\033[?996n");  // the colour scheme
    q.add("\033[14t");    // the text area in pixels
    q.add("\033[16t");    // the cell in pixels
    q.add("\033[18t");    // the text area in characters
    // kitty's graphics: a query of one pixel.
    q.add("\033_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\033\\");
    // The widths: a wide character and an emoji, each with the cursor's
    // position after it, then the line cleared.
    char wide[8] = {};
    char emoji[8] = {};
    std::snprintf(wide, sizeof wide, "%s", "\xE6\xBC\xA2");        // U+6F22
    std::snprintf(emoji, sizeof emoji, "%s", "\xF0\x9F\x98\x80");  // U+1F600
    static_assert(PROBE_WIDE == 0x6F22 && PROBE_EMOJI == 0x1F600);
    q.addf("\r%s\033[6n", wide);
    q.addf("\r%s\033[6n", emoji);
    q.add("\r\033[2K");
    --q.count;        // clearing the line asks nothing
    q.add("\033[c");  // DA1, the sentinel
}

// Whether the answers hold DA1's: CSI ? ... c.
bool has_da1_answer(const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i + 2 < n; ++i) {
        if (bytes[i] != 0x1b || bytes[i + 1] != '[' || bytes[i + 2] != '?') continue;
        std::size_t j = i + 3;
        while (j < n && ((bytes[j] >= '0' && bytes[j] <= '9') || bytes[j] == ';')) ++j;
        if (j < n && bytes[j] == 'c') return true;
    }
    return false;
}

bool write_all(int fd, const char* bytes, std::size_t n) {
    while (n > 0) {
        const ssize_t k = write(fd, bytes, n);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        bytes += k;
        n -= static_cast<std::size_t>(k);
    }
    return true;
}

// The answers, until DA1's, or the terminal's silence.
std::size_t read_answers(int fd, std::uint8_t* answers) {
    std::size_t n = 0;
    const double start = now();
    double last = start;
    for (;;) {
        const double t = now();
        const double deadline = n == 0 ? start + FIRST_ANSWER_SECONDS : last + QUIET_SECONDS;
        if (t >= deadline || t >= start + LONGEST_SECONDS) break;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>((deadline - t) * 1000) + 1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t k = read(fd, answers + n, ANSWER_BYTES - n);
        if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (k <= 0) break;
        n += static_cast<std::size_t>(k);
        last = now();
        if (has_da1_answer(answers, n) || n == ANSWER_BYTES) break;
    }
    return n;
}

// The account of the answers, marked as typed input.
void show_answers(LineWriter& w, const std::uint8_t* answers, std::size_t n, bool carets) {
    static Processor p;
    InputBuffer* input = input_new(ByteSource{.data = answers, .size = n}, LOOKAHEAD_LIMIT);
    // Read with the vocabulary of output, which names answers as answers (a
    // cursor position report, not the key that sends the same bytes).
    const ProcessorSettings settings{.print_carets = carets, .extended = true};
    if (input == nullptr || !processor_init(p, input, &w, settings)) return;
    writer_set_input(w, true);
    for (int c = input_get(*input); c != EOF; c = input_get(*input)) process_byte(p, c);
    finish_state(p);
    writer_set_input(w, false);
}

}  // namespace

int run_probe(const ProbeSettings& settings) {
    const char* device = "standard input";
    int fd = -1;
    if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
        fd = STDIN_FILENO;
    } else {
        fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        device = "/dev/tty";
        if (fd < 0) {
            std::fprintf(stderr, "%s: --probe: no terminal to probe: %s\n", settings.program_name,
                         std::strerror(errno));
            return 1;
        }
    }
    if (const char* name = ttyname(fd)) device = name;
    probe_fd = fd;
    if (tcgetattr(fd, &saved) != 0) {
        std::fprintf(stderr, "%s: --probe: %s: %s\n", settings.program_name, device,
                     std::strerror(errno));
        return 1;
    }
    static ProbeQueries queries;
    make_queries(queries);
    static std::uint8_t answers[ANSWER_BYTES];
    enter_raw_mode();
    const int out = fd == STDIN_FILENO ? STDOUT_FILENO : fd;
    std::size_t n = 0;
    if (write_all(out, queries.bytes, queries.n)) n = read_answers(fd, answers);
    restore();

    if (n == 0) {
        std::fprintf(stderr, "%s: --probe: the terminal on %s did not answer\n",
                     settings.program_name, device);
        return 1;
    }
    LineWriter& w = *settings.writer;
    if (!settings.json) show_answers(w, answers, n, settings.print_carets);
    ProbeContext context;
    context.device = device;
    context.tmux = std::getenv("TMUX");
    context.screen = std::getenv("STY");
    context.queries = queries.count;
    context.json = settings.json;
    write_probe_report(w, answers, n, context);
    writer_end(w);
    return 0;
}

}  // namespace vorsk
