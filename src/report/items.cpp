#include "report/items.h"

#include <regex.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "allocation.h"
#include "decode/sequence_memo.h"
#include "parse/params.h"
#include "report/json_lines.h"
#include "text/json.h"
#include "text/utf8.h"

namespace vorsk {
namespace {

enum ItemKind : std::uint8_t {
    ITEM_NONE,
    ITEM_TEXT,
    ITEM_CONTROL,
    ITEM_SEQUENCE,
    ITEM_STRING,
    ITEM_DELAY,
    ITEM_METADATA,
    ITEM_SCREEN,
};

constexpr std::string_view item_kind_names[] = {
    "", "text", "control", "sequence", "string", "delay", "metadata", "screen",
};

// The line kinds whose names select an item of each kind.
constexpr KindSet item_line_kinds[] = {
    0,
    kind_bit(TEXT_LINE),
    kind_bit(CONTROL_LINE),
    kind_bit(ESCAPE_LINE) | kind_bit(LABEL_LINE) | kind_bit(DESCRIPTION_LINE) |
        kind_bit(TERMINFO_LINE),
    kind_bit(STRING_LINE) | kind_bit(LABEL_LINE) | kind_bit(DESCRIPTION_LINE) |
        kind_bit(TERMINFO_LINE),
    kind_bit(DELAY_LINE),
    kind_bit(METADATA_LINE),
    kind_bit(SCREEN_LINE),
};

// The words of line kinds, and the kinds each names.
struct KindWord {
    std::string_view word;
    KindSet kinds;
};
constexpr KindWord kind_words[] = {
    {"text", kind_bit(TEXT_LINE)},
    {"control", kind_bit(CONTROL_LINE)},
    {"escape", kind_bit(ESCAPE_LINE) | kind_bit(STRING_LINE)},
    {"label", kind_bit(LABEL_LINE) | kind_bit(TERMINFO_LINE)},
    {"description", kind_bit(DESCRIPTION_LINE)},
    {"delay", kind_bit(DELAY_LINE)},
    {"string", kind_bit(STRING_LINE)},
    {"metadata", kind_bit(METADATA_LINE)},
    {"screen", kind_bit(SCREEN_LINE)},
};

// The last bytes read of one direction, so that an item's bytes can be
// written when it ends. An item longer than this is written in parts.
constexpr std::size_t WINDOW_SIZE = std::size_t{1} << 20;
// The bytes a decoder may have taken of the item after the open one
// (an ESC, a character) when the window must let the open one go.
constexpr std::uint64_t SPLIT_MARGIN = 16;

struct Side {
    ItemView* view = nullptr;
    InputBuffer* input = nullptr;
    const Sequence* sequence = nullptr;
    const ControlString* string = nullptr;
    const OpenLine* line = nullptr;  // the line its decoder has open
    std::uint8_t* window = nullptr;  // WINDOW_SIZE bytes, a ring
    std::uint64_t read = 0;          // the bytes read so far
    std::uint64_t given = 0;         // the bytes given to items so far
};

// A sequence's record as the escape line found it, for its JSON object.
constexpr std::size_t MAX_KEPT_PARAMETERS = 256;
struct SequenceCopy {
    SequenceKind kind = FE_SEQUENCE;
    std::uint8_t marker = 0;
    std::uint8_t final_byte = 0;
    std::uint8_t n_intermediates = 0;
    std::uint8_t intermediates[2] = {};
    std::size_t n_params = 0;
    Parameter params[MAX_KEPT_PARAMETERS] = {};
};

// A text that grows up to a bound, for what an item's lines say.
template <std::size_t N>
struct Text {
    char bytes[N];
    std::size_t size = 0;
    void clear() { size = 0; }
    void add(std::string_view s) {
        const std::size_t n = std::min(s.size(), N - size);
        std::memcpy(bytes + size, s.data(), n);
        size += n;
    }
    // A JSON string's inside, escaped; a string that does not fit is cut.
    void add_escaped(std::string_view s) {
        s = s.substr(0, std::min(s.size(), (N - size) / JSON_ESCAPE_GROWTH));
        size = static_cast<std::size_t>(json_escape(bytes + size, s) - bytes);
    }
    bool room(std::size_t n) const { return N - size >= n; }
    // One more string of a JSON list's inside, where it fits whole.
    void add_element(std::string_view s) {
        if (!room(8 + s.size() * JSON_ESCAPE_GROWTH)) return;
        if (size != 0) add(",");
        add("\"");
        add_escaped(s);
        add("\"");
    }
    std::string_view view() const { return {bytes, size}; }
};

struct TailSlot;

struct Item {
    ItemKind kind = ITEM_NONE;
    Direction direction = TO_TERMINAL;
    std::uint64_t start = 0;
    std::uint64_t position = 0;  // where the output stood when it began
    double time = 0.0;
    bool has_sequence = false;
    bool decided = false;      // kept or dropped before its end
    bool partial_row = false;  // its held output begins inside a row
    bool matched = false;      // a row matched --grep
    bool marker = false;
    bool prompt = false;
    bool counted = false;  // its marker or prompt is counted
    bool description_open = false;
    bool uncertain = false;               // some of its rows were let go unread
    bool replayed = false;                // its record is to be read from its bytes
    const TailSlot* memo_tail = nullptr;  // its object's tail, found when it was written again
    // Where its bytes end, as far as its lines tell (0: not known): a
    // sequence's when its escape line begins, a string's at its label.
    std::uint64_t known_end = 0;
    // The writer as it stood when the item began, put back when it is dropped.
    std::size_t column = 0;
    const LineKindInfo* line = nullptr;
    bool decor_colored = false;
    bool suppressed = false;
    SequenceCopy sequence;
    Text<512> label;
    Text<256> control;  // a control item's text
    Text<512> fact;     // a delay's, a fact's, a screen's heading
    Text<1 << 16> descriptions;
    Text<1 << 12> capabilities;
    Text<1 << 19> rows;  // a screen's
};

// The memo of the tails of sequences and control bytes of the output: what
// follows the place of one depends on its bytes alone.
constexpr std::size_t TAIL_SETS = 512;
constexpr std::size_t TAIL_SIZE = 480;
static_assert(TAIL_SIZE % 32 == 0);
struct TailSlot {
    std::uint64_t words[2] = {};
    std::uint8_t key_size = 0;  // 0: empty
    std::uint16_t size = 0;
    char text[TAIL_SIZE];
};
struct TailMemo {
    TailSlot slots[TAIL_SETS][MEMO_WAYS];
    std::uint8_t recent[TAIL_SETS];
};

// The literal parts of --grep's pattern that every match holds one of:
// for each branch of its alternation, the longest run of plain characters
// that every match of the branch holds. A row that holds none of them is
// no match, and the pattern need not be run on it.
constexpr std::size_t MAX_NEEDLES = 8;
constexpr std::size_t NEEDLE_SIZE = 64;
struct Needles {
    std::size_t n = 0;  // 0: the pattern is run on every row
    std::size_t sizes[MAX_NEEDLES] = {};
    char texts[MAX_NEEDLES][NEEDLE_SIZE] = {};
};

}  // namespace

struct ItemView {
    LineWriter* w = nullptr;
    Selection selection;
    ItemViewSettings settings;
    regex_t grep;
    bool has_grep = false;
    bool items_select = false;  // --only names items: its line kinds select items too
    bool selects = false;       // anything is selected at all
    KindSet hidden = 0;         // the kinds the writer leaves out between items
    Side sides[2];
    Item item;
    LineKind line = N_LINE_KINDS;  // the kind of the last line begun
    double time = 0.0;
    bool from_reached = false;
    bool to_reached = false;
    std::uint64_t markers = 0;
    std::uint64_t prompts = 0;
    bool ended = false;
    char* bytes = nullptr;      // an item's bytes in one piece, WINDOW_SIZE
    char* row = nullptr;        // a row made ready for the pattern
    JsonOut json;               // the object being written
    TailMemo* tails = nullptr;  // null where a line depends on more than the bytes
    char time_text[32] = "0.000000";
    std::size_t time_size = 8;
    Needles needles;
};

namespace {

constexpr std::size_t ROW_SIZE = 1 << 16;
constexpr std::size_t OBJECT_ROOM = JSON_OBJECT_ROOM;
// The longest place of an object: its offset, direction and time.
constexpr std::size_t PLACE_SIZE = 128;

// ---- JSON out, through the writer ----

// The account's lines held since `from` give way.
void let_go(LineWriter& w, std::size_t from) {
    if (from > w.buffered) return;
    w.handed += w.buffered - from;
    w.buffered = from;
}

// Where an object of at most OBJECT_ROOM bytes goes, in place of the
// account's lines held since the last item.
[[gnu::always_inline]] inline char* object_begin(ItemView& v) {
    LineWriter& w = *v.w;
    if (w.held_from != NOT_HELD) let_go(w, w.held_from);
    w.held_from = NOT_HELD;
    return object_room(v.json, w);
}

// The object ends at `end`; what the writer writes next is held.
[[gnu::always_inline]] inline void object_end(ItemView& v, const char* end) {
    LineWriter& w = *v.w;
    object_done(w, end);
    w.held_from = w.buffered;
}

std::size_t format_seconds(char* text, std::size_t size, double value) {
    const int n = std::snprintf(text, size, "%.6f", value);
    return n > 0 ? std::min(static_cast<std::size_t>(n), size - 1) : 0;
}

// The number a text begins with ("0.500000 at 1:20.500").
double leading_number(std::string_view text) {
    char copy[64];
    const std::size_t n = std::min(text.size(), sizeof copy - 1);
    std::memcpy(copy, text.data(), n);
    copy[n] = '\0';
    return std::strtod(copy, nullptr);
}

// The n bytes of a side from `at` in its window, which wrap round its end.
std::string_view wrapped_bytes(ItemView& v, const Side& s, std::size_t at, std::size_t n) {
    const std::size_t first = WINDOW_SIZE - at;
    std::memcpy(v.bytes, s.window + at, first);
    std::memcpy(v.bytes + first, s.window, n - first);
    return {v.bytes, n};
}

// The bytes [from, to) of a side, in one piece.
[[gnu::always_inline]] inline std::string_view side_bytes(ItemView& v, const Side& s,
                                                          std::uint64_t from, std::uint64_t to) {
    if (to > s.read) to = s.read;
    if (from + WINDOW_SIZE < s.read) from = s.read - WINDOW_SIZE;  // gone: never, as items split
    if (to <= from) return {};
    const std::size_t n = static_cast<std::size_t>(to - from);
    const std::size_t at = static_cast<std::size_t>(from % WINDOW_SIZE);
    if (at + n <= WINDOW_SIZE) return {reinterpret_cast<const char*>(s.window) + at, n};
    return wrapped_bytes(v, s, at, n);
}

// "SGR: SELECT GRAPHIC RENDITION": the acronym is the part before the
// name, the name the last part ("DCS > |: XTVERSION: REPORT ...").
// The last two ": " are found from the front, a ':' at a time.
void split_label(std::string_view label, std::string_view& acronym, std::string_view& name) {
    std::size_t last = std::string_view::npos;
    std::size_t previous = std::string_view::npos;
    for (std::size_t at = label.find(": "); at != std::string_view::npos;
         at = label.find(": ", at + 2)) {
        previous = last;
        last = at;
    }
    if (last == std::string_view::npos) {
        acronym = {};
        name = label;
        return;
    }
    name = label.substr(last + 2);
    const std::string_view before = label.substr(0, last);
    acronym = previous == std::string_view::npos ? before : before.substr(previous + 2);
}

void out_sequence(ItemView& v, const SequenceCopy& s) {
    const char final_byte[1] = {static_cast<char>(s.final_byte)};
    out_string(v.json, "final", {final_byte, 1});
    if (s.marker != 0) {
        const char marker[1] = {static_cast<char>(s.marker)};
        out_string(v.json, "marker", {marker, 1});
    }
    if (s.n_intermediates != 0) {
        out_string(v.json, "intermediates",
                   {reinterpret_cast<const char*>(s.intermediates), s.n_intermediates});
    }
    if (s.kind != CSI_SEQUENCE) return;
    out_put(v.json, ",\"parameters\":[");
    bool first_group = true;
    for (ParamGroups g(s.params, s.n_params); !g.done(); g.next()) {
        out_put(v.json, first_group ? "[" : ",[");
        first_group = false;
        const ParamGroup group = g.group();
        for (std::size_t i = 0; i < group.n; ++i) {
            if (i != 0) out_put(v.json, ",");
            if (group.values[i].present) {
                out_decimal(v.json, group.values[i].value);
            } else {
                out_put(v.json, "null");
            }
        }
        out_put(v.json, "]");
    }
    out_put(v.json, "]");
}

// "Screen at the end: 20x3, main screen, cursor at line 2, column 12".
void out_screen(ItemView& v, const Item& item) {
    const std::string_view heading = item.fact.view();
    out_string(v.json, "heading", heading);
    char copy[512];
    const std::size_t n = std::min(heading.size(), sizeof copy - 1);
    std::memcpy(copy, heading.data(), n);
    copy[n] = '\0';
    int cols = 0;
    int rows = 0;
    if (const char* size = std::strstr(copy, ": ");
        size != nullptr && std::sscanf(size + 2, "%dx%d", &cols, &rows) == 2) {
        out_number(v.json, "columns", static_cast<std::uint64_t>(cols));
        out_number(v.json, "lines", static_cast<std::uint64_t>(rows));
    }
    out_put(v.json, std::strstr(copy, "alternate screen") != nullptr ? ",\"alternate\":true"
                                                                     : ",\"alternate\":false");
    int line = 0;
    int column = 0;
    if (const char* at = std::strstr(copy, "at line ");
        at != nullptr && std::sscanf(at, "at line %d, column %d", &line, &column) == 2) {
        out_put(v.json, ",\"cursor\":{\"line\":");
        out_decimal(v.json, static_cast<std::uint64_t>(line));
        out_put(v.json, ",\"column\":");
        out_decimal(v.json, static_cast<std::uint64_t>(column));
        out_put(v.json, std::strstr(copy, "hidden") != nullptr ? ",\"visible\":false}"
                                                               : ",\"visible\":true}");
    }
    out_put(v.json, ",\"rows\":[");
    out_put(v.json, item.rows.view());
    out_put(v.json, "]");
}

// What follows an item's place: its kind, its bytes, what its lines say.
// Most items are a few bytes long: their bytes are read once, checked as
// UTF-8 and escaped together.
constexpr std::size_t SHORT_ITEM = 2048;

// `,"kind":"text` and the like, a fixed number of bytes to copy.
struct KindHead {
    char text[24] = {};
    std::size_t size = 0;
};
constexpr auto KIND_HEADS = [] {
    struct Table {
        KindHead heads[std::size(item_kind_names)];
    } t;
    constexpr std::string_view lead = ",\"kind\":\"";
    for (std::size_t k = 0; k < std::size(item_kind_names); ++k) {
        KindHead& h = t.heads[k];
        for (const char c : lead) h.text[h.size++] = c;
        for (const char c : item_kind_names[k]) h.text[h.size++] = c;
    }
    return t;
}();

// The kind and the bytes, where they are short: in the room out_begin made.
// Returns the end, or nullptr where the bytes are not short or no UTF-8.
char* put_short_bytes(const Item& item, char* p, std::string_view bytes) {
    if (bytes.size() > SHORT_ITEM) return nullptr;
    const KindHead& head = KIND_HEADS.heads[item.kind];
    std::memcpy(p, head.text, sizeof head.text);
    p = plain_output::put(p + head.size, "\",\"bytes\":\"");
    return escape_checked(p, bytes.data(), bytes.size());
}

void out_tail(ItemView& v, const Item& item, std::string_view bytes, bool partial) {
    if (char* p = put_short_bytes(item, v.json.buffer + v.json.size, bytes)) {
        // A text line's object ends with its bytes.
        const bool ends = item.kind == ITEM_TEXT && !partial;
        p = ends ? plain_output::put(p, "\"}\n") : plain_output::put(p, "\"");
        v.json.size = static_cast<std::size_t>(p - v.json.buffer);
        if (ends) return;
    } else {
        const KindHead& head = KIND_HEADS.heads[item.kind];
        out_put(v.json, {head.text, head.size});
        if (bytes.size() > SHORT_ITEM &&
            valid_utf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) {
            out_put(v.json, "\",\"bytes\":\"");
            out_escaped(v.json, bytes);
        } else {
            out_put(v.json, "\",\"bytes_hex\":\"");
            out_hex(v.json, bytes);
        }
        out_put(v.json, "\"");
    }
    if (partial) {
        out_put(v.json, ",\"partial\":true}\n");
        return;
    }
    switch (item.kind) {
        case ITEM_CONTROL: out_string(v.json, "name", item.control.view()); break;
        case ITEM_SEQUENCE:
        case ITEM_STRING: {
            if (item.label.size != 0) {
                std::string_view acronym;
                std::string_view name;
                split_label(item.label.view(), acronym, name);
                // The whole label where it says more than "ACRONYM: NAME"
                // ("DCS > |: XTVERSION: ...").
                if (acronym.size() + 2 + name.size() != item.label.size)
                    out_string(v.json, "label", item.label.view());
                if (!acronym.empty()) out_string(v.json, "acronym", acronym);
                out_string(v.json, "name", name);
            }
            if (item.has_sequence) out_sequence(v, item.sequence);
            out_put(v.json, ",\"descriptions\":[");
            out_put(v.json, item.descriptions.view());
            if (item.description_open) out_put(v.json, "\"");
            out_put(v.json, "]");
            if (item.capabilities.size != 0) {
                out_put(v.json, ",\"capabilities\":[");
                out_put(v.json, item.capabilities.view());
                out_put(v.json, "]");
            }
            break;
        }
        case ITEM_DELAY: {
            char seconds[64];
            out_put(v.json, ",\"seconds\":");
            out_put(v.json, {seconds, format_seconds(seconds, sizeof seconds,
                                                     leading_number(item.fact.view()))});
            break;
        }
        case ITEM_METADATA: {
            const std::string_view fact = item.fact.view();
            const std::size_t colon = fact.find(": ");
            out_string(v.json, "name", fact.substr(0, colon));
            out_string(
                v.json, "value",
                colon == std::string_view::npos ? std::string_view{} : fact.substr(colon + 2));
            break;
        }
        case ITEM_SCREEN: out_screen(v, item); break;
        default: break;
    }
    out_put(v.json, "}\n");
}

// The key of an item's bytes: those of a sequence after ESC, or a control byte.
// Sixteen bytes may be read from where an item's bytes begin: the
// window and the copy of an item's bytes have room past their ends.
constexpr std::size_t SLACK = JSON_SLACK;
// What is written without a look at the room: a place with a kept tail, or
// with a short item's kind and bytes.
static_assert(PLACE_SIZE + TAIL_SIZE + 16 <= OBJECT_ROOM);
static_assert(PLACE_SIZE + sizeof(KindHead) + 16 + SHORT_ITEM * JSON_ESCAPE_GROWTH + SLACK <=
              OBJECT_ROOM);

bool tail_key(std::string_view bytes, MemoKey& key) {
    if (bytes.empty() || bytes.size() > MEMO_KEY_SIZE + 1) return false;
    key = memo_key(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

TailSlot* tail_find(TailMemo& memo, const MemoKey& key) {
    return memo_find_slot(memo.slots, memo.recent, key);
}

void tail_keep(TailMemo& memo, const MemoKey& key, std::string_view tail) {
    if (tail.size() > TAIL_SIZE) return;
    TailSlot& slot = memo_take_slot(memo.slots, memo.recent, key);
    slot.size = static_cast<std::uint16_t>(tail.size());
    std::memcpy(slot.text, tail.data(), tail.size());
}

// The tail memo's key of an item, where it has one: a sequence or control
// byte of the output.
bool item_tail_key(const ItemView& v, const Item& item, std::string_view bytes, MemoKey& key) {
    return v.tails != nullptr && item.direction == TO_TERMINAL && !item.uncertain &&
           (item.kind == ITEM_SEQUENCE || item.kind == ITEM_CONTROL) && !bytes.empty() &&
           (item.kind == ITEM_CONTROL) == (bytes[0] != '\x1b') &&
           tail_key(item.kind == ITEM_SEQUENCE ? bytes.substr(1) : bytes, key);
}

// The item as one JSON object: its place, then its tail.
// Where an object's item stands: its offset, its direction, its time;
// written at p, where out_begin made room, and returns the end.
[[gnu::always_inline]] inline char* put_place(ItemView& v, char* p, std::uint64_t offset,
                                              bool has_bytes, Direction direction) {
    p = plain_output::put(p, "{\"offset\":");
    p = put_offset(v.json, p, offset);
    if (v.settings.duplex && has_bytes) {
        p = direction == TO_TERMINAL ? plain_output::put(p, ",\"direction\":\"output\"")
                                     : plain_output::put(p, ",\"direction\":\"input\"");
    }
    if (v.settings.timed) {
        p = plain_output::put(p, ",\"time\":");
        std::memcpy(p, v.time_text, sizeof v.time_text);
        p += v.time_size;
    }
    return p;
}

void out_place(ItemView& v, std::uint64_t offset, bool has_bytes, Direction direction) {
    out_begin(v.json);
    v.json.size = static_cast<std::size_t>(
        put_place(v, v.json.buffer + v.json.size, offset, has_bytes, direction) - v.json.buffer);
}

void write_json(ItemView& v, const Item& item, std::string_view bytes, bool partial,
                const TailSlot* memo_tail = nullptr, const MemoKey* key = nullptr) {
    const bool has_bytes = item.kind <= ITEM_STRING;
    out_place(v, has_bytes ? item.start : item.position, has_bytes, item.direction);
    if (memo_tail != nullptr) {
        out_put(v.json, {memo_tail->text, memo_tail->size});
        out_end(v.json);
        return;
    }
    const std::size_t tail_from = v.json.size;
    const std::uint64_t flushes = v.json.flushes;
    out_tail(v, item, bytes, partial);
    // Sequences and control bytes of the output come again and again.
    if (key != nullptr && flushes == v.json.flushes)
        tail_keep(*v.tails, *key, {v.json.buffer + tail_from, v.json.size - tail_from});
    out_end(v.json);
}

// ---- the rows of an item's held output ----

// A row without its colours (and the page's marks), NUL-terminated for
// the pattern.
const char* plain_row(ItemView& v, std::string_view row) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < row.size() && n + 1 < ROW_SIZE; ++i) {
        if (row[i] == '\x1b' && i + 1 < row.size() && row[i + 1] == '[') {
            std::size_t j = i + 2;
            while (j < row.size() && row[j] != 'm') ++j;
            i = j;
            continue;
        }
        v.row[n++] = row[i];
    }
    v.row[n] = '\0';
    return v.row;
}

void take_description(Item& item, std::string_view text, bool continued) {
    if (continued && item.description_open) {
        // A row broken inside a word ends with "-" and the next begins
        // with one; a row broken at a blank left the blank out.
        if (item.descriptions.size != 0 &&
            item.descriptions.bytes[item.descriptions.size - 1] == '-' && text.starts_with("-")) {
            --item.descriptions.size;
            text.remove_prefix(1);
        } else {
            item.descriptions.add(" ");
        }
        item.descriptions.add_escaped(text);
        return;
    }
    if (!item.descriptions.room(8 + text.size() * JSON_ESCAPE_GROWTH)) return;
    if (item.description_open) item.descriptions.add("\",");
    item.descriptions.add("\"");
    item.descriptions.add_escaped(text);
    item.description_open = true;
}

// ---- the pattern's literal parts ----

// Where a bracket expression ("[^]a-z[:alpha:]]") that begins at p ends;
// nullptr where it does not.
const char* bracket_end(const char* p) {
    ++p;
    if (*p == '^') ++p;
    if (*p == ']') ++p;
    while (*p != '\0' && *p != ']') {
        if (*p == '[' && (p[1] == ':' || p[1] == '=' || p[1] == '.')) {
            const char close = p[1];
            const char* q = p + 2;
            while (*q != '\0' && !(q[0] == close && q[1] == ']')) ++q;
            if (*q == '\0') return nullptr;
            p = q + 2;
            continue;
        }
        ++p;
    }
    return *p == ']' ? p + 1 : nullptr;
}

// The branch's longest run so far, where the run that ends is longer.
struct NeedleRun {
    char run[NEEDLE_SIZE];
    std::size_t run_size = 0;
    char best[NEEDLE_SIZE];
    std::size_t best_size = 0;
    void add(char c) {
        if (run_size == NEEDLE_SIZE) end();
        run[run_size++] = c;
    }
    // A repetition makes the character before it optional.
    void repeat() {
        if (run_size != 0) --run_size;
        end();
    }
    void end() {
        if (run_size > best_size) {
            std::memcpy(best, run, run_size);
            best_size = run_size;
        }
        run_size = 0;
    }
};

// Whether the branch has a literal part, kept as the next needle.
bool end_branch(NeedleRun& r, Needles& out) {
    r.end();
    if (r.best_size == 0 || out.n == MAX_NEEDLES) return false;
    std::memcpy(out.texts[out.n], r.best, r.best_size);
    out.sizes[out.n++] = r.best_size;
    r.best_size = 0;
    return true;
}

// Reads the literal parts of an extended regular expression. Anything it
// does not know for sure (a group, an escape, a byte of 0x80 and above)
// ends a run or leaves the pattern without needles.
bool read_needles(const char* pattern, Needles& out) {
    NeedleRun r;
    for (const char* p = pattern;;) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '\0') return end_branch(r, out);
        if (c >= 0x80 || c == '\n' || c == '(' || c == ')') return false;
        if (c == '|') {
            if (!end_branch(r, out)) return false;
        } else if (c == '*' || c == '?' || c == '+') {
            r.repeat();
        } else if (c == '{') {
            r.repeat();
            ++p;
            while ((*p >= '0' && *p <= '9') || *p == ',') ++p;
            if (*p != '}') return false;
        } else if (c == '\\') {
            // An escaped character, a back-reference, a word boundary.
            r.repeat();
            if (*++p == '\0') return false;
        } else if (c == '[') {
            r.end();
            p = bracket_end(p);
            if (p == nullptr) return false;
            continue;
        } else if (c == '.' || c == '^' || c == '$' || c == ']' || c == '}') {
            r.end();
        } else {
            r.add(static_cast<char>(c));
        }
        ++p;
    }
}

