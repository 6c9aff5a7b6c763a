#include "input/advanced_timing.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "allocation.h"

namespace vorsk {
namespace {

constexpr std::size_t LOG_BUFFER_SIZE = 64 * 1024;
constexpr std::size_t TIMING_LINE_SIZE = 8 * 1024;

struct Log {
    int fd = -1;
    bool regular = false;
    bool ended = false;
    int error = 0;  // of a read that failed, which ends the log
    std::uint8_t* data = nullptr;
    std::size_t pos = 0;
    std::size_t end = 0;
};

// The headers that script writes, by the names the account gives them.
struct HeaderName {
    std::string_view key;
    std::string_view name;
};
constexpr HeaderName HEADER_NAMES[] = {
    {"COLUMNS", "Columns"},       {"COMMAND", "Command"},       {"DURATION", "Duration"},
    {"EXIT_CODE", "Exit status"}, {"INPUT_LOG", "Input log"},   {"LINES", "Lines"},
    {"OUTPUT_LOG", "Output log"}, {"SHELL", "Shell"},           {"START_TIME", "Start time"},
    {"TERM", "Terminal type"},    {"TIMING_LOG", "Timing log"}, {"TTY", "Terminal device"},
};

consteval bool header_names_sorted() {
    for (std::size_t i = 1; i < std::size(HEADER_NAMES); ++i) {
        if (!(HEADER_NAMES[i - 1].key < HEADER_NAMES[i].key)) return false;
    }
    return true;
}
static_assert(header_names_sorted(), "header names sorted and unique");

enum Phase : std::uint8_t { LOG_HEADER, RECORDS, TAIL, DONE };

}  // namespace

struct AdvancedTiming {
    std::FILE* timings = nullptr;
    Log logs[2];
    // Where input records take their bytes: an input log of their own, or
    // the output log, which holds both directions (script --log-io) unless
    // the headers name two logs.
    bool input_given = false;
    bool told_no_input = false;
    bool told_past_end = false;
    bool told_long_line = false;
    bool unended_line = false;  // the line last read ended at the end of the file
    // The timing stopped at a record that is cut short or malformed: the
    // account is told (once), and the rest of the log is shown as what it is.
    bool stopped = false;
    bool told_stop = false;
    bool tail_checked = false;
    bool mixed = false;  // input records took their bytes from the output log
    char stop_reason[160];
    std::string_view log_names[2];
    char log_name_bytes[2][256];
    bool (*before_wait)(void*) = nullptr;
    void* wait_arg = nullptr;
    AdvancedTimingNames names;
    std::uint64_t line_number = 0;  // of the timing file's line last read
    int timing_error = 0;           // of a read of the timing file that failed
    bool failed = false;            // a read failed: nothing more is handed out
    Phase phase = LOG_HEADER;
    // The record being handed out: the bytes still to come and their way,
    // or a fact that follows the pause just handed out.
    Direction direction = TO_TERMINAL;
    std::uint64_t remaining = 0;
    bool fact_pending = false;
    std::string_view fact_name;
    std::string_view fact_value;
    char line[TIMING_LINE_SIZE];
    char value[METADATA_VALUE_SIZE];
};

namespace {

Log* log_of(AdvancedTiming& t, Direction d) {
    if (d == TO_TERMINAL || t.input_given) return &t.logs[d];
    const bool apart =
        !t.log_names[0].empty() && !t.log_names[1].empty() && t.log_names[0] != t.log_names[1];
    return apart ? nullptr : &t.logs[TO_TERMINAL];
}

// The names of the logs that the headers give, kept to tell whether the
// output log holds the input too.
void note_log_name(AdvancedTiming& t, Direction d, std::string_view name) {
    const std::size_t n = std::min(name.size(), sizeof t.log_name_bytes[d]);
    std::memcpy(t.log_name_bytes[d], name.data(), n);
    t.log_names[d] = std::string_view(t.log_name_bytes[d], n);
}

// The bytes of the log that are read and not yet handed out, reading more
// when there are none; 0 at its end.
std::size_t log_fill(AdvancedTiming& t, Log& log) {
    if (log.pos < log.end) return log.end - log.pos;
    if (log.fd < 0 || log.ended) return 0;
    if (!log.regular && t.before_wait != nullptr) {
        pollfd p{log.fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) t.before_wait(t.wait_arg);
    }
    ssize_t got;
    do got = read(log.fd, log.data, LOG_BUFFER_SIZE);
    while (got < 0 && errno == EINTR);
    if (got <= 0) {
        log.ended = true;
        if (got < 0) {
            log.error = errno;
            t.failed = true;  // the account ends here
        }
        return 0;
    }
    log.pos = 0;
    log.end = static_cast<std::size_t>(got);
    return log.end;
}

void hand_out(Log& log, std::size_t n, Direction d, Record& r) {
    r = Record{.kind = RECORD_BYTES, .direction = d, .bytes = log.data + log.pos, .size = n};
    log.pos += n;
}

// The log's first line, script's own header, up to and with its newline.
std::size_t header_piece(Log& log, std::size_t available) {
    const auto* start = log.data + log.pos;
    const void* newline = std::memchr(start, '\n', std::min(available, RECORD_PIECE_SIZE));
    if (newline == nullptr) return std::min(available, RECORD_PIECE_SIZE);
    return static_cast<std::size_t>(static_cast<const std::uint8_t*>(newline) - start) + 1;
}

// One line of the timing file, without its newline; a longer line than the
// buffer is cut. False at the end of the file.
bool read_line(AdvancedTiming& t) {
    errno = 0;
    if (std::fgets(t.line, sizeof t.line, t.timings) == nullptr) {
        if (std::ferror(t.timings)) {
            t.timing_error = errno != 0 ? errno : EIO;
            t.failed = true;
        }
        return false;
    }
    ++t.line_number;
    std::size_t n = std::strlen(t.line);
    t.unended_line = false;
    if (n != 0 && t.line[n - 1] == '\n') {
        t.line[--n] = '\0';
        // A line ended by CR LF is the same record.
        if (n != 0 && t.line[n - 1] == '\r') t.line[--n] = '\0';
    } else {
        int c;
        bool cut = false;
        while ((c = std::getc(t.timings)) != EOF && c != '\n') cut = true;
        t.unended_line = c == EOF && !cut;
        if (cut && !t.told_long_line) {
            t.told_long_line = true;
            std::fprintf(stderr, "%s: %s:%" PRIu64 ": a line of over %zu bytes is cut there\n",
                         t.names.program, t.names.timing, t.line_number, sizeof t.line - 1);
        }
    }
    return true;
}

std::string_view header_name(std::string_view key) {
    for (const HeaderName& h : HEADER_NAMES) {
        if (h.key == key) return h.name;
    }
    return {};
}

// "ROWS=24 COLS=80" as "80x24"; empty when the info says otherwise.
std::string_view window_size(AdvancedTiming& t, const char* info) {
    unsigned rows = 0;
    unsigned cols = 0;
    if (std::sscanf(info, " ROWS=%u COLS=%u", &rows, &cols) != 2) return {};
    const int n = std::snprintf(t.value, sizeof t.value, "%ux%u", cols, rows);
    return {t.value, static_cast<std::size_t>(n)};
}

void set_fact(AdvancedTiming& t, std::string_view name, std::string_view value) {
    t.fact_pending = true;
    t.fact_name = name;
    t.fact_value = value;
}

// A signal record's fact: a window size, or the signal by name.
void signal_fact(AdvancedTiming& t, const char* rest) {
    const char* end = rest;
    while (*end != '\0' && *end != ' ') ++end;
    const std::string_view signal(rest, static_cast<std::size_t>(end - rest));
    if (signal == "SIGWINCH") {
        const std::string_view size = window_size(t, end);
        if (!size.empty()) {
            set_fact(t, "Window size", size);
            return;
        }
    }
    set_fact(t, "Signal", rest);
}

// A header record's fact: a known name, or the header as it stands.
void header_fact(AdvancedTiming& t, const char* rest) {
    const char* end = rest;
    while (*end != '\0' && *end != ' ') ++end;
    const std::string_view name =
        header_name(std::string_view(rest, static_cast<std::size_t>(end - rest)));
    if (name.empty()) {
        set_fact(t, "Header", rest);
        return;
    }
    const char* value = *end == ' ' ? end + 1 : end;
    if (name == "Output log") note_log_name(t, TO_TERMINAL, value);
    if (name == "Input log") note_log_name(t, FROM_TERMINAL, value);
    set_fact(t, name, value);
}

// A record that ends the timing for a reason the user may not guess: said
// once, and told to the account.
void timing_ends(AdvancedTiming& t, const char* why) {
    if (t.stopped) return;
    t.stopped = true;
    std::fprintf(stderr, "%s: %s:%" PRIu64 ": %s; the timing ends here\n", t.names.program,
                 t.names.timing, t.line_number, why);
    std::snprintf(t.stop_reason, sizeof t.stop_reason,
                  "the timing ends at line %" PRIu64 " (%s); what follows has no pauses",
                  t.line_number, why);
}

bool timing_record(AdvancedTiming& t, Record& r);

// Reads the next record of the timing file. False where the timing ends:
// at the end of the file, or at a malformed record (which is said).
bool next_timing_record(AdvancedTiming& t, Record& r) {
    if (t.timings == nullptr || !read_line(t)) return false;
    // script ends every record with a newline: one without is cut short,
    // however it reads.
    if (!t.unended_line && timing_record(t, r)) return true;
    timing_ends(t, t.unended_line ? "a record cut short: the timing file stops early"
                                  : "a record that is not one of script's");
    return false;
}

bool timing_record(AdvancedTiming& t, Record& r) {
    const char letter = t.line[0];
    if (letter == '\0' || t.line[1] != ' ') return false;
    char* after = nullptr;
    errno = 0;
    const double delay = std::strtod(t.line + 2, &after);
    if (after == t.line + 2 || *after != ' ') return false;
    if (errno == ERANGE || !std::isfinite(delay)) {
        timing_ends(t, "a delay that is not a finite number of seconds");
        return false;
    }
    const char* rest = after + 1;
    switch (letter) {
        case 'O':
        case 'I': {
            // A count with a sign, or none at all, is malformed.
            if (!std::isdigit(static_cast<unsigned char>(*rest))) return false;
            char* end = nullptr;
            const unsigned long long count = std::strtoull(rest, &end, 10);
            if (*end != '\0') return false;
            if (errno == ERANGE) {
                timing_ends(t, "a count past the largest number of bytes");
                return false;
            }
            t.direction = letter == 'O' ? TO_TERMINAL : FROM_TERMINAL;
            // Input bytes without an input log are timed, but not shown.
            const Log* log = log_of(t, t.direction);
            t.remaining = log != nullptr ? count : 0;
            if (letter == 'I' && log == &t.logs[TO_TERMINAL]) t.mixed = true;
            if (log == nullptr && !t.told_no_input) {
                t.told_no_input = true;
                std::fprintf(stderr,
                             "%s: the input was logged to a file of its own; "
                             "give it with --input-log to see it\n",
                             t.names.program);
            }
            break;
        }
        case 'S': signal_fact(t, rest); break;
        case 'H':
            header_fact(t, rest);
            // script writes its headers with no pause; a pause is shown
            // only where there was one.
            if (delay == 0.0) {
                t.fact_pending = false;
                r = Record{.kind = RECORD_METADATA, .name = t.fact_name, .value = t.fact_value};
                return true;
            }
            break;
        default: return false;
    }
    r = Record{.kind = RECORD_PAUSE, .delay = delay};
    return true;
}

// The log's rest after the timing, where it says more than output: a log
// of both directions after a timing that stopped early holds typed input
// that nothing tells apart, and is not shown (its size is said); script's
// trailer line ("Script done on ...") is a fact where banners are.
bool tail_fact(AdvancedTiming& t, Log& log, std::size_t available, Record& r) {
    if (t.stopped && t.mixed) {
        std::uint64_t skipped = 0;
        for (std::size_t n = available; n != 0; n = log_fill(t, log)) {
            skipped += n;
            log.pos += n;
        }
        std::snprintf(t.value, sizeof t.value,
                      "%" PRIu64
                      " bytes of the log after the timing, output and typed input "
                      "mixed, are not shown",
                      skipped);
        r = Record{.kind = RECORD_METADATA, .name = "Not shown", .value = t.value};
        return true;
    }
    if (!t.names.banner_facts || t.stopped) return false;
    std::string_view rest(reinterpret_cast<const char*>(log.data + log.pos), available);
    std::size_t lead = 0;
    while (lead < rest.size() && (rest[lead] == '\r' || rest[lead] == '\n')) ++lead;
    constexpr std::string_view DONE_PREFIX = "Script done on ";
    const std::string_view line = rest.substr(lead);
    if (!line.starts_with(DONE_PREFIX) || !line.ends_with('\n') ||
        line.find('\n') != line.size() - 1)
        return false;
    log.pos += available;
    std::string_view value = line.substr(DONE_PREFIX.size(), line.size() - DONE_PREFIX.size() - 1);
    if (value.ends_with('\r')) value.remove_suffix(1);
    r = Record{.kind = RECORD_METADATA, .name = "Script done", .value = value};
    return true;
}

// The steps of each phase: true where a record is given, false where the
// next phase (or the same) goes on.
bool header_step(AdvancedTiming& t, Record& r) {
    Log& log = t.logs[TO_TERMINAL];
    const std::size_t available = log_fill(t, log);
    if (available == 0) {
        t.phase = RECORDS;
        return false;
    }
    const std::size_t n = header_piece(log, available);
    if (log.data[log.pos + n - 1] == '\n') t.phase = RECORDS;
    constexpr std::string_view STARTED = "Script started on ";
    const std::string_view line(reinterpret_cast<const char*>(log.data + log.pos), n);
    if (t.names.banner_facts && t.phase == RECORDS && line.starts_with(STARTED)) {
        log.pos += n;
        std::string_view value = line.substr(STARTED.size(), n - STARTED.size() - 1);
        if (value.ends_with('\r')) value.remove_suffix(1);
        r = Record{.kind = RECORD_METADATA, .name = "Script started", .value = value};
        return true;
    }
    hand_out(log, n, TO_TERMINAL, r);
    return true;
}

bool records_step(AdvancedTiming& t, Record& r) {
    if (t.fact_pending) {
        t.fact_pending = false;
        r = Record{.kind = RECORD_METADATA, .name = t.fact_name, .value = t.fact_value};
        return true;
    }
    if (t.remaining != 0) {
        Log& log = *log_of(t, t.direction);
        const std::size_t available = log_fill(t, log);
        if (available == 0) {
            if (!t.told_past_end && !t.failed) {
                t.told_past_end = true;
                std::fprintf(stderr,
                             "%s: %s:%" PRIu64 ": the record counts %" PRIu64
                             " bytes past the end of %s; the records after it "
                             "have no bytes to show\n",
                             t.names.program, t.names.timing, t.line_number, t.remaining,
                             t.names.logs[t.direction]);
            }
            t.remaining = 0;
            return false;
        }
        std::size_t n = std::min(available, RECORD_PIECE_SIZE);
        if (n > t.remaining) n = static_cast<std::size_t>(t.remaining);
        t.remaining -= n;
        hand_out(log, n, t.direction, r);
        return true;
    }
    if (next_timing_record(t, r)) return true;
    t.timings = nullptr;
    t.phase = TAIL;
    r = Record{.kind = RECORD_BREAK};
    return true;
}

bool tail_step(AdvancedTiming& t, Record& r) {
    if (t.stopped && !t.told_stop) {
        t.told_stop = true;
        r = Record{.kind = RECORD_METADATA, .name = STOPPED_EARLY, .value = t.stop_reason};
        return true;
    }
    // After the timing, the rest of the output as it stands.
    Log& log = t.logs[TO_TERMINAL];
    const std::size_t available = log_fill(t, log);
    if (available == 0) {
        t.phase = DONE;
        return false;
    }
    if (!t.tail_checked) {
        t.tail_checked = true;
        if (tail_fact(t, log, available, r)) return true;
    }
    hand_out(log, std::min(available, RECORD_PIECE_SIZE), TO_TERMINAL, r);
    return true;
}

void advanced_next(void* self, RecordWant, Record& r) {
    AdvancedTiming& t = *static_cast<AdvancedTiming*>(self);
    for (;;) {
        if (t.failed) t.phase = DONE;
        switch (t.phase) {
            case LOG_HEADER:
                if (header_step(t, r)) return;
                break;
            case RECORDS:
                if (records_step(t, r)) return;
                break;
            case TAIL:
                if (tail_step(t, r)) return;
                break;
            case DONE: r = Record{.kind = RECORD_END}; return;
        }
    }
}

void read_error(const AdvancedTiming& t, const char* name, int error) {
    std::fprintf(stderr, "%s: %s: read error: %s\n", t.names.program, name, std::strerror(error));
}

// A read that failed, of a log or of the timing file, ends the account
// with status 1, as the plain input does.
int advanced_finish(void* self) {
    const AdvancedTiming& t = *static_cast<const AdvancedTiming*>(self);
    if (t.timing_error != 0) read_error(t, t.names.timing, t.timing_error);
    for (const Direction d : {TO_TERMINAL, FROM_TERMINAL}) {
        if (t.logs[d].error != 0) read_error(t, t.names.logs[d], t.logs[d].error);
    }
    return t.failed ? 1 : 0;
}

bool open_log(Log& log, int fd) {
    log.fd = fd;
    if (fd < 0) return true;
    struct stat st {};
    log.regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    log.data = allocate_array<std::uint8_t>(LOG_BUFFER_SIZE);
    return log.data != nullptr;
}

// A separate input log begins with script's header line too, which is no
// input: it is read past.
void skip_log_header(AdvancedTiming& t, Log& log) {
    for (;;) {
        const std::size_t available = log_fill(t, log);
        if (available == 0) return;
        const void* newline = std::memchr(log.data + log.pos, '\n', available);
        if (newline != nullptr) {
            log.pos =
                static_cast<std::size_t>(static_cast<const std::uint8_t*>(newline) - log.data) + 1;
            return;
        }
        log.pos = log.end;
    }
}

}  // namespace

bool is_advanced_timing(std::FILE* timings) {
    const int c = std::getc(timings);
    if (c == EOF) return false;
    std::ungetc(c, timings);
    return std::isalpha(c) != 0;
}

AdvancedTiming* advanced_timing_new(std::FILE* timings, int output_log, int input_log,
                                    bool (*before_wait)(void*), void* wait_arg,
                                    const AdvancedTimingNames& names) {
    auto* t = allocate_record<AdvancedTiming>();
    if (t == nullptr) return nullptr;
    t->names = names;
    t->timings = timings;
    t->before_wait = before_wait;
    t->wait_arg = wait_arg;
    t->input_given = input_log >= 0 && input_log != output_log;
    if (!open_log(t->logs[TO_TERMINAL], output_log)) {
        advanced_timing_free(t);
        return nullptr;
    }
    if (t->input_given) {
        if (!open_log(t->logs[FROM_TERMINAL], input_log)) {
            advanced_timing_free(t);
            return nullptr;
        }
        skip_log_header(*t, t->logs[FROM_TERMINAL]);
    }
    return t;
}

void advanced_timing_free(AdvancedTiming* t) {
    if (t == nullptr) return;
    for (Log& log : t->logs) std::free(log.data);
    release_record(t);
}

RecordReader advanced_timing_reader(AdvancedTiming& t) {
    return RecordReader{.next = advanced_next, .finish = advanced_finish, .self = &t};
}

}  // namespace vorsk
