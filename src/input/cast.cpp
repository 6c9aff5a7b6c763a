#include "input/cast.h"

#include <poll.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string_view>

#include "allocation.h"
#include "common.h"

namespace vorsk {
namespace {

// The DOM parser of the library picks the fastest code for the machine it
// runs on.
namespace json = simdjson::dom;

// Room for a whole line of the longest length and a read after it, and the
// padding the JSON parser reads past the end of a document.
constexpr std::size_t READ_SIZE = 64 * 1024;
constexpr std::size_t BUFFER_SIZE = CAST_LINE_LIMIT + READ_SIZE;
constexpr std::size_t HEADER_FACTS = 8;
// A text of the input quoted in a message is cut to this many bytes.
constexpr std::size_t QUOTED_SIZE = 96;

struct Fact {
    std::string_view name;
    std::size_t size = 0;
    char value[METADATA_VALUE_SIZE];
};

// What the header says of the session, in the order the account shows it.
struct Header {
    int version = 0;
    long long width = -1;
    long long height = -1;
    long long timestamp = -1;
    Fact facts[HEADER_FACTS];
    std::size_t n_facts = 0;
    Theme theme;
};

// A fact is given once: v3's terminal type and its environment's TERM
// name the same thing.
void add_fact(Header& h, std::string_view name, std::string_view value) {
    if (h.n_facts == HEADER_FACTS) return;
    for (std::size_t i = 0; i < h.n_facts; ++i) {
        if (h.facts[i].name == name) return;
    }
    Fact& f = h.facts[h.n_facts++];
    f.name = name;
    f.size = std::min(value.size(), METADATA_VALUE_SIZE);
    std::memcpy(f.value, value.data(), f.size);
}

void add_seconds_fact(Header& h, std::string_view name, double value) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%g", value);
    add_fact(h, name, std::string_view(text, static_cast<std::size_t>(n)));
}

// A number of the header as writers write it: a whole number, one with a
// fraction ("version": 2.0), or either in a string ("width": "80").
bool header_number(json::element value, double& out) {
    std::int64_t whole = 0;
    std::string_view text;
    if (value.get_int64().get(whole) == simdjson::SUCCESS) {
        out = static_cast<double>(whole);
        return true;
    }
    if (value.get_double().get(out) == simdjson::SUCCESS) return std::isfinite(out);
    if (value.get_string().get(text) != simdjson::SUCCESS || text.empty() || text.size() > 40)
        return false;
    char copy[48];
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    char* end = nullptr;
    out = std::strtod(copy, &end);
    return end == copy + text.size() && std::isfinite(out);
}

// The same, a whole number (a fraction of zero allowed).
bool header_whole(json::element value, long long& out) {
    double number = 0.0;
    if (!header_number(value, number) || number != std::floor(number) || std::fabs(number) > 1e15)
        return false;
    out = static_cast<long long>(number);
    return true;
}

// "#rrggbb" (or "#rgb") as 0xRRGGBB; false for anything else.
bool read_rgb(std::string_view text, std::uint32_t& out) {
    if ((text.size() != 7 && text.size() != 4) || text[0] != '#') return false;
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            digit = static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
        } else {
            return false;
        }
        value = value << 4 | digit;
        if (text.size() == 4) value = value << 4 | digit;
    }
    out = value;
    return true;
}

