// Editing: insertion and deletion of characters, lines and columns,
// erasure, scrolling, repetition, and DEC's rectangular area operations.
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vocab/handlers.h"
#include "vocab/sgr.h"

namespace vorsk {
namespace {

constexpr auto erase_in_field_texts = std::to_array<const char*>({
    "Clear from the cursor to the next tab stop.",
    "Clear from the previous tab stop to the cursor.",
    "Clear from the previous tab stop to the next tab stop.",
});

// The attributes DECRARA reverses.
constexpr Named reversed_attributes[] = {
    {1, "bold"},
    {4, "underline"},
    {5, "blink"},
    {7, "negative image"},
};

}  // namespace

// ICH: ECMA-48 8.3.64
VORSK_CSI_HANDLER(csi_do_ich) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Shift characters after the cursor to make room for ", Decimal(n),
                          " new character", plural(n), "."});
}

// DCH: ECMA-48 8.3.26
VORSK_CSI_HANDLER(csi_do_dch) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Delete ", Decimal(n), " character", plural(n),
                          ", shifting the following characters left."});
}

// IL: ECMA-48 8.3.67
VORSK_CSI_HANDLER(csi_do_il) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Shift lines after the cursor to make room for ", Decimal(n), " new line",
                          plural(n), "."});
}

// DL: ECMA-48 8.3.32
VORSK_CSI_HANDLER(csi_do_dl) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(
        w, {"Delete ", Decimal(n), " line", plural(n), ", shifting the following lines up."});
}

// DECIC and DECDC: CSI Pn ' } and CSI Pn ' ~.
VORSK_CSI_HANDLER(csi_do_decic) {
    const std::uint32_t n = a.param(0);
    const char* s = n == 1 ? "" : "s";
    if (a.final_byte() == '}') {
        print_description_line(w, "(DEC) Insert %u blank column%s at the cursor.", n, s);
    } else {
        print_description_line(w, "(DEC) Delete %u column%s at the cursor.", n, s);
    }
}

// ED, EL: ECMA-48 8.3.39, 8.3.41
VORSK_CSI_HANDLER(csi_do_ed) {
    assert(a.count == 1);
    assert(a.final_byte() == 'J' || a.final_byte() == 'K');
    const std::string_view area = a.final_byte() == 'J' ? "screen" : "line";
    switch (a.param(0)) {
        case 0:
            print_description(w, {"Clear from the cursor to the end of the ", area, "."});
            break;
        case 1:
            print_description(w, {"Clear from the beginning of the ", area, " to the cursor."});
            break;
        case 2: print_description(w, {"Clear the ", area, "."}); break;
        case 3:
            // xterm's, which the classic account leaves undescribed.
            if (a.extended && a.final_byte() == 'J')
                print_description(w, {"(Xterm) Clear the scrollback (saved lines)."});
            break;
        default: break;
    }
}

// EF: ECMA-48 8.3.40
VORSK_CSI_HANDLER(csi_do_ef) {
    assert(a.count == 1);
    print_indexed_text(w, erase_in_field_texts, a.param(0));
}

// ECH: ECMA-48 8.3.38
VORSK_CSI_HANDLER(csi_do_ech) {
    const std::uint32_t n = amount(a, 0);
    print_description(w,
                      {"Erase ", Decimal(n), " character", plural(n), ", starting at the cursor."});
}

// SU, SD: ECMA-48 8.3.147, 8.3.113; after SP, SL and SR: 8.3.121, 8.3.135
VORSK_CSI_HANDLER(csi_do_su) {
    assert(a.count == 1);
    assert(a.final_byte() == 'S' || a.final_byte() == 'T' || a.final_byte() == 0x40 ||
           a.final_byte() == 'A');
    const std::uint32_t n = amount(a, 0);
    std::string_view direction = "up";
    std::string_view unit = "line";
    switch (a.final_byte()) {
        case 'T': direction = "down"; break;
        case 0x40:
            direction = "left";
            unit = "column";
            break;
        case 'A':
            direction = "right";
            unit = "column";
            break;
        default: break;
    }
    // The classic line ends without a full stop.
    print_description(w, {"Scroll ", direction, " by ", Decimal(n), " ", unit, plural(n),
                          a.extended ? std::string_view{"."} : ""});
}

