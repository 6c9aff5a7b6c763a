#include "input/sudo_iolog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "allocation.h"
#include "input/gzip.h"

namespace vorsk {
namespace {

constexpr const char* STREAM_FILES[] = {"stdin", "stdout", "stderr", "ttyin", "ttyout"};
constexpr std::size_t N_STREAMS = std::size(STREAM_FILES);
constexpr std::size_t N_FACTS = 8;

struct Fact {
    const char* name = "";
    char value[METADATA_VALUE_SIZE];
};

}  // namespace

struct SudoLog {
    const char* folder = "";
    const char* program_name = "vorsk";
    std::FILE* timing = nullptr;
    int streams[N_STREAMS] = {-1, -1, -1, -1, -1};
    Fact facts[N_FACTS];
    std::size_t n_facts = 0;
    std::size_t next_fact = 0;
    std::uint64_t line_number = 0;
    char line[1024];
    // The event being handed out: its stream and the bytes still to come.
    int stream = -1;
    std::uint64_t remaining = 0;
    bool fact_pending = false;
    Fact fact;
    std::uint8_t bytes[RECORD_PIECE_SIZE];
    char error[256];
    bool failed = false;
    bool told_stop = false;
};

namespace {

// The file of the folder, read through zlib where it is compressed; -1
// where there is none.
int open_in(const SudoLog& s, const char* file) {
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%s", s.folder, file);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !is_gzip_file(fd)) return fd;
    return gunzip_pipe(fd, s.program_name, file);
}

void add_fact(SudoLog& s, const char* name, std::string_view value) {
    if (s.n_facts == N_FACTS || value.empty()) return;
    Fact& f = s.facts[s.n_facts++];
    f.name = name;
    const std::size_t n = std::min(value.size(), sizeof f.value - 1);
    std::memcpy(f.value, value.data(), n);
    f.value[n] = '\0';
}

// The log file: "TIME:USER:RUNAS_USER:RUNAS_GROUP:TTY:LINES:COLUMNS", the
// working directory, the command and its arguments.
void read_facts(SudoLog& s) {
    const int fd = open_in(s, "log");
    if (fd < 0) return;
    std::FILE* log = fdopen(fd, "r");
    if (log == nullptr) {
        close(fd);
        return;
    }
    char line[METADATA_VALUE_SIZE];
    if (std::fgets(line, sizeof line, log) != nullptr) {
        line[std::strcspn(line, "\n")] = '\0';
        std::string_view fields[7];
        std::size_t n = 0;
        std::string_view rest(line);
        while (n < std::size(fields)) {
            const std::size_t colon = rest.find(':');
            fields[n++] = rest.substr(0, colon);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
        add_fact(s, "User", fields[1]);
        add_fact(s, "Run as", fields[2]);
        add_fact(s, "Run as group", fields[3]);
        add_fact(s, "Terminal device", fields[4]);
        if (!fields[5].empty() && !fields[6].empty()) {
            char size[64];
            std::snprintf(size, sizeof size, "%.*sx%.*s", static_cast<int>(fields[6].size()),
                          fields[6].data(), static_cast<int>(fields[5].size()), fields[5].data());
            add_fact(s, "Terminal size", size);
        }
        std::time_t t = 0;
        for (const char c : fields[0]) {
            if (c < '0' || c > '9' || t > 100000000000) break;
            t = t * 10 + (c - '0');
        }
        std::tm tm{};
        char when[64];
        if (t > 0 && gmtime_r(&t, &tm) != nullptr &&
            std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &tm) != 0)
            add_fact(s, "Start time", when);
    }
    for (const char* name : {"Working directory", "Command"}) {
        if (std::fgets(line, sizeof line, log) == nullptr) break;
        line[std::strcspn(line, "\n")] = '\0';
        add_fact(s, name, line);
    }
    std::fclose(log);
}

void stop(SudoLog& s, const char* why) {
    std::snprintf(s.error, sizeof s.error, "timing:%" PRIu64 ": %s", s.line_number, why);
    s.failed = true;
}

// The next event of the timing file: a pause, then its bytes or its fact.
// False at the end of the timing, or at an event it cannot read.
bool next_event(SudoLog& s, Record& r) {
    if (std::fgets(s.line, sizeof s.line, s.timing) == nullptr) return false;
    ++s.line_number;
    if (std::strchr(s.line, '\n') == nullptr && std::feof(s.timing) == 0) {
        stop(s, "a line too long for an event");
        return false;
    }
    s.line[std::strcspn(s.line, "\r\n")] = '\0';
    int event = -1;
    double delay = 0.0;
    int used = 0;
    if (std::sscanf(s.line, "%d %lf%n", &event, &delay, &used) != 2 || !(delay >= 0.0) ||
        delay > 1e9) {
        stop(s, "not an event: an event, its delay and what it carries");
        return false;
    }
    const char* rest = s.line + used;
    if (event >= 0 && event < static_cast<int>(N_STREAMS)) {
        unsigned long long count = 0;
        if (std::sscanf(rest, "%llu", &count) != 1) {
            stop(s, "an event without its count of bytes");
            return false;
        }
        s.stream = event;
        s.remaining = count;
    } else if (event == 5) {
        unsigned rows = 0, cols = 0;
        if (std::sscanf(rest, "%u %u", &rows, &cols) != 2) {
            stop(s, "a window change without its size");
            return false;
        }
        s.fact.name = "Window size";
        std::snprintf(s.fact.value, sizeof s.fact.value, "%ux%u", cols, rows);
        s.fact_pending = true;
    } else if (event == 6) {
        while (*rest == ' ') ++rest;
        s.fact.name = "Suspend";
        std::snprintf(s.fact.value, sizeof s.fact.value, "%s", rest);
        s.fact_pending = true;
    } else {
        stop(s, "an event of a type that is not sudo's");
        return false;
    }
    r = Record{.kind = RECORD_PAUSE, .delay = delay};
    return true;
}

void sudo_next(void* self, RecordWant, Record& r) {
    SudoLog& s = *static_cast<SudoLog*>(self);
    if (s.next_fact < s.n_facts) {
        const Fact& f = s.facts[s.next_fact++];
        r = Record{.kind = RECORD_METADATA, .name = f.name, .value = f.value};
        return;
    }
    if (s.fact_pending) {
        s.fact_pending = false;
        r = Record{.kind = RECORD_METADATA, .name = s.fact.name, .value = s.fact.value};
        return;
    }
    while (s.remaining != 0 && !s.failed) {
        const int fd = s.streams[s.stream];
        ssize_t got = -1;
        if (fd >= 0) {
            do got = read(fd, s.bytes, std::min<std::uint64_t>(s.remaining, sizeof s.bytes));
            while (got < 0 && errno == EINTR);
        }
        if (got <= 0) {
            char why[160];
            std::snprintf(why, sizeof why,
                          "the %s stream ends %" PRIu64 " bytes before this event's",
                          STREAM_FILES[s.stream], s.remaining);
            stop(s, why);
            break;
        }
        s.remaining -= static_cast<std::uint64_t>(got);
        // Standard and terminal input are what was typed.
        const Direction d = s.stream == 0 || s.stream == 3 ? FROM_TERMINAL : TO_TERMINAL;
        r = Record{.kind = RECORD_BYTES,
                   .direction = d,
                   .bytes = s.bytes,
                   .size = static_cast<std::size_t>(got)};
        return;
    }
    if (!s.failed && next_event(s, r)) return;
    r = s.told_stop || !s.failed
            ? Record{.kind = RECORD_END}
            : Record{.kind = RECORD_METADATA, .name = STOPPED_EARLY, .value = s.error};
    s.told_stop = true;
}

int sudo_finish(void* self) {
    const SudoLog& s = *static_cast<const SudoLog*>(self);
    if (!s.failed) return 0;
    std::fprintf(stderr, "%s: %s/%s\n", s.program_name, s.folder, s.error);
    return 1;
}

}  // namespace

bool is_iolog_folder(const char* path) {
    struct stat st {};
    if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    char timing[4096];
    std::snprintf(timing, sizeof timing, "%s/timing", path);
    return stat(timing, &st) == 0 && S_ISREG(st.st_mode);
}

SudoLog* sudo_log_new(const char* folder, const char* program_name) {
    auto* s = allocate_record<SudoLog>();
    if (s == nullptr) return nullptr;
    s->folder = folder;
    s->program_name = program_name;
    const int timing = open_in(*s, "timing");
    s->timing = timing >= 0 ? fdopen(timing, "r") : nullptr;
    if (s->timing == nullptr) {
        std::fprintf(stderr, "%s: %s: no timing file of a sudo I/O log: %s\n", program_name, folder,
                     std::strerror(errno));
        release_record(s);
        return nullptr;
    }
    for (std::size_t i = 0; i < N_STREAMS; ++i) s->streams[i] = open_in(*s, STREAM_FILES[i]);
    read_facts(*s);
    return s;
}

RecordReader sudo_log_reader(SudoLog& log) {
    return RecordReader{.next = sudo_next, .finish = sudo_finish, .self = &log};
}

void sudo_log_free(SudoLog* log) {
    if (log == nullptr) return;
    if (log->timing != nullptr) std::fclose(log->timing);
    for (const int fd : log->streams) {
        if (fd >= 0) close(fd);
    }
    release_record(log);
}

}  // namespace vorsk
