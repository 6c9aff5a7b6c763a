#include "terminfo/terminfo.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "allocation.h"

// ncurses' header defines a macro for every capability's long name, so it
// comes last and nothing below uses those words.
#include <term.h>

namespace vorsk {
namespace {

// The extended capabilities ncurses knows of (its user_caps), with a
// phrase for the name the standard table would give.
struct ExtendedName {
    std::string_view name;
    const char* phrase;
};
constexpr ExtendedName extended_names[] = {
    {"BD", "bracketed paste off"},
    {"BE", "bracketed paste on"},
    {"Cr", "reset the cursor colour"},
    {"Cs", "set the cursor colour"},
    {"E0", "designate ASCII as G0"},
    {"E3", "clear the scrollback"},
    {"Ms", "set the selection"},
    {"PE", "end of pasted text"},
    {"PS", "start of pasted text"},
    {"RGB", "direct colour"},
    {"Rmol", "overline off"},
    {"S0", "designate a G0 character set"},
    {"Se", "reset the cursor style"},
    {"Setulc", "set the underline colour"},
    {"Smol", "overline on"},
    {"Smulx", "set the underline style"},
    {"Ss", "set the cursor style"},
    {"Sync", "synchronized output"},
    {"TS", "to the title"},
    {"XM", "mouse reporting"},
    {"XR", "request the terminal's version"},
    {"fd", "focus reports off"},
    {"fe", "focus reports on"},
    {"ka2", "keypad up"},
    {"kb1", "keypad left"},
    {"kb3", "keypad right"},
    {"kc2", "keypad down"},
    {"kp5", "keypad 5"},
    {"kpADD", "keypad +"},
    {"kpCMA", "keypad ,"},
    {"kpDIV", "keypad /"},
    {"kpDOT", "keypad ."},
    {"kpMUL", "keypad *"},
    {"kpSUB", "keypad -"},
    {"kpZRO", "keypad 0"},
    {"kxIN", "focus in"},
    {"kxOUT", "focus out"},
    {"rmxx", "strike-out off"},
    {"setrgbb", "set a direct background colour"},
    {"setrgbf", "set a direct foreground colour"},
    {"smxx", "strike-out on"},
    {"xm", "mouse report"},
};
consteval bool extended_names_sorted() {
    for (std::size_t i = 1; i < std::size(extended_names); ++i) {
        if (!(extended_names[i - 1].name < extended_names[i].name)) return false;
    }
    return true;
}
static_assert(extended_names_sorted(), "sorted and unique");

// The modified keys of the extended set: a key and a modifier suffix.
struct KeyName {
    std::string_view name;
    const char* phrase;
};
constexpr KeyName modified_keys[] = {
    {"DC", "delete"},       {"DN", "down arrow"},  {"END", "end"},       {"HOM", "home"},
    {"IC", "insert"},       {"LFT", "left arrow"}, {"NXT", "next page"}, {"PRV", "previous page"},
    {"RIT", "right arrow"}, {"UP", "up arrow"},
};
// Suffixes 3 to 7; none is shift alone.
constexpr const char* modifier_phrases[] = {"alt", "shift alt", "control", "shift control",
                                            "alt control"};

constexpr std::size_t MAX_CAPS = 1024;
constexpr std::size_t NAME_SIZE = 8;
constexpr std::size_t PHRASE_SIZE = 32;

// A string a capability gives for some parameters, in the pool.
struct Expansion {
    std::uint32_t offset = 0;
    std::uint16_t length = 0;
    std::uint16_t cap = 0;
    std::uint8_t tail = 0;  // control bytes after the sequences, not in length
    char tail_bytes[4] = {};
    int params[MAX_CAP_PARAMS] = {};
};

}  // namespace

struct TerminfoEntry {
    char term[64] = {};
    Capability caps[MAX_CAPS];
    std::size_t n_caps = 0;
    // Names and phrases made here (the modified keys).
    char names[MAX_CAPS][NAME_SIZE] = {};
    char phrases[MAX_CAPS][PHRASE_SIZE] = {};
    std::uint8_t* pool = nullptr;
    std::size_t pool_size = 0, pool_capacity = 0;
    Expansion* expansions = nullptr;  // sorted by bytes
    std::size_t n_expansions = 0, expansions_capacity = 0;
    // Each sequence of the expansions of several, as a piece of the pool,
    // sorted by bytes.
    std::string_view* pieces = nullptr;
    std::size_t n_pieces = 0;
    int colors = -1;
    bool escapes = false;
};

namespace {

bool is_padding_start(const char* s) {
    return s[0] == '$' && s[1] == '<';
}

// The string without its padding ($<5>, $<100/>, $<2*>).
std::size_t strip_padding(const char* s, char* out, std::size_t size) {
    std::size_t n = 0;
    while (*s != '\0' && n < size) {
        if (is_padding_start(s)) {
            const char* end = std::strchr(s, '>');
            if (end != nullptr) {
                s = end + 1;
                continue;
            }
        }
        out[n++] = *s++;
    }
    return n;
}

// The control bytes (not ESC) that end a string after its sequences; none
// where it holds a control string, which BEL may end.
std::size_t control_tail(const char* s, std::size_t n) {
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (s[i] == '\x1b' && std::strchr("]P_^X", s[i + 1]) != nullptr && s[i + 1] != '\0')
            return 0;
    }
    std::size_t t = 0;
    while (t < n && static_cast<unsigned char>(s[n - 1 - t]) < 0x20 && s[n - 1 - t] != '\x1b') ++t;
    return t;
}

std::uint8_t highest_param(const char* text) {
    std::uint8_t highest = 0;
    for (const char* s = text; *s != '\0'; ++s) {
        if (s[0] == '%' && s[1] == 'p' && s[2] >= '1' && s[2] <= '9')
            highest = std::max(highest, static_cast<std::uint8_t>(s[2] - '0'));
    }
    return highest;
}

// A program the parameters cannot be matched by numbers: strings (%s), or
// one that reads no %p (a format of answers, such as u6).
bool runnable(const Capability& cap) {
    if (std::strstr(cap.text, "%s") != nullptr) return false;
    const char* percent = std::strchr(cap.text, '%');
    return percent == nullptr || cap.n_params > 0;
}

const char* expand(const Capability& cap, const int* params) {
    if (cap.n_params == 0) return cap.text;
    long v[MAX_CAP_PARAMS];
    for (std::size_t i = 0; i < MAX_CAP_PARAMS; ++i) v[i] = params[i];
    return tiparm(cap.text, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
}

bool grow(TerminfoEntry& e, std::size_t bytes) {
    if (e.pool_size + bytes > e.pool_capacity) {
        const std::size_t capacity = std::max<std::size_t>(64 * 1024, 2 * (e.pool_size + bytes));
        auto* pool = static_cast<std::uint8_t*>(std::realloc(e.pool, capacity));
        if (pool == nullptr) return false;
        e.pool = pool;
        e.pool_capacity = capacity;
    }
    if (e.n_expansions == e.expansions_capacity) {
        const std::size_t capacity = std::max<std::size_t>(1024, 2 * e.expansions_capacity);
        auto* expansions =
            static_cast<Expansion*>(std::realloc(e.expansions, capacity * sizeof(Expansion)));
        if (expansions == nullptr) return false;
        e.expansions = expansions;
        e.expansions_capacity = capacity;
    }
    return true;
}

// Keeps what the capability gives for these parameters, when it begins
// with ESC.
bool add_expansion(TerminfoEntry& e, std::size_t cap, const int* params) {
    const char* out = expand(e.caps[cap], params);
    if (out == nullptr || out[0] != '\x1b') return true;
    char bytes[512];
    std::size_t n = strip_padding(out, bytes, sizeof bytes);
    const std::size_t tail = control_tail(bytes, n);
    n -= tail;
    if (n == 0 || n > UINT16_MAX || tail > sizeof(Expansion::tail_bytes)) return true;
    if (!grow(e, n)) return false;
    Expansion& x = e.expansions[e.n_expansions++];
    x = Expansion{};
    x.offset = static_cast<std::uint32_t>(e.pool_size);
    x.length = static_cast<std::uint16_t>(n);
    x.cap = static_cast<std::uint16_t>(cap);
    x.tail = static_cast<std::uint8_t>(tail);
    std::memcpy(x.tail_bytes, bytes + n, tail);
    std::copy(params, params + MAX_CAP_PARAMS, x.params);
    std::memcpy(e.pool + e.pool_size, bytes, n);
    e.pool_size += n;
    return true;
}

std::string_view expansion_bytes(const TerminfoEntry& e, const Expansion& x) {
    return {reinterpret_cast<const char*>(e.pool + x.offset), x.length};
}

void add_cap(TerminfoEntry& e, const char* name, const char* long_name, bool extended) {
    if (e.n_caps == MAX_CAPS) return;
    const char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<char*>(-1)) return;
    Capability& cap = e.caps[e.n_caps++];
    cap.name = name;
    cap.long_name = long_name;
    cap.text = value;
    cap.n_params = highest_param(value);
    cap.key = name[0] == 'k';
    cap.extended = extended;
    if (std::strchr(value, '\x1b') != nullptr) e.escapes = true;
}

// The expansions kept ahead: every string without parameters, those of
// one parameter for 0 to 255, and sgr's for every set of its nine flags.
bool expand_ahead(TerminfoEntry& e) {
    for (std::size_t i = 0; i < e.n_caps; ++i) {
        const Capability& cap = e.caps[i];
        if (!runnable(cap)) continue;
        int params[MAX_CAP_PARAMS] = {};
        if (cap.n_params == 0) {
            if (!add_expansion(e, i, params)) return false;
        } else if (cap.n_params == 1) {
            for (params[0] = 0; params[0] < 256; ++params[0]) {
                if (!add_expansion(e, i, params)) return false;
            }
        } else if (std::strcmp(cap.name, "sgr") == 0) {
            for (unsigned flags = 0; flags < 512; ++flags) {
                for (std::size_t b = 0; b < MAX_CAP_PARAMS; ++b) params[b] = (flags >> b) & 1;
                if (!add_expansion(e, i, params)) return false;
            }
        }
    }
    // Sorted by bytes; among equal bytes the strings that end there first,
    // then in the order made, so that the first capability of the table
    // and its fewest flags come first.
    std::stable_sort(e.expansions, e.expansions + e.n_expansions,
                     [&e](const Expansion& a, const Expansion& b) {
                         const std::string_view x = expansion_bytes(e, a);
                         const std::string_view y = expansion_bytes(e, b);
                         return x != y ? x < y : (a.tail != 0) < (b.tail != 0);
                     });
    return true;
}

// The length of the sequence at bytes[0], an ESC: a control sequence to
// its final byte, a control string to its terminator, an nF sequence to
// its final byte, or two bytes.
std::size_t sequence_length(const std::uint8_t* bytes, std::size_t n) {
    if (n < 2) return n;
    const std::uint8_t first = bytes[1];
    std::size_t i = 2;
    if (first == '[') {
        while (i < n && !(bytes[i] >= 0x40 && bytes[i] <= 0x7e)) ++i;
        return std::min(i + 1, n);
    }
    if (std::strchr("]P_^X", first) != nullptr) {
        for (; i < n; ++i) {
            if (bytes[i] == 0x07) return i + 1;
            if (bytes[i] == 0x1b && i + 1 < n && bytes[i + 1] == '\\') return i + 2;
        }
        return n;
    }
    if (first >= 0x20 && first <= 0x2f) {
        while (i < n && bytes[i] >= 0x20 && bytes[i] <= 0x2f) ++i;
        return std::min(i + 1, n);
    }
    return 2;
}

// The sequences of the strings of several, apart.
bool split_pieces(TerminfoEntry& e) {
    std::size_t capacity = 0;
    for (std::size_t i = 0; i < e.n_expansions; ++i) {
        const Expansion& x = e.expansions[i];
        if (e.caps[x.cap].key) continue;
        const std::uint8_t* bytes = e.pool + x.offset;
        for (std::size_t at = 0; at < x.length;) {
            if (bytes[at] != 0x1b) {
                ++at;
                continue;
            }
            const std::size_t length = sequence_length(bytes + at, x.length - at);
            if (length == x.length) break;
            if (e.n_pieces == capacity) {
                capacity = std::max<std::size_t>(256, 2 * capacity);
                auto* pieces = static_cast<std::string_view*>(
                    std::realloc(e.pieces, capacity * sizeof(std::string_view)));
                if (pieces == nullptr) return false;
                e.pieces = pieces;
            }
            e.pieces[e.n_pieces++] = {reinterpret_cast<const char*>(bytes + at), length};
            at += length;
        }
    }
    std::sort(e.pieces, e.pieces + e.n_pieces);
    return true;
}

void add_match(CapabilityMatch& match, const Capability& cap, const int* params,
               std::string_view tail) {
    for (std::size_t i = 0; i < match.n_caps; ++i) {
        if (match.caps[i] == &cap) return;
    }
    // Those whose strings end here come first; the others only when they
    // go on with the same bytes.
    if (match.n_caps != 0 && std::string_view(match.tail, match.n_tail) != tail) return;
    if (match.n_caps == 0) {
        std::copy(params, params + MAX_CAP_PARAMS, match.params);
        match.n_tail = std::min(tail.size(), sizeof match.tail);
        std::memcpy(match.tail, tail.data(), match.n_tail);
    }
    if (match.n_caps < std::size(match.caps)) match.caps[match.n_caps++] = &cap;
}

// The numbers written in the bytes, the first six.
std::size_t numbers_in(const std::uint8_t* bytes, std::size_t n, long* numbers) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < n && count < 6;) {
        if (bytes[i] < '0' || bytes[i] > '9') {
            ++i;
            continue;
        }
        long v = 0;
        while (i < n && bytes[i] >= '0' && bytes[i] <= '9') {
            if (v < 100000000) v = v * 10 + (bytes[i] - '0');
            ++i;
        }
        numbers[count++] = v;
    }
    return count;
}

