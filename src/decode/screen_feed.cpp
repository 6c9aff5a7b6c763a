#include "decode/screen_feed.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "decode/processor.h"
#include "parse/control_string.h"
#include "text/unicode.h"
#include "vocab/screen_apply.h"

namespace vorsk {
namespace {

// The page: the painter of what an operation changes is the place of the
// item it comes from, a number the writer's offset gives; a text line
// keeps its number over its runs.
void paint_begin(ScreenFeed& f, bool text) {
    const std::uint64_t at = writer_offset(*f.page);
    if (!(text && f.in_text) && at != f.marked_end) f.screen->painter = at + 1;
    f.in_text = text;
}

// Whether a line of the active screen has the painter's number.
bool painted_now(const Screen& s) {
    const std::uint64_t* painted = s.painted[s.active];
    if (painted[s.order[s.active][s.cursor.row]] == s.painter) return true;
    return std::find(painted, painted + s.rows, s.painter) != painted + s.rows;
}

// Where the operation changed the screen, the item's mark, once.
void paint_end(ScreenFeed& f) {
    const std::uint64_t painter = f.screen->painter;
    if (painter == f.marked || !painted_now(*f.screen)) return;
    char mark[PAINTER_MARK_SIZE];
    writer_raw(*f.page, mark, format_painter_mark(mark, 'a', painter));
    f.marked = painter;
    f.marked_end = writer_offset(*f.page);
}

// Where an operation that does not read on begins: nothing while muted,
// a character held is dropped, and the page's painter is set. False while
// muted.
[[gnu::always_inline]] inline bool operation_begins(ScreenFeed& f, bool text) {
    if (f.special) [[unlikely]] {
        if (f.muted) return false;
        paint_begin(f, text);
    }
    f.have = 0;
    f.need = 0;
    return true;
}

// The page's painter around an operation that reads on or keeps what it
// holds; nothing without the page.
[[gnu::always_inline]] inline void painting_begins(ScreenFeed& f, bool text) {
    if (f.special) [[unlikely]]
        paint_begin(f, text);
}

[[gnu::always_inline]] inline void operation_ends(ScreenFeed& f) {
    if (f.special) [[unlikely]]
        paint_end(f);
}

// Nothing reaches the screen while it is muted.
[[gnu::always_inline]] inline bool muted(const ScreenFeed& f) {
    return f.special && f.muted;
}

void put_held_character(ScreenFeed& f) {
    std::uint32_t cp = 0;
    const auto n = static_cast<std::size_t>(f.have);
    if (utf8_decode(f.utf8, n, cp) == n) {
        const int width = code_point_width(cp);
        if (width >= 0 && unsafe_code_point_name(cp) == nullptr) {
            painting_begins(f, true);
            screen_put(*f.screen, cp, width, reinterpret_cast<const char*>(f.utf8), n);
            operation_ends(f);
        }
    }
    f.have = 0;
    f.need = 0;
}

// A prompt mark of shell integration: OSC 133;A, or 633;A.
bool is_prompt_mark(std::string_view payload) {
    for (const std::string_view mark : {"133;A", "633;A"}) {
        if (payload.starts_with(mark) &&
            (payload.size() == mark.size() || payload[mark.size()] == ';'))
            return true;
    }
    return false;
}

// The classic mode: a control string read as text has ended.
void end_string_text(ScreenFeed& f) {
    f.in_string = false;
    if (f.at_prompt && is_prompt_mark(std::string_view(f.head, f.head_size))) f.prompt_due = true;
}

void write_prompt(Processor& p) {
    ScreenFeed& f = *p.screen;
    f.prompt_due = false;
    char when[48];
    std::snprintf(when, sizeof when, "at prompt %" PRIu64, ++f.n_prompts);
    screen_moment(p, when);
}

void write_time(Processor& p, double seconds) {
    char time[CLOCK_SIZE];
    format_clock(time, sizeof time, seconds);
    char when[64];
    std::snprintf(when, sizeof when, "at %s", time);
    screen_moment(p, when);
}

// Whether a sequence leaves the alternate screen: mode 47, 1047 or 1049
// reset, or RIS.
bool leaves_alternate(const Sequence& s) {
    if (s.kind == FS_SEQUENCE) return s.final_byte == 'c';
    if (s.kind != CSI_SEQUENCE || s.final_byte != 'l' || s.marker != '?' || s.n_intermediates != 0)
        return false;
    for (std::size_t i = 0; i < s.n_params; ++i) {
        const std::uint32_t v = sequence_param(s, i, 0);
        if (v == 47 || v == 1047 || v == 1049) return true;
    }
    return false;
}

}  // namespace

void screen_moment(Processor& p, const char* when) {
    finish_state(p);
    // A screen is an item of its own to the selections and --json.
    if (writer_shows(*p.writer, SCREEN_LINE)) writer_tell(*p.writer, LINE_BEGINS, SCREEN_LINE);
    screen_write(*p.screen->screen, *p.writer, when);
    // A page's pen is the stream's again after the screen's own.
    if (p.pen != nullptr) mark_pen(p);
}

void screen_sequence(Processor& p, const Sequence& s) {
    ScreenFeed& f = *p.screen;
    if (f.at_alt && f.screen->active != 0 && leaves_alternate(s))
        screen_moment(p, "before the alternate screen is left");
    feed_sequence(f, s, p.extended);
    if (f.prompt_due) write_prompt(p);
}

void screen_step_sequence(Processor& p, const StepSlot& slot) {
    ScreenFeed& f = *p.screen;
    if (f.at_alt && f.screen->active != 0 && slot.leaves_alternate)
        screen_moment(p, "before the alternate screen is left");
    if (!operation_begins(f, false)) return;
    screen_apply_step(*f.screen, slot.step);
    operation_ends(f);
}

void screen_prompt(Processor& p) {
    write_prompt(p);
}

void screen_string(Processor& p, const ControlString& s) {
    if (p.screen->at_prompt && s.kind == OSC_STRING && is_prompt_mark(s.text())) write_prompt(p);
}

void screen_pause(Processor& p, double delay) {
    ScreenFeed& f = *p.screen;
    if (!std::isfinite(delay) || delay < 0.0) return;
    if (p.strings.open) {
        // Within a string the moments wait for the next pause.
        f.elapsed += delay;
        return;
    }
    if (f.pause >= 0.0 && delay >= f.pause) {
        char time[CLOCK_SIZE];
        format_clock(time, sizeof time, f.elapsed);
        char when[96];
        std::snprintf(when, sizeof when, "before a pause of %.6f at %s", delay, time);
        screen_moment(p, when);
    }
    f.elapsed += delay;
    // The screen at a time is what the bytes before it left.
    while (f.next_time < f.n_times && f.times[f.next_time] < f.elapsed)
        write_time(p, f.times[f.next_time++]);
}

void screen_marker(Processor& p) {
    ScreenFeed& f = *p.screen;
    if (!f.at_marker) return;
    char when[48];
    std::snprintf(when, sizeof when, "at marker %" PRIu64, ++f.n_markers);
    screen_moment(p, when);
}

namespace {

// A whole number of at most four digits at the start of text, or -1.
int read_dimension(std::string_view& text) {
    int n = 0;
    std::size_t i = 0;
    while (i < text.size() && i < 5 && text[i] >= '0' && text[i] <= '9')
        n = n * 10 + (text[i++] - '0');
    if (i == 0 || i == 5) return -1;
    text.remove_prefix(i);
    return n;
}

}  // namespace

void screen_fact(Processor& p, std::string_view name, std::string_view value) {
    ScreenFeed& f = *p.screen;
    int cols = -1, rows = -1;
    if (name == "Terminal size" || name == "Window size") {
        cols = read_dimension(value);
        if (cols < 0 || value.empty() || value[0] != 'x') return;
        value.remove_prefix(1);
        rows = read_dimension(value);
        if (!value.empty()) return;
    } else if (name == "Columns") {
        f.columns = read_dimension(value);
        return;
    } else if (name == "Lines") {
        cols = f.columns;
        rows = read_dimension(value);
    }
    if (cols > 0 && rows > 0) screen_resize(*f.screen, cols, rows);
}

void screen_end(Processor& p) {
    ScreenFeed& f = *p.screen;
    // A time past the end of the recording sees its last screen.
    while (f.next_time < f.n_times) write_time(p, f.times[f.next_time++]);
    if (f.at_end) screen_moment(p, "at the end");
}

void feed_text_byte(ScreenFeed& f, std::uint8_t b) {
    if (muted(f)) [[unlikely]] {
        return;
    }
    if (f.in_string) {
        if (f.head_size < sizeof f.head) f.head[f.head_size++] = static_cast<char>(b);
        return;
    }
    if (f.need != 0) {
        if (utf8_continues(f.utf8[0], static_cast<std::size_t>(f.have), b)) {
            f.utf8[f.have++] = b;
            if (f.have == f.need) put_held_character(f);
            return;
        }
        f.have = 0;
        f.need = 0;
    }
    if (b < 0x80) {
        const char c = static_cast<char>(b);
        painting_begins(f, true);
        screen_put_ascii(*f.screen, &c, 1);
        operation_ends(f);
        return;
    }
    const int length = utf8_length(b);
    if (length == 0) return;  // a byte that begins no character is no text
    f.utf8[0] = b;
    f.have = 1;
    f.need = length;
}

void feed_text_run(ScreenFeed& f, const char* bytes, std::size_t n) {
    if (muted(f)) [[unlikely]] {
        return;
    }
    if (f.in_string) {
        for (std::size_t i = 0; i < n && f.head_size < sizeof f.head; ++i)
            f.head[f.head_size++] = bytes[i];
        return;
    }
    f.have = 0;
    f.need = 0;
    painting_begins(f, true);
    screen_put_ascii(*f.screen, bytes, n);
    operation_ends(f);
}

void feed_plain_run(ScreenFeed& f, const char* bytes, std::size_t n) {
    if (!operation_begins(f, true)) return;
    const auto* at = reinterpret_cast<const std::uint8_t*>(bytes);
    const std::uint8_t* const end = at + n;
    while (at != end) {
        const std::uint8_t* ascii = at;
        while (ascii != end && *ascii < 0x80) ++ascii;
        if (ascii != at) {
            screen_put_ascii(*f.screen, reinterpret_cast<const char*>(at),
                             static_cast<std::size_t>(ascii - at));
            at = ascii;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length = utf8_decode(at, static_cast<std::size_t>(end - at), cp);
        if (length == 0) break;  // the run holds whole characters only
        const int plain = plain_text_width(cp);
        screen_put(*f.screen, cp, plain != 0 ? plain : code_point_width(cp),
                   reinterpret_cast<const char*>(at), length);
        at += length;
    }
    operation_ends(f);
}

void feed_character(ScreenFeed& f, std::uint32_t cp, int width, const char* bytes, std::size_t n) {
    if (muted(f)) [[unlikely]] {
        return;
    }
    if (unsafe_code_point_name(cp) != nullptr) return;
    painting_begins(f, true);
    screen_put(*f.screen, cp, width < 0 ? 1 : width, bytes, n);
    operation_ends(f);
}

void feed_control_general(ScreenFeed& f, std::uint8_t b, bool extended) {
    if (muted(f)) [[unlikely]] {
        return;
    }
    if (b >= 0x80) {
        // The classic mode hands bytes from 0x80 up to the control line.
        if (!extended) feed_text_byte(f, b);
        return;
    }
    f.have = 0;
    f.need = 0;
    if (f.in_string) {
        if (b == 0x18 || b == 0x1a) f.in_string = false;
        if (b == 0x07 && f.string_bel) end_string_text(f);
        return;
    }
    painting_begins(f, false);
    screen_control(*f.screen, b);
    operation_ends(f);
}

void feed_sequence(ScreenFeed& f, const Sequence& s, bool extended) {
    if (muted(f)) [[unlikely]] {
        return;
    }
    f.have = 0;
    f.need = 0;
    if (!extended) {
        // The classic mode reads a control string's introducer as a
        // sequence of its own, and its payload as text: the screen skips
        // the payload up to the terminator, as a terminal does.
        if (f.in_string) {
            if (s.kind == FE_SEQUENCE && s.final_byte == '\\') {
                end_string_text(f);
                return;
            }
            f.in_string = false;
        }
        if ((s.kind == FE_SEQUENCE &&
             (s.final_byte == ']' || s.final_byte == 'P' || s.final_byte == '_' ||
              s.final_byte == '^' || s.final_byte == 'X')) ||
            (s.kind == FS_SEQUENCE && s.final_byte == 'k')) {
            f.in_string = true;
            f.head_size = 0;
            f.string_bel = s.final_byte == ']' || s.final_byte == 'k';
            return;
        }
    }
    // Where the decoder keeps the sequence's lines, the screen keeps its
    // step (a classic string's introducer above is never kept).
    painting_begins(f, false);
    ScreenStep step;
    if (f.memo != nullptr && s.n_bytes <= MEMO_KEY_SIZE && screen_step(s, step)) {
        // The memo's slot for these bytes is the most recent of their set
        // where the memo kept or found them; where it did neither, a key
        // that will not match is overwritten.
        const MemoKey key = memo_key(s.bytes, s.n_bytes);
        const std::size_t set = memo_set(key);
        StepSlot& slot = f.steps.slots[set][f.memo->recent[set]];
        slot.words[0] = key.words[0];
        slot.words[1] = key.words[1];
        slot.key_size = static_cast<std::uint8_t>(key.size);
        slot.step = step;
        slot.leaves_alternate = leaves_alternate(s);
        screen_apply_step(*f.screen, step);
    } else {
        screen_apply_sequence(*f.screen, s);
    }
    operation_ends(f);
}

}  // namespace vorsk