// REP: CSI Pn b.
VORSK_CSI_HANDLER(csi_do_rep) {
    const std::uint32_t n = amount(a, 0);
    print_description_line(w, "Repeat the preceding character %u time%s.", n, n == 1 ? "" : "s");
}

// DECSCA: CSI Ps " q.
VORSK_CSI_HANDLER(csi_do_decsca) {
    switch (a.param(0)) {
        case 0:
        case 2:
            print_description_line(w, "(DEC) Let selective erase clear the following characters.");
            return;
        case 1:
            print_description_line(w,
                                   "(DEC) Protect the following characters from selective erase.");
            return;
        default: return;
    }
}

// DECCARA: CSI Pt ; Pl ; Pb ; Pr ; Ps... $ r.
VORSK_CSI_HANDLER(csi_do_deccara) {
    const Rectangle r = rectangle_at(a, 0);
    print_description_line(w, "(DEC) Change the attributes of %s:", r.text);
    if (a.count <= 4) {
        print_description(w, {" ", sgr_classic_text(0)});
        return;
    }
    for (std::size_t i = 4; i < a.count; ++i) {
        const std::string_view text = sgr_classic_text(a.param(i));
        if (!text.empty()) print_description(w, {" ", text});
    }
}

// DECRARA: CSI Pt ; Pl ; Pb ; Pr ; Ps... $ t.
VORSK_CSI_HANDLER(csi_do_decrara) {
    // 0, the default, takes in all the others.
    Phrase names;
    bool all = a.count <= 4;
    for (std::size_t i = 4; i < a.count; ++i) all = all || a.param(i) == 0;
    for (std::size_t i = 4; i < a.count && !all; ++i) {
        if (const char* name = name_of(reversed_attributes, a.param(i))) names.add(name);
    }
    if (all) names.add("all attributes");
    if (names.items == 0) return;
    const Rectangle r = rectangle_at(a, 0);
    print_description_line(w, "(DEC) Reverse %s in %s.", names.text, r.text);
}

// DECCRA: CSI Pts ; Pls ; Pbs ; Prs ; Pps ; Ptd ; Pld ; Ppd $ v.
VORSK_CSI_HANDLER(csi_do_deccra) {
    const Rectangle r = rectangle_at(a, 0);
    const std::uint32_t top = a.param(5, 1) == 0 ? 1 : a.param(5, 1);
    const std::uint32_t left = a.param(6, 1) == 0 ? 1 : a.param(6, 1);
    print_description_line(w, "(DEC) Copy %s to line %u, column %u.", r.text, top, left);
}

// DECFRA: CSI Pch ; Pt ; Pl ; Pb ; Pr $ x.
VORSK_CSI_HANDLER(csi_do_decfra) {
    const std::uint32_t c = a.param(0);
    const Rectangle r = rectangle_at(a, 1);
    if (c == ' ') {
        print_description_line(w, "(DEC) Fill %s with spaces.", r.text);
    } else if (c > ' ' && c < 0x7f) {
        print_description_line(w, "(DEC) Fill %s with \"%c\".", r.text, static_cast<int>(c));
    } else {
        print_description_line(w, "(DEC) Fill %s with character %u.", r.text, c);
    }
}

// DECERA and DECSERA: CSI Pt ; Pl ; Pb ; Pr $ z and $ {.
VORSK_CSI_HANDLER(csi_do_decera) {
    const Rectangle r = rectangle_at(a, 0);
    if (a.final_byte() == 'z') {
        print_description_line(w, "(DEC) Erase %s.", r.text);
    } else {
        print_description_line(w, "(DEC) Selectively erase %s.", r.text);
    }
}

// DECSACE: CSI Ps * x.
VORSK_CSI_HANDLER(csi_do_decsace) {
    if (a.param(0) <= 1) {
        print_description_line(w, "(DEC) Make attribute changes apply to the character stream.");
    } else if (a.param(0) == 2) {
        print_description_line(w, "(DEC) Make attribute changes apply to a rectangle.");
    }
}

}  // namespace vorsk