// Whether the bytes hold the needle: its first byte is looked for with
// memchr, the rest compared where it is found.
bool holds(std::string_view bytes, const char* needle, std::size_t n) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (static_cast<std::size_t>(end - p) >= n) {
        const std::size_t room = static_cast<std::size_t>(end - p) - n + 1;
        p = static_cast<const char*>(std::memchr(p, needle[0], room));
        if (p == nullptr) return false;
        if (std::memcmp(p + 1, needle + 1, n - 1) == 0) return true;
        ++p;
    }
    return false;
}

// Whether any row of the held output may match: where its bytes hold no
// needle (and no ESC, which colours that rows lose), none does.
bool grep_may_match(const ItemView& v, std::string_view held) {
    const Needles& needles = v.needles;
    if (needles.n == 0 || std::memchr(held.data(), '\x1b', held.size()) != nullptr) return true;
    for (std::size_t i = 0; i < needles.n; ++i) {
        if (holds(held, needles.texts[i], needles.sizes[i])) return true;
    }
    return false;
}

// Whether the item's rows must be read for more than the pattern: for
// its JSON, a name, a marker, a prompt or the time. (A label row can end
// up among a text line's rows where escape lines are left out.)
bool rows_needed_but_for_grep(const ItemView& v, const Item& item) {
    const bool names = v.selection.only.n != 0 || v.selection.except.n != 0;
    switch (item.kind) {
        case ITEM_TEXT:
        case ITEM_CONTROL: return names;
        case ITEM_SEQUENCE:
        case ITEM_STRING: return v.settings.json || names;
        default: return true;
    }
}

