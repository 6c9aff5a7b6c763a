// What a sequence does to the screen, read through the same tables and
// readers as its account: the function table's row and its defaults, the
// SGR items, the modes by number.
#include "vocab/screen_apply.h"

#include <algorithm>

#include "vocab/control_sequence.h"
#include "vocab/functions.h"
#include "vocab/sgr.h"

namespace vorsk {
namespace {

// A count or position: 0 and an empty value mean 1, as a terminal reads them.
int amount_of(const std::uint32_t* values, std::size_t count, std::size_t i) {
    const std::uint32_t v = i < count ? values[i] : 0;
    return v == 0 ? 1 : v > 100000 ? 100000 : static_cast<int>(v);
}

void apply_mode(Screen& s, std::uint32_t mode, bool dec, bool set) {
    if (!dec) {
        if (mode == 4) s.insert = set;
        if (mode == 20) s.newline = set;
        return;
    }
    switch (mode) {
        case 6: screen_set_origin(s, set); break;
        case 7: s.autowrap = set; break;
        case 25: s.cursor_visible = set; break;
        case 69: screen_set_margins_mode(s, set); break;
        case 47:
        case 1047:
        case 1049: screen_alternate(s, set, static_cast<int>(mode)); break;
        case 1048:
            if (set) {
                screen_save_cursor(s);
            } else {
                screen_restore_cursor(s);
            }
            break;
        default: break;
    }
}

// The functions of the private marker "?": DEC's modes, DECSED, DECSEL.
void apply_private(Screen& s, std::uint8_t final_byte, const std::uint32_t* values, std::size_t n) {
    if (final_byte == 'h' || final_byte == 'l') {
        for (std::size_t i = 0; i < n; ++i) apply_mode(s, values[i], true, final_byte == 'h');
    }
    const int mode = n != 0 ? static_cast<int>(std::min(values[0], 3u)) : 0;
    if (final_byte == 'J') screen_erase_display(s, mode);
    if (final_byte == 'K') screen_erase_line(s, mode);
}

// DECFRA, DECERA (DECSERA alike) and DECCRA, from their values.
void apply_rectangle(Screen& s, std::uint8_t final_byte, const std::uint32_t* values,
                     std::size_t n) {
    const auto at = [&](std::size_t i) {
        return static_cast<int>(i < n ? std::min(values[i], 100000u) : 0u);
    };
    switch (final_byte) {
        case 'x':
            // DECFRA: the character must be a graphic one of one column.
            if (const int ch = at(0); ch >= 0x20 && ch <= 0x7e)
                screen_fill_rect(s, at(1), at(2), at(3), at(4), static_cast<char>(ch));
            break;
        case 'z':
        case '{': screen_erase_rect(s, at(0), at(1), at(2), at(3)); break;
        case 'v': screen_copy_rect(s, at(0), at(1), at(2), at(3), at(5), at(6)); break;
        default: break;
    }
}

// A control sequence's function with its arguments, as the screen reads
// it: the function table's row gives the defaults, as it does to the
// account. SGR is the pen's.
struct Call {
    std::uint8_t marker;
    std::uint8_t final_byte;
    std::uint8_t n_intermediates;
    std::uint8_t intermediate;
    bool bare;
    const std::uint32_t* values;
    std::size_t n;
};

void apply_call(Screen& s, const Call& call) {
    const std::uint32_t* values = call.values;
    const std::size_t n = call.n;
    const auto v = [&](std::size_t i) { return amount_of(values, n, i); };
    const auto raw = [&](std::size_t i) { return i < n ? values[i] : 0u; };
    const std::uint8_t intermediate = call.n_intermediates == 1 ? call.intermediate : 0;
    if (call.n_intermediates > 1) return;
    if (call.marker == '?' && intermediate == 0) {
        apply_private(s, call.final_byte, values, n);
        return;
    }
    if (call.marker != 0) return;
    if (intermediate == '!' && call.final_byte == 'p') {
        screen_reset(s, false);
        return;
    }
    if (intermediate == '$') {
        apply_rectangle(s, call.final_byte, values, n);
        return;
    }
    if (intermediate != 0) return;
    switch (call.final_byte) {
        case '@': screen_insert_chars(s, v(0)); break;
        case 'A': screen_move_rows(s, -v(0)); break;
        case 'B':
        case 'e': screen_move_rows(s, v(0)); break;
        case 'C':
        case 'a': screen_move_cols(s, v(0)); break;
        case 'D': screen_move_cols(s, -v(0)); break;
        case 'E':
            screen_move_rows(s, v(0));
            screen_set_col(s, 1);
            break;
        case 'F':
            screen_move_rows(s, -v(0));
            screen_set_col(s, 1);
            break;
        case 'G':
        case '`': screen_set_col(s, v(0)); break;
        case 'H':
        case 'f': screen_move_to(s, v(0), v(1)); break;
        case 'I': screen_tab(s, v(0)); break;
        case 'J': screen_erase_display(s, static_cast<int>(raw(0))); break;
        case 'K': screen_erase_line(s, static_cast<int>(raw(0))); break;
        case 'L': screen_insert_lines(s, v(0)); break;
        case 'M': screen_delete_lines(s, v(0)); break;
        case 'P': screen_delete_chars(s, v(0)); break;
        case 'S': screen_scroll_up(s, v(0)); break;
        case 'T':
            if (n <= 1) screen_scroll_down(s, v(0));  // five values: mouse tracking, not SD
            break;
        case 'X': screen_erase_chars(s, v(0)); break;
        case 'Z': screen_tab(s, -v(0)); break;
        case 'b': screen_repeat(s, v(0)); break;
        case 'd': screen_set_row(s, v(0)); break;
        case 'g': screen_clear_tabs(s, raw(0) == 3 || raw(0) == 5); break;
        case 'h':
        case 'l':
            for (std::size_t i = 0; i < n; ++i)
                apply_mode(s, values[i], false, call.final_byte == 'h');
            break;
        case 'r': screen_set_margins(s, static_cast<int>(raw(0)), static_cast<int>(raw(1))); break;
        case 's':
            // With mode 69 set, CSI s sets the left and right margins.
            if (s.margins_mode) {
                screen_set_side_margins(s, static_cast<int>(std::min(raw(0), 100000u)),
                                        static_cast<int>(std::min(raw(1), 100000u)));
            } else if (call.bare) {
                screen_save_cursor(s);
            }
            break;
        case 'u':
            if (call.bare) screen_restore_cursor(s);
            break;
        default: break;
    }
}

// The two-byte escapes and those with intermediates.
void apply_escape(Screen& s, SequenceKind kind, std::uint8_t final_byte,
                  std::uint8_t n_intermediates, std::uint8_t i1) {
    switch (kind) {
        case CSI_SEQUENCE: return;
        case FP_SEQUENCE:
            if (final_byte == '7') screen_save_cursor(s);
            if (final_byte == '8') screen_restore_cursor(s);
            return;
        case FE_SEQUENCE:
            switch (final_byte) {
                case 'D': screen_index(s); break;
                case 'E': screen_next_line(s); break;
                case 'H': screen_set_tab(s); break;
                case 'M': screen_reverse_index(s); break;
                case 'N': screen_single_shift(s, 2); break;
                case 'O': screen_single_shift(s, 3); break;
                default: break;
            }
            return;
        case FS_SEQUENCE:
            if (final_byte == 'c') screen_reset(s, true);
            if (final_byte == 'n') screen_lock_shift(s, 2);
            if (final_byte == 'o') screen_lock_shift(s, 3);
            return;
        case NF_SEQUENCE: {
            if (n_intermediates != 1) return;
            if (i1 >= '(' && i1 <= '+') {
                screen_designate(s, i1 - '(', static_cast<char>(final_byte));
            } else if (i1 >= '-' && i1 <= '/') {
                screen_designate(s, i1 - ',', static_cast<char>(final_byte));
            } else if (i1 == '#' && final_byte == '8') {
                screen_alignment(s);
            }
            return;
        }
    }
}

bool is_sgr(const Sequence& seq) {
    return seq.kind == CSI_SEQUENCE && seq.marker == 0 && seq.n_intermediates == 0 &&
           seq.final_byte == 'm';
}

std::uint8_t intermediates_of(const Sequence& seq) {
    return static_cast<std::uint8_t>(std::min<std::size_t>(seq.n_intermediates, 2));
}

bool is_bare(const Sequence& seq) {
    return seq.n_params <= 1 && !(seq.n_params == 1 && seq.params[0].present);
}

// The step of an SGR, found by applying it to the default pen and to a pen
// whose every part holds a value no SGR gives: a part it keeps is left as
// each was, a part it sets is the same in both. False for an SGR that
// would do anything else.
bool pen_step(const Sequence& seq, PenStep& step) {
    Pen a;
    pen_apply(a, seq.params, seq.n_params, true);
    Pen unset;
    unset.fg = unset.bg = unset.underline_color = 0xffffffff;
    unset.flags = 0xffff;
    unset.underline = 0xff;
    Pen b = unset;
    pen_apply(b, seq.params, seq.n_params, true);
    step = PenStep{};
    const auto part = [&step](std::uint32_t x, std::uint32_t y, std::uint32_t kept_y,
                              std::uint8_t bit) {
        if (x == 0 && y == kept_y) {
            step.kept |= bit;
            return true;
        }
        return x == y;
    };
    if (!part(a.fg, b.fg, unset.fg, PEN_PART_FG) || !part(a.bg, b.bg, unset.bg, PEN_PART_BG) ||
        !part(a.underline_color, b.underline_color, unset.underline_color,
              PEN_PART_UNDERLINE_COLOR) ||
        !part(a.underline, b.underline, unset.underline, PEN_PART_UNDERLINE) ||
        (a.flags & ~b.flags) != 0)
        return false;
    step.set = a;
    step.kept_flags = static_cast<std::uint16_t>(~a.flags & b.flags);
    return true;
}

void apply_pen_step(Pen& pen, const PenStep& step) {
    if ((step.kept & PEN_PART_FG) == 0) pen.fg = step.set.fg;
    if ((step.kept & PEN_PART_BG) == 0) pen.bg = step.set.bg;
    if ((step.kept & PEN_PART_UNDERLINE_COLOR) == 0) pen.underline_color = step.set.underline_color;
    if ((step.kept & PEN_PART_UNDERLINE) == 0) pen.underline = step.set.underline;
    pen.flags = static_cast<std::uint16_t>((pen.flags & step.kept_flags) | step.set.flags);
}

}  // namespace

void screen_apply_sequence(Screen& s, const Sequence& seq) {
    if (seq.kind != CSI_SEQUENCE) {
        apply_escape(s, seq.kind, seq.final_byte, intermediates_of(seq), seq.intermediates[0]);
        return;
    }
    if (is_sgr(seq)) {
        pen_apply(s.cursor.pen, seq.params, seq.n_params, true);
        return;
    }
    const CsiLookup found = lookup_csi_function(seq, true);
    std::uint32_t values[MAX_CSI_PARAMS];
    const std::size_t n = csi_arguments(seq, *found.function, values);
    apply_call(s, Call{seq.marker, seq.final_byte, intermediates_of(seq), seq.intermediates[0],
                       is_bare(seq), values, n});
}

bool screen_step(const Sequence& seq, ScreenStep& step) {
    step = ScreenStep{};
    step.kind = seq.kind;
    step.marker = seq.marker;
    step.final_byte = seq.final_byte;
    step.n_intermediates = intermediates_of(seq);
    step.intermediate = seq.intermediates[0];
    if (seq.kind != CSI_SEQUENCE) return true;
    if (is_sgr(seq)) {
        step.sgr = true;
        return pen_step(seq, step.pen);
    }
    const CsiLookup found = lookup_csi_function(seq, true);
    std::uint32_t values[MAX_CSI_PARAMS];
    const std::size_t n = csi_arguments(seq, *found.function, values);
    if (n > STEP_VALUES) return false;
    std::copy(values, values + n, step.values);
    step.n = static_cast<std::uint8_t>(n);
    step.bare = is_bare(seq);
    return true;
}

void screen_apply_step(Screen& s, const ScreenStep& step) {
    if (step.kind != CSI_SEQUENCE) {
        apply_escape(s, step.kind, step.final_byte, step.n_intermediates, step.intermediate);
    } else if (step.sgr) {
        apply_pen_step(s.cursor.pen, step.pen);
    } else {
        apply_call(s, Call{step.marker, step.final_byte, step.n_intermediates, step.intermediate,
                           step.bare, step.values, step.n});
    }
}

}  // namespace vorsk
