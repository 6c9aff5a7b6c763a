// Cursor movement and tab stops: the relative and absolute moves, the
// scrolling region and the left and right margins, saved cursors, the
// cursor's style, and the tab stops.
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vocab/handlers.h"

namespace vorsk {
namespace {

// CTC value v and TBC value v - 2 name the same operation, so the two share
// one table: CTC reads it from 0 to 6, TBC from 2 to 7.
constexpr auto tab_stop_texts = std::to_array<const char*>({
    /* CTC 0 */ "Set a horizontal tab stop at the cursor position.",
    /* CTC 1 */ "Set a vertical tab stop at the current line.",
    /* CTC 2, TBC 0 */ "Clear the horizontal tab stop at the cursor position.",
    /* CTC 3, TBC 1 */ "Clear the vertical tab stop at the current line.",
    /* CTC 4, TBC 2 */ "Clear all horizontal tab stops in the current line.",
    /* CTC 5, TBC 3 */ "Clear all horizontal tab stops.",
    /* CTC 6, TBC 4 */ "Clear all vertical tab stops.",
    /* TBC 5 */ "Clear all tab stops.",
});

constexpr std::uint32_t MAX_CTC_VALUE = 6;
constexpr std::uint32_t MAX_TBC_VALUE = 5;
constexpr std::uint32_t TBC_OFFSET = 2;
static_assert(MAX_TBC_VALUE + TBC_OFFSET == tab_stop_texts.size() - 1);

constexpr const char* cursor_styles[] = {
    "(DEC) Set the cursor to a blinking block (the default).",
    "(DEC) Set the cursor to a blinking block.",
    "(DEC) Set the cursor to a steady block.",
    "(DEC) Set the cursor to a blinking underline.",
    "(DEC) Set the cursor to a steady underline.",
    "(Xterm) Set the cursor to a blinking bar.",
    "(Xterm) Set the cursor to a steady bar.",
};

}  // namespace

// CUU, CUD, CUF, CUB: ECMA-48 8.3.22, 8.3.19, 8.3.20, 8.3.18; with -X also
// VPR and HPR, which move as CUD and CUF do.
VORSK_CSI_HANDLER(csi_do_cuu) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    std::string_view direction = "left";
    std::string_view unit = "character";
    switch (a.final_byte()) {
        case 'A':
            direction = "up";
            unit = "line";
            break;
        case 'B':
        case 'e':
            direction = "down";
            unit = "line";
            break;
        case 'C':
        case 'a': direction = "right"; break;
        default: break;
    }
    print_description(w,
                      {"Move the cursor ", direction, " ", Decimal(n), " ", unit, plural(n), "."});
}

// CNL, CPL: ECMA-48 8.3.12, 8.3.13
VORSK_CSI_HANDLER(csi_do_cnl) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Move the cursor to the first column, ", Decimal(n), " line", plural(n),
                          " ", a.final_byte() == 'E' ? std::string_view{"down."} : "up."});
}

// CHA, HPA: ECMA-48 8.3.9, 8.3.57
VORSK_CSI_HANDLER(csi_do_cha) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Move the cursor to column ", Decimal(n), "."});
}

// CUP, HVP: ECMA-48 8.3.21, 8.3.63
VORSK_CSI_HANDLER(csi_do_cup) {
    assert(a.count == 2);
    const std::uint32_t line = amount(a, 0);
    const std::uint32_t column = amount(a, 1);
    print_description(
        w, {"Move the cursor to line ", Decimal(line), ", column ", Decimal(column), "."});
}

// VPA: ECMA-48 8.3.158
VORSK_CSI_HANDLER(csi_do_vpa) {
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Move the cursor to line ", Decimal(n), "."});
}

// CHT, CVT, CBT: ECMA-48 8.3.10, 8.3.23, 8.3.7
VORSK_CSI_HANDLER(csi_do_cht) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    // The qualifier carries its own blank, so CHT and CBT read without one.
    print_description(
        w, {"Move the cursor ", a.final_byte() == 'Z' ? std::string_view{"back "} : "forward ",
            Decimal(n), a.final_byte() == 'Y' ? std::string_view{" vertical "} : " ", "tab stop",
            plural(n), "."});
}

// CTC: ECMA-48 8.3.17; an unknown value is skipped and the rest still described.
VORSK_CSI_HANDLER(csi_do_ctc) {
    for (std::size_t i = 0; i < a.count; ++i) {
        if (a.param(i) <= MAX_CTC_VALUE) {
            print_description(w, {tab_stop_texts[a.param(i)]});
        }
    }
}

// TBC: ECMA-48 8.3.154
VORSK_CSI_HANDLER(csi_do_tbc) {
    if (a.param(0) <= MAX_TBC_VALUE) {
        print_description(w, {tab_stop_texts[a.param(0) + TBC_OFFSET]});
    }
}

// DECST8C: CSI ? 5 W.
VORSK_CSI_HANDLER(csi_do_decst8c) {
    if (a.param(0) == 5) print_description_line(w, "(DEC) Reset the tab stops to every 8 columns.");
}

// DECSTBM: CSI Pt ; Pb r, described as without -X.
VORSK_CSI_HANDLER(csi_do_ext_decstbm) {
    if (bare(a)) {
        print_description_line(w, "(DEC) Set the scrolling region to full size.");
    } else if (a.sequence->n_params == 2 && given(a, 0) && given(a, 1)) {
        print_description_line(w, "(DEC) Set the scrolling region to lines %u to %u.", a.param(0),
                               a.param(1));
    }
}

// CSI s: SCOSC alone; DECSLRM with margins (while left and right margin
// mode is set, which only the terminal knows).
VORSK_CSI_HANDLER(csi_do_scosc_decslrm) {
    if (bare(a)) {
        print_description_line(w, "(SCO) Save the cursor position.");
        return;
    }
    if (a.count != 2) return;
    if (a.param(1) == 0) {
        print_description_line(w, "(DEC) Set the left and right margins to columns %u to the end.",
                               a.param(0));
    } else {
        print_description_line(w, "(DEC) Set the left and right margins to columns %u to %u.",
                               a.param(0), a.param(1));
    }
}

// SCORC: CSI u without parameters.
VORSK_CSI_HANDLER(csi_do_scorc) {
    if (bare(a)) print_description_line(w, "(SCO) Restore the saved cursor position.");
}

// DECSCUSR: CSI Ps SP q.
VORSK_CSI_HANDLER(csi_do_decscusr) {
    const std::uint32_t style = a.param(0);
    if (style < std::size(cursor_styles)) {
        print_description_line(w, "%s", cursor_styles[style]);
    } else {
        print_description_line(w, "Cursor style %u is not defined.", style);
    }
}

// DECSTBM: the scrolling region, from the given lines or the whole screen.
VORSK_CSI_HANDLER(csi_do_decstbm) {
    if (a.count == 2) {
        print_description_line(w, "(DEC) Set the scrolling region to from line %u to line %u.",
                               a.param(0), a.param(1));
    } else if (a.count == 0) {
        print_description_line(w, "(DEC) Set the scrolling region to full size.");
    }
}

}  // namespace vorsk