// "theme": {"fg": "#rrggbb", "bg": ..., "palette": "#rrggbb:#rrggbb:..."}
// with 8 or 16 colours in the palette; a palette of another length, or
// with a colour that is not one, is left out whole.
void read_theme(Header& h, json::element value) {
    json::object theme;
    if (value.get_object().get(theme) != simdjson::SUCCESS) return;
    Theme& t = h.theme;
    for (auto [key, field] : theme) {
        std::string_view text;
        if (field.get_string().get(text) != simdjson::SUCCESS) continue;
        if (key == "fg") {
            t.has_fg = read_rgb(text, t.fg);
        } else if (key == "bg") {
            t.has_bg = read_rgb(text, t.bg);
        } else if (key == "palette") {
            std::uint32_t colors[16];
            std::size_t n = 0;
            bool good = true;
            while (good && !text.empty()) {
                const std::size_t colon = text.find(':');
                good = n < std::size(colors) && read_rgb(text.substr(0, colon), colors[n++]);
                text =
                    colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1);
            }
            if (good && (n == 8 || n == 16)) {
                std::copy(colors, colors + n, t.palette);
                t.n_palette = static_cast<std::uint8_t>(n);
            }
        }
    }
}

// The environment's TERM and SHELL.
void read_env(Header& h, json::element value) {
    json::object env;
    if (value.get_object().get(env) != simdjson::SUCCESS) return;
    for (auto [key, field] : env) {
        std::string_view text;
        if ((key == "TERM" || key == "SHELL") &&
            field.get_string().get(text) == simdjson::SUCCESS) {
            add_fact(h, key == "TERM" ? "Terminal type" : "Shell", text);
        }
    }
}

// v3: "term": {"cols", "rows", "type", "theme"}.
void read_term(Header& h, json::element value) {
    json::object term;
    if (value.get_object().get(term) != simdjson::SUCCESS) return;
    for (auto [key, field] : term) {
        long long number = 0;
        std::string_view text;
        if (key == "cols" && header_whole(field, number)) {
            h.width = number;
        } else if (key == "rows" && header_whole(field, number)) {
            h.height = number;
        } else if (key == "type" && field.get_string().get(text) == simdjson::SUCCESS) {
            add_fact(h, "Terminal type", text);
        } else if (key == "theme") {
            read_theme(h, field);
        }
    }
}

// The header's fields; a field of another type than it should have is
// left out.
simdjson::error_code read_header_object(json::element doc, Header& h) {
    json::object header;
    if (auto e = doc.get_object().get(header)) return e;
    for (auto [key, value] : header) {
        long long number = 0;
        double real = 0.0;
        std::string_view text;
        if (key == "version") {
            if (header_whole(value, number)) {
                h.version = number > 0 && number < 1000 ? static_cast<int>(number) : 1000;
            }
        } else if (key == "width" && header_whole(value, number)) {
            h.width = number;
        } else if (key == "height" && header_whole(value, number)) {
            h.height = number;
        } else if (key == "timestamp" && header_number(value, real) && real >= 0 && real < 1e15) {
            h.timestamp = static_cast<long long>(std::floor(real));
        } else if (key == "title" && value.get_string().get(text) == simdjson::SUCCESS) {
            add_fact(h, "Title", text);
        } else if (key == "command" && value.get_string().get(text) == simdjson::SUCCESS) {
            add_fact(h, "Command", text);
        } else if (key == "idle_time_limit" && header_number(value, real)) {
            add_seconds_fact(h, "Idle time limit", real);
        } else if (key == "env") {
            read_env(h, value);
        } else if (key == "term") {
            read_term(h, value);
        } else if (key == "theme") {
            read_theme(h, value);
        }
    }
    return simdjson::SUCCESS;
}

simdjson::error_code read_header(json::parser& parser, const char* line, std::size_t len,
                                 Header& h) {
    json::element doc;
    if (auto e = parser.parse(line, len, false).get(doc)) return e;
    return read_header_object(doc, h);
}

// The order in which the account shows the header's facts.
constexpr std::string_view FACT_ORDER[] = {
    "Terminal size", "Terminal type", "Shell", "Command", "Title", "Idle time limit", "Start time",
};

std::size_t fact_rank(std::string_view name) {
    std::size_t i = 0;
    while (i < std::size(FACT_ORDER) && FACT_ORDER[i] != name) ++i;
    return i;
}

