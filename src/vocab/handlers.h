// The description handlers of the control function table, by the family
// file that defines them, and what they share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vocab/functions.h"

namespace vorsk {

// Declares or defines a handler with the CsiHandler signature.
#define VORSK_CSI_HANDLER(name) void name([[maybe_unused]] const CsiArguments& a, LineWriter& w)

// Value i of a count or position. A terminal moves, inserts, deletes and
// repeats by 1 where it is given 0, so that is what -X says; the classic
// account shows the value as it stands.
inline std::uint32_t amount(const CsiArguments& a, std::size_t i) {
    const std::uint32_t value = a.param(i);
    return value == 0 && a.extended ? 1 : value;
}

// What the describers share.

// A noun after a count is singular only for exactly 1; "0 lines" too.
inline std::string_view plural(std::uint32_t count) {
    return count == 1 ? "" : "s";
}

// A text table indexed by a parameter value; a value past its end, or a
// slot left nullptr, has no line.
template <std::size_t N>
inline void print_indexed_text(LineWriter& w, const std::array<const char*, N>& texts,
                               std::uint32_t value) {
    if (value < N && texts[value] != nullptr) print_description(w, {texts[value]});
}

// A text by number, in tables of a few entries.
struct Named {
    std::uint32_t number = 0;
    const char* text = nullptr;
};

template <std::size_t N>
inline const char* name_of(const Named (&table)[N], std::uint32_t number) {
    for (const Named& n : table) {
        if (n.number == number) return n.text;
    }
    return nullptr;
}

// A line being put together from names, cut short rather than overrun.
struct Phrase {
    char text[240] = {};
    std::size_t n = 0;
    std::size_t items = 0;
    void add(const char* s) {
        if (items++ > 0) put(", ");
        put(s);
    }
    void put(const char* s) {
        while (*s != '\0' && n + 1 < sizeof text) text[n++] = *s++;
        text[n] = '\0';
    }
};

// "lines 2 to 10, columns 1 to 80" of a rectangle given top, left, bottom
// and right, where 0 is the default: the first line or column, or the last.
struct Rectangle {
    char text[80] = {};
};

inline Rectangle rectangle_of(std::uint32_t top, std::uint32_t left, std::uint32_t bottom,
                              std::uint32_t right) {
    Rectangle r;
    char to_bottom[16] = "the end";
    char to_right[16] = "the end";
    if (bottom != 0) std::snprintf(to_bottom, sizeof to_bottom, "%u", bottom);
    if (right != 0) std::snprintf(to_right, sizeof to_right, "%u", right);
    std::snprintf(r.text, sizeof r.text, "lines %u to %s, columns %u to %s", top == 0 ? 1 : top,
                  to_bottom, left == 0 ? 1 : left, to_right);
    return r;
}

inline Rectangle rectangle_at(const CsiArguments& a, std::size_t first) {
    return rectangle_of(a.param(first), a.param(first + 1), a.param(first + 2), a.param(first + 3));
}

inline bool given(const CsiArguments& a, std::size_t i) {
    return i < a.sequence->n_params && a.sequence->params[i].present;
}

// Whether the sequence has no parameter at all: "[ s" and "[ ; s" differ.
inline bool bare(const CsiArguments& a) {
    return a.sequence->n_params == 0 || (a.sequence->n_params == 1 && !given(a, 0));
}

// Cursor movement, margins, saved cursors, tab stops (cursor.cpp).
VORSK_CSI_HANDLER(csi_do_cuu);
VORSK_CSI_HANDLER(csi_do_cnl);
VORSK_CSI_HANDLER(csi_do_cha);
VORSK_CSI_HANDLER(csi_do_cup);
VORSK_CSI_HANDLER(csi_do_vpa);
VORSK_CSI_HANDLER(csi_do_cht);
VORSK_CSI_HANDLER(csi_do_ctc);
VORSK_CSI_HANDLER(csi_do_tbc);
VORSK_CSI_HANDLER(csi_do_decst8c);
VORSK_CSI_HANDLER(csi_do_decstbm);
VORSK_CSI_HANDLER(csi_do_ext_decstbm);
VORSK_CSI_HANDLER(csi_do_scosc_decslrm);
VORSK_CSI_HANDLER(csi_do_scorc);
VORSK_CSI_HANDLER(csi_do_decscusr);

// Editing, erasure, scrolling and rectangles (editing.cpp).
VORSK_CSI_HANDLER(csi_do_ich);
VORSK_CSI_HANDLER(csi_do_dch);
VORSK_CSI_HANDLER(csi_do_il);
VORSK_CSI_HANDLER(csi_do_dl);
VORSK_CSI_HANDLER(csi_do_decic);
VORSK_CSI_HANDLER(csi_do_ed);
VORSK_CSI_HANDLER(csi_do_ef);
VORSK_CSI_HANDLER(csi_do_ech);
VORSK_CSI_HANDLER(csi_do_su);
VORSK_CSI_HANDLER(csi_do_rep);
VORSK_CSI_HANDLER(csi_do_decsca);
VORSK_CSI_HANDLER(csi_do_deccara);
VORSK_CSI_HANDLER(csi_do_decrara);
VORSK_CSI_HANDLER(csi_do_deccra);
VORSK_CSI_HANDLER(csi_do_decfra);
VORSK_CSI_HANDLER(csi_do_decera);
VORSK_CSI_HANDLER(csi_do_decsace);

// The device: identification, reports, resets, media copy (device.cpp).
VORSK_CSI_HANDLER(csi_do_da);
VORSK_CSI_HANDLER(csi_do_da1);
VORSK_CSI_HANDLER(csi_do_da1_answer);
VORSK_CSI_HANDLER(csi_do_da2);
VORSK_CSI_HANDLER(csi_do_da3);
VORSK_CSI_HANDLER(csi_do_xtversion);
VORSK_CSI_HANDLER(csi_do_dsr);
VORSK_CSI_HANDLER(csi_do_dec_dsr);
VORSK_CSI_HANDLER(csi_do_cpr);
VORSK_CSI_HANDLER(csi_do_decxcpr);
VORSK_CSI_HANDLER(csi_do_decstr);
VORSK_CSI_HANDLER(csi_do_decscl);
VORSK_CSI_HANDLER(csi_do_xtsmgraphics);
VORSK_CSI_HANDLER(csi_do_xtcolors);
VORSK_CSI_HANDLER(csi_do_mc);
VORSK_CSI_HANDLER(csi_do_dec_mc);

// Modes and their reports (modes.cpp).
VORSK_CSI_HANDLER(csi_do_sm);
VORSK_CSI_HANDLER(csi_do_private_modes);
VORSK_CSI_HANDLER(csi_do_save_modes);
VORSK_CSI_HANDLER(csi_do_xtsave);
VORSK_CSI_HANDLER(csi_do_decrqm);
VORSK_CSI_HANDLER(csi_do_decrpm);

// Graphic rendition and its stack (sgr.cpp).
VORSK_CSI_HANDLER(csi_do_sgr);
VORSK_CSI_HANDLER(csi_do_xtpushsgr);
VORSK_CSI_HANDLER(csi_do_xtpopsgr);
VORSK_CSI_HANDLER(csi_do_xtreportsgr);

// Keys: modifyKeys resources and the kitty keyboard protocol (keys.cpp).
VORSK_CSI_HANDLER(csi_do_set_modify_keys);
VORSK_CSI_HANDLER(csi_do_reset_modify_keys);
VORSK_CSI_HANDLER(csi_do_xtmodkeys);
VORSK_CSI_HANDLER(csi_do_xtqmodkeys);
VORSK_CSI_HANDLER(csi_do_kitty_keyboard);

// Window operations and the locator (window.cpp).
VORSK_CSI_HANDLER(csi_do_winop);
VORSK_CSI_HANDLER(csi_do_xtwinops);
VORSK_CSI_HANDLER(csi_do_decelr);
VORSK_CSI_HANDLER(csi_do_decsle);
VORSK_CSI_HANDLER(csi_do_decrqlp);
VORSK_CSI_HANDLER(csi_do_decmouse);

}  // namespace vorsk