// The literal bytes a program begins with, before its first % and padding.
bool literal_prefix_fits(const char* text, const std::uint8_t* bytes, std::size_t n) {
    std::size_t i = 0;
    for (; text[i] != '\0' && text[i] != '%' && !is_padding_start(text + i); ++i) {
        if (i >= n || static_cast<std::uint8_t>(text[i]) != bytes[i]) return false;
    }
    return true;
}

// Whether a program's output is the bytes, and the control bytes it goes
// on with (kept in `tail`).
bool same_expansion(const char* out, const std::uint8_t* bytes, std::size_t n, char* tail,
                    std::size_t& n_tail) {
    char stripped[512];
    std::size_t m = strip_padding(out, stripped, sizeof stripped);
    n_tail = std::min<std::size_t>(control_tail(stripped, m), 4);
    m -= n_tail;
    if (m != n || std::memcmp(stripped, bytes, n) != 0) return false;
    std::memcpy(tail, stripped + m, n_tail);
    return true;
}

// Parameterised strings whose values were not expanded ahead: every
// parameter tried at the numbers of the bytes and one either side (for
// %i), and for one parameter the numbers three at a time as one colour.
void match_by_numbers(const TerminfoEntry& e, const std::uint8_t* bytes, std::size_t n, bool keys,
                      CapabilityMatch& match) {
    long numbers[6];
    const std::size_t count = numbers_in(bytes, n, numbers);
    if (count == 0) return;
    int candidates[24];
    std::size_t n_candidates = 0;
    for (std::size_t i = 0; i < count; ++i) {
        for (long d = -1; d <= 1; ++d) {
            const long v = numbers[i] + d;
            if (v < 0 || v > 99999999) continue;
            if (std::find(candidates, candidates + n_candidates, v) == candidates + n_candidates)
                candidates[n_candidates++] = static_cast<int>(v);
        }
    }
    for (std::size_t i = 0; i + 2 < count && n_candidates < std::size(candidates); ++i) {
        if (numbers[i] < 256 && numbers[i + 1] < 256 && numbers[i + 2] < 256)
            candidates[n_candidates++] =
                static_cast<int>(numbers[i] << 16 | numbers[i + 1] << 8 | numbers[i + 2]);
    }
    for (std::size_t c = 0; c < e.n_caps; ++c) {
        const Capability& cap = e.caps[c];
        if (cap.key != keys || cap.n_params == 0 || cap.n_params > 4 || !runnable(cap) ||
            std::strcmp(cap.name, "sgr") == 0 || !literal_prefix_fits(cap.text, bytes, n))
            continue;
        std::size_t total = 1;
        for (std::size_t i = 0; i < cap.n_params; ++i) total *= n_candidates;
        if (total > 20000) continue;
        for (std::size_t k = 0; k < total; ++k) {
            int params[MAX_CAP_PARAMS] = {};
            std::size_t rest = k;
            for (std::size_t i = 0; i < cap.n_params; ++i) {
                params[i] = candidates[rest % n_candidates];
                rest /= n_candidates;
            }
            // One parameter from 0 to 255 was expanded ahead.
            if (cap.n_params == 1 && params[0] < 256) continue;
            char tail[4];
            std::size_t n_tail = 0;
            const char* out = expand(cap, params);
            if (out != nullptr && same_expansion(out, bytes, n, tail, n_tail)) {
                add_match(match, cap, params, {tail, n_tail});
                break;
            }
        }
    }
}

}  // namespace