// What one row of the item's output says; the pattern is run on it where
// `grep` says.
void take_row(ItemView& v, Item& item, std::string_view row, bool grep) {
    if (row.starts_with("\x1b[")) {
        // Coloured: the row's own text, for what follows.
        const char* plain = plain_row(v, row);
        row = {plain, std::strlen(plain)};
    }
    if (item.direction == FROM_TERMINAL && row.starts_with(INPUT_MARK)) {
        row.remove_prefix(INPUT_MARK.size());
    }
    if (grep && !item.matched) {
        const char* text = plain_row(v, row);
        if (regexec(&v.grep, text, 0, nullptr, 0) == 0) item.matched = true;
    }
    if (row.size() < 2) return;
    const std::string_view text = row.substr(2);
    switch (row[0]) {
        case '&':
            if (item.label.size == 0) item.label.add(text);
            break;
        case '"':
            if (v.settings.json) take_description(item, row.substr(row[1] == ' ' ? 2 : 1), false);
            break;
        case '~':
            if (v.settings.json) item.capabilities.add_element(text);
            break;
        case '@':
        case '#':
            item.fact.clear();
            item.fact.add(text);
            if (row[0] == '#' && text.starts_with("Marker: ")) item.marker = true;
            break;
        case '=':
            if (row[1] == ' ') {
                item.fact.clear();
                item.fact.add(text);
            } else if (v.settings.json && row[1] == '|') {
                // "=|text|": the text between the bars.
                std::string_view cells = row.substr(2);
                if (!cells.empty() && cells.back() == '|') cells.remove_suffix(1);
                item.rows.add_element(cells);
            }
            break;
        default: break;
    }
}

