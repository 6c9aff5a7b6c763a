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

void apply_control_sequence(Screen& s, const Sequence& seq) {
    // The function table's row gives the defaults, as it does to the account.
    const CsiLookup found = lookup_csi_function(seq, true);
    std::uint32_t values[MAX_CSI_PARAMS];
    const std::size_t n = csi_arguments(seq, *found.function, values);
    const auto v = [&](std::size_t i) { return amount_of(values, n, i); };
    const auto raw = [&](std::size_t i) { return i < n ? values[i] : 0u; };
    const std::uint8_t intermediate = seq.n_intermediates == 1 ? seq.intermediates[0] : 0;
    if (seq.n_intermediates > 1) return;
    if (seq.marker == '?' && intermediate == 0) {
        apply_private(s, seq.final_byte, values, n);
        return;
    }
    if (seq.marker != 0) return;
    if (intermediate == '!' && seq.final_byte == 'p') {
        screen_reset(s, false);
        return;
    }
    if (intermediate == '$') {
        apply_rectangle(s, seq.final_byte, values, n);
        return;
    }
    if (intermediate != 0) return;
    switch (seq.final_byte) {
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
                apply_mode(s, values[i], false, seq.final_byte == 'h');
            break;
        case 'm': pen_apply(s.cursor.pen, seq.params, seq.n_params, true); break;
        case 'r': screen_set_margins(s, static_cast<int>(raw(0)), static_cast<int>(raw(1))); break;
        case 's':
            // With mode 69 set, CSI s sets the left and right margins.
            if (s.margins_mode) {
                screen_set_side_margins(s, static_cast<int>(std::min(raw(0), 100000u)),
                                        static_cast<int>(std::min(raw(1), 100000u)));
            } else if (seq.n_params <= 1 && !(seq.n_params == 1 && seq.params[0].present)) {
                screen_save_cursor(s);
            }
            break;
        case 'u':
            if (seq.n_params <= 1 && !(seq.n_params == 1 && seq.params[0].present))
                screen_restore_cursor(s);
            break;
        default: break;
    }
}

}  // namespace

void screen_apply_sequence(Screen& s, const Sequence& seq) {
    switch (seq.kind) {
        case CSI_SEQUENCE: apply_control_sequence(s, seq); return;
        case FP_SEQUENCE:
            if (seq.final_byte == '7') screen_save_cursor(s);
            if (seq.final_byte == '8') screen_restore_cursor(s);
            return;
        case FE_SEQUENCE:
            switch (seq.final_byte) {
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
            if (seq.final_byte == 'c') screen_reset(s, true);
            if (seq.final_byte == 'n') screen_lock_shift(s, 2);
            if (seq.final_byte == 'o') screen_lock_shift(s, 3);
            return;
        case NF_SEQUENCE: {
            if (seq.n_intermediates != 1) return;
            const std::uint8_t i1 = seq.intermediates[0];
            if (i1 >= '(' && i1 <= '+') {
                screen_designate(s, i1 - '(', static_cast<char>(seq.final_byte));
            } else if (i1 >= '-' && i1 <= '/') {
                screen_designate(s, i1 - ',', static_cast<char>(seq.final_byte));
            } else if (i1 == '#' && seq.final_byte == '8') {
                screen_alignment(s);
            }
            return;
        }
    }
}

}  // namespace vorsk