TerminfoEntry* terminfo_load(const char* term, const char** why) {
    int status = 0;
    if (setupterm(term, -1, &status) != 0) {
        *why = status == -1 ? "no terminfo database was found" : "no such terminal type";
        return nullptr;
    }
    TerminfoEntry* e = allocate_record<TerminfoEntry>();
    if (e == nullptr) {
        *why = "out of memory";
        return nullptr;
    }
    std::snprintf(e->term, sizeof e->term, "%s", term);
    for (std::size_t i = 0; strnames[i] != nullptr; ++i)
        add_cap(*e, strnames[i], strfnames[i], false);
    for (const ExtendedName& x : extended_names) add_cap(*e, x.name.data(), x.phrase, true);
    std::size_t made = 0;
    for (const KeyName& key : modified_keys) {
        for (int suffix = 2; suffix <= 7; ++suffix) {
            if (made == MAX_CAPS) break;
            char* name = e->names[made];
            char* phrase = e->phrases[made];
            std::snprintf(name, NAME_SIZE, "k%.*s", static_cast<int>(key.name.size()),
                          key.name.data());
            if (suffix > 2) std::snprintf(name + std::strlen(name), 2, "%d", suffix);
            std::snprintf(phrase, PHRASE_SIZE, "%s %s",
                          suffix == 2 ? "shift" : modifier_phrases[suffix - 3], key.phrase);
            // kDC, kEND, kHOM, kIC, kLFT, kNXT, kPRV, kRIT are standard names.
            const std::size_t before = e->n_caps;
            bool standard = false;
            for (std::size_t i = 0; i < before; ++i)
                standard = standard || std::strcmp(e->caps[i].name, name) == 0;
            if (standard) continue;
            add_cap(*e, name, phrase, true);
            if (e->n_caps > before) ++made;
        }
    }
    const int colors = tigetnum("colors");
    e->colors = colors >= 0 ? colors : -1;
    if (!expand_ahead(*e) || !split_pieces(*e)) {
        terminfo_free(e);
        *why = "out of memory";
        return nullptr;
    }
    return e;
}