// The description rows that continue the one before begin with two blanks.
void take_rows(ItemView& v, Item& item, std::string_view held, bool last_row_too) {
    const bool grep = v.has_grep && !item.matched && grep_may_match(v, held);
    if (v.has_grep && !grep && !rows_needed_but_for_grep(v, item)) {
        // Nothing in these rows counts: only the row cut short is passed.
        if (item.partial_row && !held.empty() &&
            (last_row_too || std::memchr(held.data(), '\n', held.size()) != nullptr))
            item.partial_row = false;
        return;
    }
    while (!held.empty()) {
        const std::size_t newline = held.find('\n');
        if (newline == std::string_view::npos && !last_row_too) return;
        const std::string_view row = held.substr(0, newline);
        held.remove_prefix(newline == std::string_view::npos ? held.size() : newline + 1);
        if (item.partial_row) {
            item.partial_row = false;
            continue;
        }
        if (row.empty()) continue;
        std::string_view bare = row;
        if (item.direction == FROM_TERMINAL && bare.starts_with(INPUT_MARK))
            bare.remove_prefix(INPUT_MARK.size());
        if (v.settings.json && bare.starts_with("\"  ")) {
            if (grep && !item.matched && regexec(&v.grep, plain_row(v, bare), 0, nullptr, 0) == 0)
                item.matched = true;
            take_description(item, bare.substr(3), true);
            continue;
        }
        take_row(v, item, row, grep);
    }
}

std::string_view held_output(const ItemView& v) {
    const LineWriter& w = *v.w;
    if (w.held_from == NOT_HELD || w.held_from > w.buffered) return {};
    return {w.buffer + w.held_from, w.buffered - w.held_from};
}

// ---- selections ----

bool name_matches(std::string_view name, std::string_view word) {
    if (word == name) return true;
    // "OSC 8" is OSC8.
    std::size_t i = 0;
    for (const char c : name) {
        if (c == ' ') continue;
        if (i >= word.size() || word[i] != c) return false;
        ++i;
    }
    return i == word.size();
}

bool item_named(const ItemView& v, const Item& item, const NameList& list) {
    if (list.n == 0) return false;
    // Where there is no label, only a private mode's word can name the item.
    std::string_view acronym;
    std::string_view name;
    std::string_view family;
    std::string_view first;
    const std::string_view label = item.label.view();
    if (!label.empty()) {
        split_label(label, acronym, name);
        family = label.substr(0, label.find(' '));
        first = label.substr(0, label.find(": "));
    }
    for (std::size_t i = 0; i < list.n; ++i) {
        const std::string_view word = list.names[i];
        if (word[0] == '?') {
            // A private mode: a parameter of a sequence with "?".
            const SequenceCopy& s = item.sequence;
            if (!item.has_sequence || s.marker != '?') continue;
            const auto mode =
                static_cast<std::uint32_t>(std::strtoul(list.names[i] + 1, nullptr, 10));
            for (std::size_t p = 0; p < s.n_params; ++p) {
                if (s.params[p].present && s.params[p].value == mode) return true;
            }
            continue;
        }
        if (item.label.size == 0) continue;
        if (name_matches(acronym, word) || name_matches(first, word)) return true;
        if (item.kind == ITEM_STRING && family == word) return true;
    }
    (void)v;
    return false;
}