// The facts that the header gives as numbers join the others, and all go
// in the order of FACT_ORDER.
void order_facts(Header& h) {
    if (h.width >= 0 && h.height >= 0) {
        char text[64];
        const int k = std::snprintf(text, sizeof text, "%lldx%lld", h.width, h.height);
        add_fact(h, "Terminal size", std::string_view(text, static_cast<std::size_t>(k)));
    }
    if (h.timestamp >= 0) {
        const std::time_t t = static_cast<std::time_t>(h.timestamp);
        std::tm tm{};
        char text[64];
        if (gmtime_r(&t, &tm) != nullptr) {
            const std::size_t k = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
            add_fact(h, "Start time", std::string_view(text, k));
        }
    }
    std::stable_sort(h.facts, h.facts + h.n_facts, [](const Fact& a, const Fact& b) {
        return fact_rank(a.name) < fact_rank(b.name);
    });
}

// The bytes after a UTF-8 byte-order mark, which some editors write first.
std::size_t after_bom(const std::uint8_t* bytes, std::size_t n) {
    return n >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf ? 3 : 0;
}

// A v1 cast is one JSON object, often written over many lines: its first
// line is then no object of its own. Told by "version": 1 in its first
// bytes.
bool looks_like_v1(const std::uint8_t* bytes, std::size_t n) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), n);
    const std::size_t key = text.find("\"version\"");
    if (key == std::string_view::npos) return false;
    std::size_t i = key + 9;
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n' ||
                     text[i] == ':'))
        ++i;
    return i + 1 < n && text[i] == '1' && (text[i + 1] < '0' || text[i + 1] > '9');
}

std::size_t first_line_length(const std::uint8_t* bytes, std::size_t n) {
    const void* newline = std::memchr(bytes, '\n', n);
    return newline != nullptr
               ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(newline) - bytes)
               : n;
}

}  // namespace

struct Cast {
    int fd = -1;
    bool regular = false;
    const char* name = "-";
    const char* program_name = "vorsk";
    bool (*before_wait)(void*) = nullptr;
    void* wait_arg = nullptr;
    QuoteText quote = nullptr;
    json::parser parser;
    Header header;
    std::size_t next_fact = 0;
    // The file's bytes: [start, end) not yet read as lines.
    char* buffer = nullptr;
    std::size_t start = 0;
    std::size_t scan = 0;
    std::size_t end = 0;
    bool eof = false;
    std::uint64_t line = 0;
    // The event being handed out: the pause went, its bytes or its fact follow.
    Direction direction = TO_TERMINAL;
    std::string_view bytes;
    bool fact_pending = false;
    std::string_view fact_name;
    std::string_view fact_value;
    char number[32];
    double last_time = 0.0;
    double skipped = 0.0;  // the time of skipped events, added to the next pause
    bool told_backwards = false;
    bool told_unknown = false;
    bool cut_line = false;  // the last line read ended without a newline
    // v1: the whole file, and its "stdout" frames [delay, data] in turn.
    char* whole = nullptr;
    json::array::iterator frame;
    json::array::iterator frames_end;
    std::size_t frame_number = 0;
    char error[256];
    bool failed = false;
    bool told_stop = false;  // the account was told that the recording stopped early
};