void terminfo_free(TerminfoEntry* entry) {
    if (entry == nullptr) return;
    std::free(entry->pool);
    std::free(entry->expansions);
    std::free(entry->pieces);
    release_record(entry);
}

const char* terminfo_name(const TerminfoEntry& entry) {
    return entry.term;
}

int terminfo_colors(const TerminfoEntry& entry) {
    return entry.colors;
}

bool terminfo_declares(const TerminfoEntry& entry, const char* name) {
    return terminfo_capability(entry, name) != nullptr || tigetflag(name) > 0 ||
           tigetnum(name) >= 0;
}

bool terminfo_has_escapes(const TerminfoEntry& entry) {
    return entry.escapes;
}

bool terminfo_sets_mode(const TerminfoEntry& entry, std::uint32_t mode) {
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%u", mode);
    for (std::size_t i = 0; i < entry.n_caps; ++i) {
        // The digits as a parameter of ESC [ ? ... h or l: after "?" or ";",
        // before ";", "h", "l" or the program's "%".
        for (const char* s = std::strstr(entry.caps[i].text, "\x1b[?"); s != nullptr;
             s = std::strstr(s + 1, "\x1b[?")) {
            for (const char* q = s + 3;
                 *q != '\0' && (std::strchr("0123456789;", *q) != nullptr);) {
                if (std::strncmp(q, digits, static_cast<std::size_t>(n)) == 0 &&
                    std::strchr(";hl%", q[n]) != nullptr && q[n] != '\0')
                    return true;
                while (*q >= '0' && *q <= '9') ++q;
                if (*q == ';') ++q;
            }
        }
    }
    return false;
}