// Whether the item is at or past the moment.
bool reaches(ItemView& v, const Item& item, const When& when) {
    switch (when.kind) {
        case WHEN_NONE: return false;
        case WHEN_SECONDS: return item.time >= when.seconds;
        case WHEN_BYTE: return item.position >= when.n;
        case WHEN_MARKER: return item.marker && v.markers == when.n;
        case WHEN_MARKER_LABEL: {
            const std::string_view fact = item.fact.view();
            return item.marker && fact.substr(std::string_view("Marker: ").size()) == when.label;
        }
        case WHEN_PROMPT: return item.prompt && v.prompts == when.n;
    }
    return false;
}

bool item_shown(ItemView& v, Item& item) {
    const Selection& s = v.selection;
    if (!item.counted) {
        item.counted = true;
        if (item.marker) ++v.markers;
        if (item.prompt) ++v.prompts;
    }
    if (!v.from_reached && (s.from.kind == WHEN_NONE || reaches(v, item, s.from)))
        v.from_reached = true;
    if (!v.to_reached && s.to.kind != WHEN_NONE && reaches(v, item, s.to)) v.to_reached = true;
    if (!v.from_reached || v.to_reached) return false;
    const bool input = item.kind <= ITEM_STRING && item.direction == FROM_TERMINAL;
    if (s.except_input && input) return false;
    if (item_named(v, item, s.except)) return false;
    const KindSet kinds = item_line_kinds[item.kind];
    if (v.settings.json && (kinds & s.except_kinds) == kinds && kinds != 0) return false;
    // What --only names, each keeps its items: a kind, the typed input, a name.
    if (v.items_select || (v.settings.json && s.only_kinds != 0)) {
        if ((kinds & s.only_kinds) == 0 && !(s.only_input && input) && !item_named(v, item, s.only))
            return false;
    }
    if (v.has_grep && !item.matched) return false;
    return true;
}

// The page's pen marks ("ESC [ = ... m") in output that is dropped stay:
// the text after it is still in the stream's colours.
// Most dropped output has no ESC at all: the bytes are looked through for
// one at a time.
std::size_t keep_pen_marks(char* bytes, std::size_t n) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i + 2 < n; ++i) {
        const void* esc = std::memchr(bytes + i, '\x1b', n - 2 - i);
        if (esc == nullptr) break;
        i = static_cast<std::size_t>(static_cast<const char*>(esc) - bytes);
        if (bytes[i + 1] != '[' || bytes[i + 2] != '=') continue;
        std::size_t j = i + 3;
        while (j < n && bytes[j] != 'm') ++j;
        if (j == n) break;
        std::memmove(bytes + kept, bytes + i, j + 1 - i);
        kept += j + 1 - i;
        i = j;
    }
    return kept;
}

void drop_output(ItemView& v, Item& item) {
    LineWriter& w = *v.w;
    if (w.held_from == NOT_HELD || w.held_from > w.buffered) return;
    std::size_t from = w.held_from;
    // The newline that ended the line open before the item stays: the line
    // ends as it would have anyway, and the writer stands after it.
    if (item.column != 0 && from < w.buffered && w.buffer[from] == '\n') {
        ++from;
        w.column = 0;
        w.suppressed = false;
    } else {
        w.column = item.column;
        w.line = item.line;
        w.decor_colored = item.decor_colored;
        w.suppressed = item.suppressed;
    }
    let_go(w, from + keep_pen_marks(w.buffer + from, w.buffered - from));
}

// ---- items begin and end ----

std::uint64_t consumed(const Side& s) {
    return s.input != nullptr ? input_consumed(*s.input) : 0;
}

std::uint8_t byte_at(const Side& s, std::uint64_t offset) {
    return s.window[offset % WINDOW_SIZE];
}

// How many of the bytes just taken are one character: a text line's first,
// or a control item's; one byte but for a whole UTF-8 character (-X).
std::uint64_t last_character(const ItemView& v, const Side& s) {
    const std::uint64_t at = consumed(s);
    if (!v.settings.extended || at == 0 || at > s.read) return at != 0 ? 1 : 0;
    // A character of several bytes ends with one of 0x80 and above.
    if (byte_at(s, at - 1) < 0x80) return 1;
    for (std::uint64_t k = 2; k <= 4 && k <= at && at - k >= s.given; ++k) {
        const std::uint8_t lead = byte_at(s, at - k);
        if ((lead & 0xC0) == 0x80) continue;
        if (static_cast<std::uint64_t>(utf8_length(lead)) != k) return 1;
        for (std::uint64_t i = 1; i < k; ++i) {
            if ((byte_at(s, at - k + i) & 0xC0) != 0x80) return 1;
        }
        return k;
    }
    return 1;
}

// Where the open item ends, when the next begins where `next` says (or
// at no byte of its direction).
[[gnu::always_inline]] inline std::uint64_t open_item_end(ItemView& v, Direction next_direction,
                                                          const std::uint64_t* next) {
    const Item& item = v.item;
    const Side& side = v.sides[item.direction];
    if (next != nullptr && next_direction == item.direction) return *next;
    std::uint64_t end = consumed(side);
    // A string that an escape sequence cut short: the ESC is the next one's.
    if (item.kind == ITEM_STRING && side.string != nullptr && side.string->end == END_ESCAPE &&
        end > item.start)
        --end;
    return end;
}

// Whether the item's rows must be read: for its JSON, the pattern, its
// name, a marker, a prompt or the time.
bool rows_needed(const ItemView& v, const Item& item) {
    if (v.has_grep) return true;
    switch (item.kind) {
        case ITEM_SEQUENCE:
        case ITEM_STRING:
            return v.settings.json || v.selection.only.n != 0 || v.selection.except.n != 0;
        case ITEM_DELAY:
        case ITEM_METADATA:
        case ITEM_SCREEN: return true;
        default: return false;
    }
}

void set_time(ItemView& v, double time) {
    v.time = time;
    v.time_size = format_seconds(v.time_text, sizeof v.time_text, time);
}

// An item whose object's tail is kept, written as soon as it is told of:
// a control byte, or a sequence written again, of the output, from where
// its direction's last item ended to `end`.
[[gnu::always_inline]] inline void write_kept(ItemView& v, Direction d, std::uint64_t end,
                                              const TailSlot& slot) {
    Side& side = v.sides[d];
    char* p = put_place(v, object_begin(v), side.given, true, d);
    // 32 bytes at a time: the slot and the room have bytes to spare.
    const char* tail = slot.text;
    char* const tail_end = p + slot.size;
    for (; p < tail_end; p += 32, tail += 32) std::memcpy(p, tail, 32);
    object_end(v, tail_end);
    side.given = end;
}

void copy_sequence(Item& item, const Sequence& s) {
    SequenceCopy& c = item.sequence;
    c.kind = s.kind;
    c.marker = s.marker;
    c.final_byte = s.final_byte;
    c.n_intermediates = static_cast<std::uint8_t>(std::min<std::size_t>(s.n_intermediates, 2));
    std::memcpy(c.intermediates, s.intermediates, sizeof c.intermediates);
    c.n_params = std::min(s.n_params, MAX_KEPT_PARAMETERS);
    std::copy(s.params, s.params + c.n_params, c.params);
    item.has_sequence = true;
}

// A sequence whose lines are written again: the memo only keeps the
// commonest forms (ESC "[", a private marker, digits and ";", a final
// byte; ESC, an intermediate, a final byte; ESC and a byte), read here
// from the bytes after the last ESC.
void copy_common_sequence(Item& item, std::string_view bytes) {
    SequenceCopy& c = item.sequence;
    // Of the parameters, only the first n_params are read.
    c.kind = FE_SEQUENCE;
    c.marker = 0;
    c.final_byte = 0;
    c.n_intermediates = 0;
    c.intermediates[0] = 0;
    c.intermediates[1] = 0;
    c.n_params = 0;
    item.has_sequence = !bytes.empty();
    if (bytes.empty()) return;
    c.final_byte = static_cast<std::uint8_t>(bytes.back());
    if (bytes[0] != '[' || bytes.size() < 2) {
        c.kind = bytes.size() == 2     ? NF_SEQUENCE
                 : c.final_byte < 0x40 ? FP_SEQUENCE
                 : c.final_byte < 0x60 ? FE_SEQUENCE
                                       : FS_SEQUENCE;
        if (bytes.size() == 2) {
            c.n_intermediates = 1;
            c.intermediates[0] = static_cast<std::uint8_t>(bytes[0]);
        }
        return;
    }
    c.kind = CSI_SEQUENCE;
    std::size_t i = 1;
    if (bytes[i] >= 0x3c && bytes[i] <= 0x3f) c.marker = static_cast<std::uint8_t>(bytes[i++]);
    Parameter p;
    for (; i + 1 < bytes.size() && c.n_params < MAX_KEPT_PARAMETERS; ++i) {
        if (bytes[i] == ';') {
            p.ended_by = ';';
            c.params[c.n_params++] = p;
            p = Parameter{};
            continue;
        }
        p.value = p.value * 10 + static_cast<std::uint32_t>(bytes[i] - '0');
        p.present = true;
    }
    p.ended_by = c.final_byte;
    if (c.n_params < MAX_KEPT_PARAMETERS) c.params[c.n_params++] = p;
}