namespace {

VORSK_PRINTF(2, 3) void fail(Cast& c, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(c.error, sizeof c.error, format, args);
    va_end(args);
    c.failed = true;
}

VORSK_PRINTF(2, 3) void warn(const Cast& c, const char* format, ...) {
    std::fprintf(stderr, "%s: %s:%" PRIu64 ": ", c.program_name, c.name, c.line);
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

bool read_more(Cast& c) {
    if (c.start != 0) {
        std::memmove(c.buffer, c.buffer + c.start, c.end - c.start);
        c.end -= c.start;
        c.scan -= c.start;
        c.start = 0;
    }
    if (!c.regular && c.before_wait != nullptr) {
        pollfd p{c.fd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) c.before_wait(c.wait_arg);
    }
    ssize_t got;
    do got = read(c.fd, c.buffer + c.end, BUFFER_SIZE - c.end);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        fail(c, "%s", std::strerror(errno));
        return false;
    }
    if (got == 0) c.eof = true;
    c.end += static_cast<std::size_t>(got);
    return true;
}

bool line_too_long(Cast& c) {
    ++c.line;
    fail(c, "a line of over %zu bytes", CAST_LINE_LIMIT);
    return false;
}

// The next line, without its newline. False at the end of the file, and
// on an error. A line holds at most CAST_LINE_LIMIT bytes, however the
// reads of a file or a pipe cut it.
bool next_line(Cast& c, const char*& line, std::size_t& len) {
    for (;;) {
        const void* newline = std::memchr(c.buffer + c.scan, '\n', c.end - c.scan);
        if (newline != nullptr) {
            const std::size_t at =
                static_cast<std::size_t>(static_cast<const char*>(newline) - c.buffer);
            if (at - c.start > CAST_LINE_LIMIT) return line_too_long(c);
            line = c.buffer + c.start;
            len = at - c.start;
            c.start = c.scan = at + 1;
            ++c.line;
            return true;
        }
        c.scan = c.end;
        if (c.end - c.start > CAST_LINE_LIMIT) return line_too_long(c);
        if (c.eof) {
            if (c.start == c.end) return false;
            c.cut_line = true;
            line = c.buffer + c.start;
            len = c.end - c.start;
            c.start = c.scan = c.end;
            ++c.line;
            return true;
        }
        if (!read_more(c)) return false;
    }
}

bool blank(const char* line, std::size_t len) {
    for (std::size_t i = 0; i < len; ++i) {
        if (line[i] != ' ' && line[i] != '\t' && line[i] != '\r') return false;
    }
    return true;
}

struct Event {
    double time = 0.0;
    std::string_view code;
    std::string_view data;
};

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code unit of the \uXXXX escape at text[i], or -1.
long escaped_unit(const char* text, std::size_t len, std::size_t i) {
    if (i + 6 > len || text[i] != '\\' || text[i + 1] != 'u') return -1;
    long unit = 0;
    for (std::size_t k = i + 2; k < i + 6; ++k) {
        const int digit = hex_digit(text[k]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

}  // namespace

bool mend_lone_surrogates(char* text, std::size_t len) {
    bool mended = false;
    for (std::size_t i = 0; i + 1 < len; ++i) {
        if (text[i] != '\\') continue;
        const long unit = escaped_unit(text, len, i);
        if (unit < 0xD800 || unit > 0xDFFF) {
            ++i;  // the escaped character, which may be a backslash
            continue;
        }
        const long next = escaped_unit(text, len, i + 6);
        if (unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            i += 11;  // a pair
            continue;
        }
        std::memcpy(text + i + 2, "fffd", 4);
        mended = true;
        i += 5;
    }
    return mended;
}

namespace {

// [TIME, CODE, DATA]; DATA of an exit event may be a number. A string that
// holds a lone surrogate is read with U+FFFD in its place.
bool parse_event(Cast& c, char* line, std::size_t len, Event& ev) {
    json::element doc;
    auto e = c.parser.parse(line, len, false).get(doc);
    if (e == simdjson::STRING_ERROR && mend_lone_surrogates(line, len)) {
        e = c.parser.parse(line, len, false).get(doc);
    }
    if (e) {
        if (c.cut_line && (len == 0 || line[len - 1] != ']')) {
            fail(c, "the line ends before its closing bracket: the recording was cut short");
        } else if (e == simdjson::UNCLOSED_STRING) {
            fail(c, "not valid JSON: a string in the line is not closed");
        } else {
            fail(c, "not valid JSON: a bracket, comma or quote of the line is missing or extra");
        }
        return false;
    }
    json::array array;
    if (doc.get_array().get(array) != simdjson::SUCCESS) {
        fail(c, "not an event: an event is an array [time, code, data]");
        return false;
    }
    if (array.size() != 3) {
        fail(c, "not an event: an event is an array [time, code, data], this one has %zu %s",
             array.size(), array.size() == 1 ? "element" : "elements");
        return false;
    }
    json::element data;
    if (array.at(0).get_double().get(ev.time) != simdjson::SUCCESS) {
        fail(c, "not an event: its time is not a number");
        return false;
    }
    if (array.at(1).get_string().get(ev.code) != simdjson::SUCCESS) {
        fail(c, "not an event: its code is not a string");
        return false;
    }
    if (array.at(2).get(data) == simdjson::SUCCESS &&
        data.get_string().get(ev.data) == simdjson::SUCCESS) {
        return true;
    }
    std::int64_t number = 0;
    if (ev.code == "x" && data.get_int64().get(number) == simdjson::SUCCESS) {
        const int n = std::snprintf(c.number, sizeof c.number, "%" PRId64, number);
        ev.data = std::string_view(c.number, static_cast<std::size_t>(n));
        return true;
    }
    fail(c, "not an event: its data is not a string");
    return false;
}

// The pause before an event: the time since the one before (v2), or its
// own interval (v3). Time that runs backwards is a negative pause, shown
// as a timing file's is.
double pause_before(Cast& c, double time) {
    double delay = c.header.version == 2 ? time - c.last_time : time;
    if (c.header.version == 2) c.last_time = time;
    if (delay < 0.0 && !c.told_backwards) {
        c.told_backwards = true;
        warn(c, "the time goes back: a negative pause");
    }
    delay += c.skipped;
    c.skipped = 0.0;
    return delay;
}

void set_fact(Cast& c, std::string_view name, std::string_view value) {
    c.fact_pending = true;
    c.fact_name = name;
    c.fact_value = value;
}

// v1: the next frame of "stdout", [delay, data], output after its delay.
bool next_frame(Cast& c, Record& r) {
    if (c.whole == nullptr || c.frame == c.frames_end) return false;
    const json::element frame = *c.frame;
    ++c.frame;
    ++c.frame_number;
    json::array pair;
    double delay = 0.0;
    if (frame.get_array().get(pair) != simdjson::SUCCESS || pair.size() != 2 ||
        pair.at(0).get_double().get(delay) != simdjson::SUCCESS ||
        pair.at(1).get_string().get(c.bytes) != simdjson::SUCCESS) {
        fail(c, "frame %zu of \"stdout\" is not [delay, data]", c.frame_number);
        return false;
    }
    c.direction = TO_TERMINAL;
    delay = pause_before(c, delay);
    r = Record{.kind = RECORD_PAUSE, .delay = std::isfinite(delay) ? delay : 0.0};
    return true;
}

// Reads events up to the next one to hand out: false at the end of the
// cast or on an error.
bool next_event(Cast& c, Record& r) {
    if (c.header.version == 1) return next_frame(c, r);
    const char* line = nullptr;
    std::size_t len = 0;
    for (;;) {
        if (!next_line(c, line, len)) return false;
        if (blank(line, len)) continue;
        if (c.header.version == 3 && line[0] == '#') continue;  // a comment
        Event ev;
        // The line lies in the cast's own buffer.
        if (!parse_event(c, const_cast<char*>(line), len, ev)) return false;
        const std::string_view code = ev.code;
        if (code == "o" || code == "i") {
            c.direction = code == "o" ? TO_TERMINAL : FROM_TERMINAL;
            c.bytes = ev.data;
        } else if (code == "r") {
            set_fact(c, "Window size", ev.data);
        } else if (code == "m") {
            set_fact(c, "Marker", ev.data);
        } else if (code == "x") {
            set_fact(c, "Exit status", ev.data);
        } else {
            if (!c.told_unknown) {
                c.told_unknown = true;
                // The code is the input's: quoted as the account shows text.
                char quoted[QUOTED_SIZE];
                c.quote(quoted, sizeof quoted, code);
                warn(c, "events of type \"%s\" are not known, and are skipped", quoted);
            }
            if (c.header.version == 3) c.skipped += ev.time;
            continue;
        }
        const double delay = pause_before(c, ev.time);
        // Intervals of skipped events that add up past the largest number.
        if (!std::isfinite(delay)) {
            fail(c, "not an event: its pause is not a finite number of seconds");
            return false;
        }
        r = Record{.kind = RECORD_PAUSE, .delay = delay};
        return true;
    }
}

void cast_next(void* self, RecordWant, Record& r) {
    Cast& c = *static_cast<Cast*>(self);
    if (c.next_fact < c.header.n_facts) {
        const Fact& f = c.header.facts[c.next_fact++];
        r = Record{.kind = RECORD_METADATA, .name = f.name, .value = {f.value, f.size}};
        return;
    }
    // A cast that stops on a fault says so in the account too, and the
    // event of the faulty line is not handed out.
    if (c.failed) {
        r = c.told_stop ? Record{.kind = RECORD_END}
                        : Record{.kind = RECORD_METADATA, .name = STOPPED_EARLY, .value = c.error};
        c.told_stop = true;
        return;
    }
    if (c.fact_pending) {
        c.fact_pending = false;
        r = Record{.kind = RECORD_METADATA, .name = c.fact_name, .value = c.fact_value};
        return;
    }
    if (!c.bytes.empty()) {
        const std::size_t n = std::min(c.bytes.size(), RECORD_PIECE_SIZE);
        r = Record{.kind = RECORD_BYTES,
                   .direction = c.direction,
                   .bytes = reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                   .size = n};
        c.bytes.remove_prefix(n);
        return;
    }
    if (next_event(c, r)) return;
    r = Record{.kind = RECORD_END};
    if (c.failed) cast_next(self, RecordWant{}, r);
}

int cast_finish(void* self) {
    const Cast& c = *static_cast<const Cast*>(self);
    if (!c.failed) return 0;
    std::fprintf(stderr, "%s: %s:%" PRIu64 ": %s\n", c.program_name, c.name, c.line, c.error);
    return 1;
}

}  // namespace

int cast_version(const std::uint8_t* first, std::size_t n, const char* name,
                 const char* program_name, bool forced) {
    const std::size_t bom = after_bom(first, n);
    first += bom;
    n -= bom;
    const std::size_t len = first_line_length(first, n);
    const char* why = nullptr;
    Header h;
    if (len == 0 || first[0] != '{') {
        why = "not an asciicast header: no JSON object";
    } else if (len >= CAST_HEADER_LIMIT) {
        // Said even when the input is then read as a stream: a cast with a
        // header this long is not read as one.
        std::fprintf(stderr, "%s: %s:1: not an asciicast header: a line of over 64 KiB%s\n",
                     program_name, name, forced ? "" : "; the file is read as a stream");
        return forced ? -1 : 0;
    } else {
        // A copy with the padding the parser wants.
        static char padded[CAST_HEADER_LIMIT + simdjson::SIMDJSON_PADDING];
        std::memcpy(padded, first, len);
        json::parser parser;
        if (read_header(parser, padded, len, h) != simdjson::SUCCESS) {
            if (looks_like_v1(first, n)) return 1;
            why = "not an asciicast header: not a valid JSON object";
        } else if (h.version == 0) {
            why = "not an asciicast header: no \"version\"";
        } else if (h.version < 1 || h.version > 3) {
            std::fprintf(stderr, "%s: %s:1: asciicast version %d is not read%s\n", program_name,
                         name, h.version, forced ? "" : "; the file is read as a stream");
            return forced ? -1 : 0;
        }
    }
    if (why == nullptr) return h.version;
    if (forced) std::fprintf(stderr, "%s: %s:1: %s\n", program_name, name, why);
    return forced ? -1 : 0;
}

namespace {

// v1: the rest of the file is read, and the whole object parsed once;
// its frames are handed out from the parsed document.
void read_v1(Cast& c) {
    c.header.version = 1;
    std::size_t size = c.end;
    std::size_t capacity = BUFFER_SIZE;
    c.whole = c.buffer;
    c.buffer = nullptr;
    for (;;) {
        if (capacity - size < READ_SIZE) {
            if (capacity > (std::size_t{1} << 30)) {
                fail(c, "a v1 cast of over 1 GiB");
                return;
            }
            capacity *= 2;
            auto* grown =
                static_cast<char*>(std::realloc(c.whole, capacity + simdjson::SIMDJSON_PADDING));
            if (grown == nullptr) {
                fail(c, "out of memory for a v1 cast");
                return;
            }
            c.whole = grown;
        }
        const ssize_t got = read(c.fd, c.whole + size, capacity - size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            fail(c, "%s", std::strerror(errno));
            return;
        }
        if (got == 0) break;
        size += static_cast<std::size_t>(got);
    }
    c.line = 1;
    json::element doc;
    auto e = c.parser.parse(c.whole, size, false).get(doc);
    if (e == simdjson::STRING_ERROR && mend_lone_surrogates(c.whole, size)) {
        e = c.parser.parse(c.whole, size, false).get(doc);
    }
    if (e != simdjson::SUCCESS) {
        std::size_t last = size;
        while (last > 0 && std::strchr(" \t\r\n", c.whole[last - 1]) != nullptr) --last;
        fail(c, "%s",
             last == 0 || c.whole[last - 1] != '}'
                 ? "the object ends before its closing brace: the recording was cut short"
                 : "not a valid JSON object");
        return;
    }
    read_header_object(doc, c.header);
    json::array frames;
    if (doc["stdout"].get_array().get(frames) != simdjson::SUCCESS) {
        fail(c, "a v1 cast without its \"stdout\" array of frames");
        return;
    }
    c.frame = frames.begin();
    c.frames_end = frames.end();
}

}  // namespace

Cast* cast_new(int fd, const char* name, const char* program_name, const std::uint8_t* first,
               std::size_t n, bool (*before_wait)(void*), void* wait_arg, QuoteText quote) {
    void* memory = std::malloc(sizeof(Cast));
    if (memory == nullptr) return nullptr;
    auto* c = new (memory) Cast;
    c->fd = fd;
    struct stat st {};
    c->regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    c->name = name;
    c->program_name = program_name;
    c->before_wait = before_wait;
    c->wait_arg = wait_arg;
    c->quote = quote;
    c->buffer = allocate_array<char>(BUFFER_SIZE + simdjson::SIMDJSON_PADDING);
    if (c->buffer == nullptr) {
        cast_free(c);
        return nullptr;
    }
    const std::size_t bom = after_bom(first, n);
    std::memcpy(c->buffer, first + bom, n - bom);
    c->end = n - bom;
    const char* line = nullptr;
    std::size_t len = 0;
    // The header was read once to tell the cast; this time for its facts.
    if (!looks_like_v1(first + bom, n - bom) && next_line(*c, line, len)) {
        read_header(c->parser, line, len, c->header);
    }
    if (c->header.version < 2) {
        c->header = Header{};
        c->start = c->scan = 0;
        c->line = 0;
        read_v1(*c);
    }
    order_facts(c->header);
    return c;
}

void cast_free(Cast* cast) {
    if (cast == nullptr) return;
    std::free(cast->buffer);
    std::free(cast->whole);
    cast->~Cast();
    std::free(cast);
}

const Theme& cast_theme(const Cast& cast) {
    return cast.header.theme;
}

RecordReader cast_reader(Cast& cast) {
    return RecordReader{.next = cast_next, .finish = cast_finish, .self = &cast};
}

}  // namespace vorsk