bool terminfo_match(const TerminfoEntry& e, const std::uint8_t* bytes, std::size_t n, bool keys,
                    CapabilityMatch& match) {
    match = CapabilityMatch{};
    const std::string_view wanted(reinterpret_cast<const char*>(bytes), n);
    const Expansion* first = std::lower_bound(
        e.expansions, e.expansions + e.n_expansions, wanted,
        [&e](const Expansion& x, std::string_view w) { return expansion_bytes(e, x) < w; });
    for (const Expansion* x = first;
         x != e.expansions + e.n_expansions && expansion_bytes(e, *x) == wanted; ++x) {
        const Capability& cap = e.caps[x->cap];
        if (cap.key != keys) continue;
        add_match(match, cap, x->params, {x->tail_bytes, x->tail});
    }
    if (match.n_caps == 0) match_by_numbers(e, bytes, n, keys, match);
    return match.n_caps != 0;
}

const Capability* terminfo_string_opener(const TerminfoEntry& e, const std::uint8_t* bytes,
                                         std::size_t n, std::size_t& length) {
    const Capability* best = nullptr;
    for (std::size_t i = 0; i < e.n_caps; ++i) {
        const Capability& cap = e.caps[i];
        const std::size_t k = std::strlen(cap.text);
        if (cap.key || cap.n_params != 0 || k < 3 || k > n || cap.text[0] != '\x1b' ||
            std::strchr("]P_^X", cap.text[1]) == nullptr ||
            std::strchr(cap.text, '\x07') != nullptr ||
            std::strstr(cap.text, "\x1b\\") != nullptr || std::memcmp(cap.text, bytes, k) != 0)
            continue;
        if (best == nullptr || k > length) {
            best = &cap;
            length = k;
        }
    }
    return best;
}