// A text line's object where nothing is selected: its place and its bytes,
// in one piece where they are short.
[[gnu::always_inline]] inline void finish_text(ItemView& v, std::uint64_t end) {
    Item& item = v.item;
    LineWriter& w = *v.w;
    Side& side = v.sides[item.direction];
    end = std::max(end, item.start);
    side.given = end;
    const std::string_view bytes = side_bytes(v, side, item.start, end);
    char* const place = put_place(v, object_begin(v), item.start, true, item.direction);
    if (char* const p = put_short_bytes(item, place, bytes)) {
        object_end(v, plain_output::put(p, "\"}\n"));
    } else {
        write_json(v, item, bytes, false);
        w.held_from = w.buffered;
    }
    if (v.ended) w.held_from = NOT_HELD;
    w.replay_known = false;
    item.kind = ITEM_NONE;
}

void finish_other(ItemView& v, std::uint64_t end);

// The open item ends at `end`: its object is written, or its lines kept or
// dropped.
void finish_item(ItemView& v, std::uint64_t end) {
    if (v.item.kind == ITEM_NONE) return;
    if (v.item.kind == ITEM_TEXT && v.settings.json && !v.selects) {
        finish_text(v, end);
        return;
    }
    finish_other(v, end);
}

// The same where an item of bytes begins at `next` of direction d, on the
// paths of every item.
[[gnu::always_inline]] inline void finish_before(ItemView& v, Direction d, std::uint64_t next) {
    if (v.item.kind == ITEM_NONE) return;
    const std::uint64_t end = open_item_end(v, d, &next);
    if (v.item.kind == ITEM_TEXT && v.settings.json && !v.selects) {
        finish_text(v, end);
        return;
    }
    finish_other(v, end);
}

void finish_other(ItemView& v, std::uint64_t end) {
    Item& item = v.item;
    LineWriter& w = *v.w;
    Side& side = v.sides[item.direction];
    if (item.kind <= ITEM_STRING) {
        end = std::max(end, item.start);
        side.given = end;
    }
    std::string_view bytes;
    const TailSlot* memo_tail = nullptr;
    MemoKey key;
    bool keyed = false;
    if (v.settings.json) {
        if (item.kind <= ITEM_STRING) bytes = side_bytes(v, side, item.start, end);
        memo_tail = item.memo_tail;
        if (memo_tail == nullptr) {
            keyed = item_tail_key(v, item, bytes, key);
            if (keyed) memo_tail = tail_find(*v.tails, key);
        }
    }
    // A selection reads the sequence's parameters even where the memo has
    // its object.
    if (item.replayed && (memo_tail == nullptr || v.selects)) {
        if (bytes.empty()) bytes = side_bytes(v, side, item.start, end);
        if (!bytes.empty() && bytes.size() <= MEMO_KEY_SIZE + 1)
            copy_common_sequence(item, bytes.substr(1));
    }
    // What the rows say is known already where the memo has the object.
    if ((memo_tail == nullptr || v.selects) && rows_needed(v, item))
        take_rows(v, item, held_output(v), true);
    if (item.kind == ITEM_DELAY) set_time(v, v.time + leading_number(item.fact.view()));
    if (v.settings.json) {
        // The account's lines give way to the object; what the writer
        // writes until the next item is held, and let go then.
        const bool shown = !v.selects || item_shown(v, item);
        if (w.held_from != NOT_HELD) let_go(w, w.held_from);
        w.held_from = NOT_HELD;
        if (shown) {
            // A live reader sees each object as the text account would show
            // its lines: at the writer's next flush.
            write_json(v, item, bytes, false, memo_tail, keyed ? &key : nullptr);
        }
        if (!v.ended) w.held_from = w.buffered;
    } else {
        if (!item.decided && !item_shown(v, item)) drop_output(v, item);
        w.held_from = NOT_HELD;
    }
    w.replay_known = false;
    item.kind = ITEM_NONE;
}

[[gnu::always_inline]] inline void begin_item(ItemView& v, ItemKind kind, Direction direction) {
    LineWriter& w = *v.w;
    Item& item = v.item;
    item.kind = kind;
    item.direction = direction;
    const Side& side = v.sides[direction];
    // An item of bytes begins where the last of its direction ended (with
    // any bytes no line told of).
    item.start = kind <= ITEM_STRING ? side.given : 0;
    item.position =
        direction == TO_TERMINAL && kind <= ITEM_STRING ? item.start : v.sides[TO_TERMINAL].given;
    item.time = v.time;
    item.has_sequence = false;
    item.decided = false;
    item.partial_row = false;
    item.matched = false;
    item.marker = false;
    item.prompt = false;
    item.counted = false;
    item.description_open = false;
    item.uncertain = false;
    item.replayed = false;
    item.memo_tail = nullptr;
    item.known_end = 0;
    item.label.clear();
    item.control.clear();
    item.fact.clear();
    item.descriptions.clear();
    item.capabilities.clear();
    item.rows.clear();
    item.column = w.column;
    item.line = w.line;
    item.decor_colored = w.decor_colored;
    item.suppressed = w.suppressed;
    // JSON: what the writer wrote since the last item is let go.
    if (v.settings.json && w.held_from != NOT_HELD) let_go(w, w.held_from);
    w.held_from = w.buffered;
    w.replay_known = false;
    w.config.hidden = v.hidden;
}

// A new item of bytes of the direction the writer writes, from `start`.
void next_item(ItemView& v, ItemKind kind, std::uint64_t start) {
    const Direction d = v.w->input ? FROM_TERMINAL : TO_TERMINAL;
    finish_before(v, d, start);
    begin_item(v, kind, d);
}

// A new item of no bytes: a delay, a fact, a screen.
void next_fact(ItemView& v, ItemKind kind) {
    finish_item(v, open_item_end(v, v.item.direction, nullptr));
    begin_item(v, kind, TO_TERMINAL);
}

void line_begins(ItemView& v, LineKind kind) {
    v.line = kind;
    LineWriter& w = *v.w;
    if (w.nested || v.ended) return;
    const Direction d = w.input ? FROM_TERMINAL : TO_TERMINAL;
    const Side& side = v.sides[d];
    switch (kind) {
        case TEXT_LINE: next_item(v, ITEM_TEXT, consumed(side) - last_character(v, side)); break;
        case CONTROL_LINE:
            // In JSON each control byte is an item, begun by its piece.
            if (!v.settings.json)
                next_item(v, ITEM_CONTROL, consumed(side) - last_character(v, side));
            break;
        case ESCAPE_LINE: {
            const std::uint64_t at = consumed(side);
            const std::uint64_t length = side.sequence != nullptr ? 1 + side.sequence->n_bytes : 1;
            next_item(v, ITEM_SEQUENCE, at >= length ? at - length : 0);
            if (side.sequence != nullptr) copy_sequence(v.item, *side.sequence);
            v.item.known_end = at;
            break;
        }
        case STRING_LINE: {
            const std::uint64_t at = consumed(side);
            next_item(v, ITEM_STRING, at >= 2 ? at - 2 : 0);
            break;
        }
        case LABEL_LINE:
            // A shell's prompt mark: its string is read by now, and it ends
            // here unless an escape sequence cut it short.
            if (v.item.kind == ITEM_STRING && v.item.label.size == 0 && side.string != nullptr) {
                const std::string_view head = side.string->text();
                if (head.starts_with("133;A") || head.starts_with("633;A")) v.item.prompt = true;
                if (side.string->end != END_ESCAPE) v.item.known_end = consumed(side);
            }
            [[fallthrough]];
        case DESCRIPTION_LINE:
        case TERMINFO_LINE:
            // Lines of the sequence or string before; alone, a sequence's
            // whose escape line was left out.
            if (v.item.kind == ITEM_NONE) next_item(v, ITEM_SEQUENCE, consumed(side));
            break;
        case DELAY_LINE: next_fact(v, ITEM_DELAY); break;
        case METADATA_LINE: next_fact(v, ITEM_METADATA); break;
        case SCREEN_LINE: next_fact(v, ITEM_SCREEN); break;
        case N_LINE_KINDS: break;
    }
}