const Capability* terminfo_capability(const TerminfoEntry& e, const char* name) {
    for (std::size_t i = 0; i < e.n_caps; ++i) {
        if (std::strcmp(e.caps[i].name, name) == 0) return &e.caps[i];
    }
    return nullptr;
}

bool terminfo_produces(const TerminfoEntry& e, const std::uint8_t* bytes, std::size_t n) {
    const std::string_view wanted(reinterpret_cast<const char*>(bytes), n);
    if (std::binary_search(e.pieces, e.pieces + e.n_pieces, wanted)) return true;
    CapabilityMatch match;
    return terminfo_match(e, bytes, n, false, match);
}

bool terminfo_run_add(const TerminfoEntry& entry, TerminfoRun& run, const std::uint8_t* bytes,
                      std::size_t n, std::uint64_t start, bool keys, CapabilityMatch& match,
                      std::size_t& sequences_before) {
    if (start != run.end) {
        run.n_bytes = 0;
        run.n_sequences = 0;
    }
    run.end = start + 1 + n;
    // The oldest sequences make room for the new one.
    while (run.n_sequences > 0 && (run.n_sequences == TerminfoRun::MAX_SEQUENCES ||
                                   run.n_bytes + 1 + n > TerminfoRun::MAX_BYTES)) {
        const std::size_t drop = run.n_sequences > 1 ? run.starts[1] : run.n_bytes;
        std::memmove(run.bytes, run.bytes + drop, run.n_bytes - drop);
        run.n_bytes -= drop;
        for (std::size_t i = 1; i < run.n_sequences; ++i) run.starts[i - 1] = run.starts[i] - drop;
        --run.n_sequences;
    }
    if (run.n_bytes + 1 + n > TerminfoRun::MAX_BYTES) {
        // Longer than any string of an entry.
        run.n_sequences = 0;
        run.n_bytes = 0;
        run.end = UINT64_MAX;
        return false;
    }
    run.starts[run.n_sequences++] = run.n_bytes;
    run.bytes[run.n_bytes++] = 0x1b;
    std::memcpy(run.bytes + run.n_bytes, bytes, n);
    run.n_bytes += n;
    for (std::size_t k = 0; k < run.n_sequences; ++k) {
        const std::size_t from = run.starts[k];
        if (terminfo_match(entry, run.bytes + from, run.n_bytes - from, keys, match)) {
            sequences_before = run.n_sequences - 1 - k;
            return true;
        }
    }
    return false;
}

namespace {

struct Phrase {
    char* out;
    std::size_t size;
    std::size_t n = 0;
    __attribute__((format(printf, 2, 3))) void add(const char* format, ...) {
        if (n >= size) return;
        va_list args;
        va_start(args, format);
        const int k = std::vsnprintf(out + n, size - n, format, args);
        va_end(args);
        if (k > 0) n = std::min(size - 1, n + static_cast<std::size_t>(k));
    }
};

constexpr const char* sgr_flags[MAX_CAP_PARAMS] = {
    "standout",  "underline", "reverse",
    "blink",     "dim",       "bold",
    "invisible", "protected", "alternate character set"};
constexpr const char* underline_styles[] = {"none",  "single", "double",
                                            "curly", "dotted", "dashed"};

bool named(const Capability& cap, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (std::strcmp(cap.name, name) == 0) return true;
    }
    return false;
}

}  // namespace

std::size_t describe_capability_params(const CapabilityMatch& match, char* out, std::size_t size) {
    Phrase phrase{out, size};
    if (size != 0) out[0] = '\0';
    if (match.n_caps == 0) return 0;
    const Capability& cap = *match.caps[0];
    const int* p = match.params;
    if (cap.n_params == 0) return 0;
    if (named(cap, {"cup"})) {
        phrase.add("line %d, column %d", p[0] + 1, p[1] + 1);
    } else if (named(cap, {"csr"})) {
        phrase.add("lines %d to %d", p[0] + 1, p[1] + 1);
    } else if (named(cap, {"smglr"})) {
        phrase.add("columns %d to %d", p[0] + 1, p[1] + 1);
    } else if (named(cap, {"hpa", "smglp"})) {
        phrase.add("column %d", p[0] + 1);
    } else if (named(cap, {"vpa"})) {
        phrase.add("line %d", p[0] + 1);
    } else if (named(cap, {"cub", "cuf", "ech", "ich", "dch"})) {
        phrase.add("%d %s", p[0], named(cap, {"cub", "cuf"}) ? "columns" : "characters");
    } else if (named(cap, {"cuu", "cud", "il", "dl", "indn", "rin"})) {
        phrase.add("%d lines", p[0]);
    } else if (named(cap, {"setaf", "setab", "setf", "setb"})) {
        phrase.add("colour %d", p[0]);
    } else if (named(cap, {"Setulc", "setrgbf", "setrgbb"}) && cap.n_params == 1) {
        phrase.add("colour #%06X", static_cast<unsigned>(p[0]));
    } else if (named(cap, {"Smulx"}) && p[0] >= 0 && p[0] < 6) {
        phrase.add("underline style %d (%s)", p[0], underline_styles[p[0]]);
    } else if (named(cap, {"Ss"})) {
        phrase.add("cursor style %d", p[0]);
    } else if (named(cap, {"S0"}) && p[0] > 0x20 && p[0] < 0x7f) {
        phrase.add("character set %c", p[0]);
    } else if (named(cap, {"sgr"})) {
        for (std::size_t i = 0; i < MAX_CAP_PARAMS; ++i) {
            if (p[i] != 0) phrase.add("%s%s", phrase.n == 0 ? "" : ", ", sgr_flags[i]);
        }
        if (phrase.n == 0) phrase.add("no attributes");
    } else {
        for (std::size_t i = 0; i < cap.n_params; ++i)
            phrase.add("%sparameter %zu %d", i == 0 ? "" : ", ", i + 1, p[i]);
    }
    return phrase.n;
}

}  // namespace vorsk