// Where the last ESC of a side's bytes [floor, at) is, for at - floor of at
// most 16; floor where there is none.
std::uint64_t last_escape(const Side& side, std::uint64_t floor, std::uint64_t at) {
    if (floor >= at) return at;
#if defined(__SSE2__)
    // The sixteen bytes before `at` in one piece of the window.
    const std::size_t to = static_cast<std::size_t>(at % WINDOW_SIZE);
    if (at - floor <= 16 && to >= 16) {
        const __m128i block =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(side.window + to - 16));
        const auto escapes =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(0x1b))));
        // Bit i stands for the byte at floor + i.
        const unsigned from_floor = escapes >> (16 - (at - floor));
        if (from_floor == 0) return floor;
        return floor + static_cast<unsigned>(std::bit_width(from_floor)) - 1;
    }
#endif
    std::uint64_t start = at;
    while (start > floor) {
        --start;
        if (byte_at(side, start) == 0x1b) break;
    }
    return start;
}

// The lines of a sequence written again: it ends where the input stands,
// and begins at the last ESC. Its record is read from its bytes when it
// is needed.
void replay(ItemView& v) {
    LineWriter& w = *v.w;
    if (w.nested || v.ended) return;
    const Direction d = w.input ? FROM_TERMINAL : TO_TERMINAL;
    const Side& side = v.sides[d];
    const std::uint64_t at = consumed(side);
    // No further back than the longest sequence the memo keeps.
    std::uint64_t floor =
        std::max(side.given, side.read > WINDOW_SIZE ? side.read - WINDOW_SIZE : 0);
    if (at > floor + MEMO_KEY_SIZE + 1) floor = at - MEMO_KEY_SIZE - 1;
    const std::uint64_t start = last_escape(side, floor, at);
    finish_before(v, d, start);
    v.line = ESCAPE_LINE;
    // Where the object is kept, it is written now, and the lines need not
    // be written at all.
    if (v.tails != nullptr && !v.selects && d == TO_TERMINAL && start == side.given &&
        at - start <= MEMO_KEY_SIZE + 1) {
        char copy[MEMO_KEY_SIZE + 1 + SLACK] = {};
        const std::size_t from = static_cast<std::size_t>((start + 1) % WINDOW_SIZE);
        const auto n = static_cast<std::size_t>(at - start - 1);
        const char* bytes = reinterpret_cast<const char*>(side.window) + from;
        if (from + n > WINDOW_SIZE) {
            for (std::size_t i = 0; i < n; ++i)
                copy[i] = static_cast<char>(byte_at(side, start + 1 + i));
            bytes = copy;
        }
        MemoKey key;
        if (tail_key({bytes, n}, key)) {
            if (const TailSlot* slot = tail_find(*v.tails, key)) {
                write_kept(v, d, at, *slot);
                w.replay_known = true;
                return;
            }
        }
    }
    begin_item(v, ITEM_SEQUENCE, d);
    v.item.replayed = true;
    v.item.known_end = at;
}

// JSON: each item of a control line is one, of the bytes just taken.
void control_piece(ItemView& v, std::string_view piece) {
    if (!v.settings.json || v.line != CONTROL_LINE || v.w->nested || v.ended) return;
    const Direction d = v.w->input ? FROM_TERMINAL : TO_TERMINAL;
    const Side& side = v.sides[d];
    const std::uint64_t own = piece.starts_with(" U+") ? last_character(v, side)
                              : consumed(side) != 0    ? 1
                                                       : 0;
    const std::uint64_t at = consumed(side);
    const std::uint64_t start = at - own;
    finish_before(v, d, start);
    // A control byte of the output whose object is kept: written now.
    if (v.tails != nullptr && !v.selects && d == TO_TERMINAL && own == 1 && start == side.given) {
        const char byte[1 + SLACK] = {static_cast<char>(byte_at(side, start))};
        MemoKey key;
        if (byte[0] != '\x1b' && tail_key({byte, 1}, key)) {
            if (const TailSlot* slot = tail_find(*v.tails, key)) {
                write_kept(v, d, at, *slot);
                return;
            }
        }
    }
    begin_item(v, ITEM_CONTROL, d);
    // " CR/^M": the name without its caret form.
    std::string_view name = piece.substr(piece.starts_with(" ") ? 1 : 0);
    if (const std::size_t caret = name.find("/^"); caret != std::string_view::npos)
        name = name.substr(0, caret);
    v.item.control.add(name);
    // It ends with its bytes.
    finish_item(v, consumed(side));
}

// The held output fills half the writer's buffer: JSON reads its rows and
// lets them go; the account keeps or drops the item now.
void hold_full(ItemView& v) {
    LineWriter& w = *v.w;
    Item& item = v.item;
    const std::string_view held = held_output(v);
    if (rows_needed(v, item)) take_rows(v, item, held, false);
    if (v.settings.json) {
        item.partial_row = !held.empty() && held.back() != '\n';
        item.uncertain = true;
        let_go(w, w.held_from);
        return;
    }
    item.decided = true;
    if (item_shown(v, item)) {
        w.held_from = NOT_HELD;
        return;
    }
    // The rest of it is not written at all.
    drop_output(v, item);
    w.held_from = NOT_HELD;
    w.config.hidden = ~KindSet{0};
    w.suppressed = true;
}

[[gnu::noinline]] void tell_event(ItemView& v, LineEvent event, LineKind kind,
                                  std::string_view piece) {
    switch (event) {
        case LINE_BEGINS: line_begins(v, kind); return;
        case CONTROL_PIECE: control_piece(v, piece); return;
        case REPLAY: replay(v); return;
        case HOLD_FULL: hold_full(v); return;
        case FLUSH:
            // Before a wait: a sequence or string whose bytes are all taken,
            // and nothing since, is whole; a live reader sees it now.
            // (Not the view's own flushes, as it writes an object.)
            if (!v.settings.json || v.ended || v.json.writing) return;
            if (v.item.known_end != 0 && consumed(v.sides[v.item.direction]) == v.item.known_end) {
                finish_item(v, v.item.known_end);
            } else if (const Side& side = v.sides[v.item.direction];
                       v.item.kind == ITEM_TEXT && side.line != nullptr &&
                       side.line->state == LINE_NONE) {
                // A text line that its LF ended, and nothing taken since.
                finish_item(v, consumed(side));
            }
            return;
        case ITEMS_END:
            if (v.ended) return;
            v.ended = true;
            finish_item(v, open_item_end(v, v.item.direction, nullptr));
            if (v.settings.json && v.w->held_from != NOT_HELD) let_go(*v.w, v.w->held_from);
            v.w->held_from = NOT_HELD;
            return;
    }
}

void tell(void* arg, LineEvent event, LineKind kind, std::string_view piece) {
    auto& v = *static_cast<ItemView*>(arg);
    // In JSON the items of a control line are begun by its pieces.
    if (event == LINE_BEGINS && kind == CONTROL_LINE && v.settings.json) {
        v.line = kind;
        return;
    }
    tell_event(v, event, kind, piece);
}

// The window must keep every byte not given to an item yet: an item that
// outgrows it is written in parts, each with "partial": true.
void tee(void* arg, const std::uint8_t* bytes, std::size_t n) {
    Side& side = *static_cast<Side*>(arg);
    ItemView& v = *side.view;
    Item& item = v.item;
    if (v.settings.json && side.read + n > side.given + WINDOW_SIZE && item.kind != ITEM_NONE &&
        &v.sides[item.direction] == &side) {
        const std::uint64_t at = consumed(side);
        const std::uint64_t split = at > item.start + SPLIT_MARGIN ? at - SPLIT_MARGIN : item.start;
        if (split > item.start) {
            LineWriter& w = *v.w;
            const std::string_view held = held_output(v);
            if (rows_needed(v, item)) take_rows(v, item, held, false);
            const bool inside_row = !held.empty() && held.back() != '\n';
            if (w.held_from != NOT_HELD) let_go(w, w.held_from);
            w.held_from = NOT_HELD;
            item.uncertain = true;
            if (!v.selects || item_shown(v, item)) {
                write_json(v, item, side_bytes(v, side, item.start, split), true);
            }
            w.held_from = w.buffered;
            item.partial_row = inside_row;
            item.start = split;
            side.given = split;
        }
    }
    for (std::size_t i = 0; i < n;) {
        const std::size_t at = static_cast<std::size_t>(side.read % WINDOW_SIZE);
        const std::size_t k = std::min(n - i, WINDOW_SIZE - at);
        std::memcpy(side.window + at, bytes + i, k);
        side.read += k;
        i += k;
    }
}

// A time from the start: seconds ("80", "80.5"), minutes and seconds
// ("1:20"), or hours, minutes and seconds ("1:02:03.5"): digits and one
// point only (no sign, exponent, infinity or hexadecimal), whole minutes
// and hours.
bool read_seconds(const char* text, double& seconds) {
    double total = 0.0;
    const char* at = text;
    for (int part = 0; part < 3; ++part) {
        const std::size_t length = std::strspn(at, "0123456789.");
        const auto points = static_cast<std::size_t>(std::count(at, at + length, '.'));
        if (length == points || (at[length] != '\0' && at[length] != ':') || points > 1 ||
            (points == 1 && at[length] == ':'))
            return false;
        total = total * 60.0 + std::strtod(at, nullptr);
        if (at[length] == '\0') {
            seconds = total;
            return std::isfinite(total);
        }
        at += length + 1;
    }
    return false;
}

bool read_count(const char* text, std::uint64_t& n) {
    if (*text == '\0') return false;
    std::uint64_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || value > UINT64_MAX / 10 - 9) return false;
        value = value * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    n = value;
    return true;
}

}  // namespace

bool read_when(const char* text, When& when) {
    when = When{};
    if (std::strncmp(text, "byte:", 5) == 0) {
        when.kind = WHEN_BYTE;
        return read_count(text + 5, when.n);
    }
    if (std::strncmp(text, "prompt:", 7) == 0) {
        when.kind = WHEN_PROMPT;
        return read_count(text + 7, when.n) && when.n > 0;
    }
    if (std::strncmp(text, "marker:", 7) == 0) {
        if (read_count(text + 7, when.n)) {
            when.kind = WHEN_MARKER;
            return when.n > 0;
        }
        when.kind = WHEN_MARKER_LABEL;
        const std::size_t n = std::strlen(text + 7);
        if (n == 0 || n >= sizeof when.label) return false;
        std::memcpy(when.label, text + 7, n + 1);
        return true;
    }
    when.kind = WHEN_SECONDS;
    return read_seconds(text, when.seconds);
}

bool selection_add_words(Selection& s, bool only, const char* list, const char** bad) {
    static char word_copy[SELECTED_NAME_SIZE + 1];
    for (const char* at = list;;) {
        const char* comma = std::strchr(at, ',');
        const std::string_view word(
            at, comma != nullptr ? static_cast<std::size_t>(comma - at) : std::strlen(at));
        bool known = false;
        if (word == "input") {
            (only ? s.only_input : s.except_input) = true;
            known = true;
        }
        for (const KindWord& k : kind_words) {
            if (word == k.word) {
                (only ? s.only_kinds : s.except_kinds) |= k.kinds;
                known = true;
            }
        }
        if (!known) {
            // A name: letters, digits, blanks taken out; a mode: "?" and digits.
            bool name = !word.empty() && word.size() < SELECTED_NAME_SIZE;
            for (std::size_t i = 0; i < word.size() && name; ++i) {
                const char c = word[i];
                name = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                       (i == 0 && c == '?');
            }
            if (name && word[0] == '?') name = word.size() > 1;
            NameList& names = only ? s.only : s.except;
            if (!name || names.n == MAX_SELECTED_NAMES) {
                const std::size_t n = std::min(word.size(), SELECTED_NAME_SIZE);
                std::memcpy(word_copy, word.data(), n);
                word_copy[n] = '\0';
                *bad = word_copy;
                return false;
            }
            std::memcpy(names.names[names.n], word.data(), word.size());
            names.names[names.n][word.size()] = '\0';
            ++names.n;
        }
        if (comma == nullptr) return true;
        at = comma + 1;
    }
}

bool selection_needs_items(const Selection& s) {
    return s.only_input || s.except_input || s.only.n != 0 || s.except.n != 0 ||
           s.from.kind != WHEN_NONE || s.to.kind != WHEN_NONE || s.grep != nullptr;
}

KindSet selection_hidden_kinds(const Selection& s) {
    KindSet hidden = s.except_kinds;
    if (s.only_kinds != 0 && s.only.n == 0 && !s.only_input) hidden |= ~s.only_kinds;
    return hidden;
}

ItemView* item_view_new(LineWriter& w, const Selection& selection,
                        const ItemViewSettings& settings) {
    auto* v = allocate_record<ItemView>();
    if (v == nullptr) return nullptr;
    v->w = &w;
    v->selection = selection;
    v->settings = settings;
    v->items_select = selection.only.n != 0 || selection.only_input;
    v->selects = selection_needs_items(selection) || selection.only_kinds != 0 ||
                 selection.except_kinds != 0;
    // Zeroed: what lies past the bytes read so far is read (and left aside)
    // sixteen bytes at a time.
    v->bytes = static_cast<char*>(std::calloc(WINDOW_SIZE + SLACK, 1));
    v->row = allocate_array<char>(ROW_SIZE);
    v->json.w = &w;
    v->json.buffer = w.buffer;
    for (Side& side : v->sides) {
        side.view = v;
        side.window = static_cast<std::uint8_t*>(std::calloc(WINDOW_SIZE + SLACK, 1));
        if (side.window == nullptr) return nullptr;
    }
    if (v->bytes == nullptr || v->row == nullptr || v->json.buffer == nullptr) return nullptr;
    if (selection.grep != nullptr) {
        const int error = regcomp(&v->grep, selection.grep, REG_EXTENDED | REG_NOSUB);
        if (error != 0) {
            char message[256];
            regerror(error, &v->grep, message, sizeof message);
            std::fprintf(stderr, "%s: --grep: %s\n", settings.program_name, message);
            return nullptr;
        }
        v->has_grep = true;
        if (!read_needles(selection.grep, v->needles)) v->needles.n = 0;
    }
    if (settings.json && settings.memo) {
        v->tails = allocate_zeroed_record<TailMemo>();
        if (v->tails == nullptr) return nullptr;
    }
    w.observer = {.tell = tell, .arg = v};
    // JSON reads the records alone: the rows of text, control, escape and
    // string lines are not written at all, where no pattern reads them.
    if (settings.json && v->has_grep) w.config.hidden = 0;
    if (settings.json && !v->has_grep)
        w.config.hidden = kind_bit(TEXT_LINE) | kind_bit(CONTROL_LINE) | kind_bit(ESCAPE_LINE) |
                          kind_bit(STRING_LINE);
    v->hidden = w.config.hidden;
    // The lines of sequences are kept and written again as without the view:
    // it keeps the writer's offsets over what it drops or rewrites.
    w.replays = true;
    // Offsets that the view's rewriting moves back never fall below 0.
    w.handed = std::uint64_t{1} << 62;
    // JSON: nothing of the account's own text goes out.
    if (settings.json) w.held_from = w.buffered;
    return v;
}

void item_view_recording(ItemView& v, bool duplex, bool timed) {
    v.settings.duplex = duplex;
    v.settings.timed = timed;
}

void item_view_attach(ItemView& v, Direction direction, Processor& p) {
    Side& side = v.sides[direction];
    side.input = p.input;
    side.sequence = &p.sequence;
    side.string = p.strings.current;
    side.line = &p.line;
    if (p.input != nullptr) {
        p.input->tee = tee;
        p.input->tee_arg = &side;
    }
}

}  // namespace vorsk
