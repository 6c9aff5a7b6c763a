// Descriptions of the control functions of current terminals.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "vocab/extended_handlers.h"
#include "vocab/modes.h"
#include "vocab/sgr.h"

namespace vorsk {
namespace {

constexpr const char* cursor_styles[] = {
    "(DEC) Set the cursor to a blinking block (the default).",
    "(DEC) Set the cursor to a blinking block.",
    "(DEC) Set the cursor to a steady block.",
    "(DEC) Set the cursor to a blinking underline.",
    "(DEC) Set the cursor to a steady underline.",
    "(Xterm) Set the cursor to a blinking bar.",
    "(Xterm) Set the cursor to a steady bar.",
};

// A text by number, in tables of a few entries.
struct Named {
    std::uint32_t number = 0;
    const char* text = nullptr;
};

template <std::size_t N>
const char* name_of(const Named (&table)[N], std::uint32_t number) {
    for (const Named& n : table) {
        if (n.number == number) return n.text;
    }
    return nullptr;
}

constexpr const char* mode_states[] = {
    "is not recognized", "is set", "is reset", "is permanently set", "is permanently reset",
};

// DA1's answer: the terminal's class, then what it has.
constexpr Named da1_levels[] = {
    {61, "VT100-class terminal (level 1)"}, {62, "VT220-class terminal (level 2)"},
    {63, "VT320-class terminal (level 3)"}, {64, "VT420-class terminal (level 4)"},
    {65, "VT500-class terminal (level 5)"},
};
constexpr Named da1_features[] = {
    {1, "132 columns"},
    {2, "printer"},
    {3, "ReGIS graphics"},
    {4, "sixel graphics"},
    {6, "selective erase"},
    {8, "user-defined keys"},
    {9, "national replacement character sets"},
    {15, "technical character set"},
    {16, "locator port"},
    {17, "terminal state interrogation"},
    {18, "user windows"},
    {21, "horizontal scrolling"},
    {22, "ANSI color"},
    {28, "rectangular editing"},
    {29, "ANSI text locator"},
};
// DA2's answer: the terminal type.
constexpr Named da2_types[] = {
    {0, "VT100"},  {1, "VT220"},  {2, "VT240"},  {18, "VT330"}, {19, "VT340"}, {24, "VT320"},
    {32, "VT382"}, {41, "VT420"}, {61, "VT510"}, {64, "VT520"}, {65, "VT525"},
};

// xterm's key modifier resources, by the first value of XTMODKEYS.
constexpr Named modify_keys_resources[] = {
    {0, "modifyKeyboard"},    {1, "modifyCursorKeys"}, {2, "modifyFunctionKeys"},
    {3, "modifyKeypadKeys"},  {4, "modifyOtherKeys"},  {6, "modifyModifierKeys"},
    {7, "modifySpecialKeys"},
};

// The attributes XTPUSHSGR can save, by number.
constexpr Named pushed_attributes[] = {
    {1, "bold"},
    {2, "faint"},
    {3, "italic"},
    {4, "underline"},
    {5, "blink"},
    {7, "inverse"},
    {8, "invisible"},
    {9, "crossed-out"},
    {21, "double underline"},
    {30, "foreground color"},
    {31, "background color"},
};
// The attributes DECRARA reverses.
constexpr Named reversed_attributes[] = {
    {1, "bold"},
    {4, "underline"},
    {5, "blink"},
    {7, "negative image"},
};

// The kitty keyboard protocol's flag bits.
constexpr const char* keyboard_flags[] = {
    "Disambiguate escape codes",       "Report event types",     "Report alternate keys",
    "Report all keys as escape codes", "Report associated text",
};

// The DEC status requests of CSI ? Ps n.
constexpr Named dec_status_requests[] = {
    {6, "(DEC) Request the extended cursor position report (DECXCPR)."},
    {15, "(DEC) Request the printer status."},
    {25, "(DEC) Request the user-defined key status."},
    {26, "(DEC) Request the keyboard status."},
    {55, "(DEC) Request the locator status."},
    {56, "(DEC) Request the locator type."},
    {62, "(DEC) Request the macro space."},
    {63, "(DEC) Request the memory checksum."},
    {75, "(DEC) Request the data integrity status."},
    {85, "(DEC) Request the multi-session status."},
    {996, "(contour) Request the color scheme preference (dark or light)."},
};

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

// The flag bits set in flags, one line each under the line before.
void print_keyboard_flags(LineWriter& w, std::uint32_t flags) {
    for (std::size_t bit = 0; bit < 32; ++bit) {
        const std::uint32_t mask = std::uint32_t{1} << bit;
        if ((flags & mask) == 0) continue;
        if (bit < std::size(keyboard_flags)) {
            print_description_line(w, " %s (%u).", keyboard_flags[bit], mask);
        } else {
            print_description_line(w, " Flag %u is not defined.", mask);
        }
    }
}

// "lines 2 to 10, columns 1 to 80" of a rectangle given top, left, bottom
// and right, where 0 is the default: the first line or column, or the last.
struct Rectangle {
    char text[80] = {};
};
Rectangle rectangle_of(std::uint32_t top, std::uint32_t left, std::uint32_t bottom,
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
Rectangle rectangle_at(const CsiArguments& a, std::size_t first) {
    return rectangle_of(a.param(first), a.param(first + 1), a.param(first + 2), a.param(first + 3));
}

bool given(const CsiArguments& a, std::size_t i) {
    return i < a.sequence->n_params && a.sequence->params[i].present;
}

// Whether the sequence has no parameter at all: "[ s" and "[ ; s" differ.
bool bare(const CsiArguments& a) {
    return a.sequence->n_params == 0 || (a.sequence->n_params == 1 && !given(a, 0));
}

}  // namespace

// DECSCUSR: CSI Ps SP q.
VORSK_CSI_HANDLER(csi_do_decscusr) {
    const std::uint32_t style = a.param(0);
    if (style < std::size(cursor_styles)) {
        print_description_line(w, "%s", cursor_styles[style]);
    } else {
        print_description_line(w, "Cursor style %u is not defined.", style);
    }
}

// DECSTR: CSI ! p, which takes no parameters.
VORSK_CSI_HANDLER(csi_do_decstr) {
    if (bare(a)) print_description_line(w, "(DEC) Perform a soft terminal reset.");
}

// DECSCL: CSI Pl ; Pc " p. Levels 61 to 65 are the VT100 to the VT500; a
// VT100 has only 7-bit controls, the others 8-bit ones unless Pc is 1.
VORSK_CSI_HANDLER(csi_do_decscl) {
    const std::uint32_t level = a.param(0);
    if (level < 61 || level > 65 || a.count > 2) return;
    if (level == 61) {
        print_description_line(w, "(DEC) Set conformance level 1 (VT100).");
        return;
    }
    const std::uint32_t controls = a.param(1);
    if (controls > 2) return;
    print_description_line(w, "(DEC) Set conformance level %u (VT%u00) with %s controls.",
                           level - 60, level - 60, controls == 1 ? "7-bit" : "8-bit");
}

// DECST8C: CSI ? 5 W.
VORSK_CSI_HANDLER(csi_do_decst8c) {
    if (a.param(0) == 5) print_description_line(w, "(DEC) Reset the tab stops to every 8 columns.");
}

// XTSMGRAPHICS: CSI ? Pi ; Pa ; Pv S, an item (the sixel color registers,
// the sixel or ReGIS geometry) and what to do with it.
VORSK_CSI_HANDLER(csi_do_xtsmgraphics) {
    constexpr const char* items[] = {"the number of sixel color registers",
                                     "the sixel graphics geometry", "the ReGIS graphics geometry"};
    constexpr const char* maxima[] = {"the most sixel color registers allowed",
                                      "the largest sixel graphics geometry",
                                      "the largest ReGIS graphics geometry"};
    const std::uint32_t item = a.param(0);
    if (item < 1 || item > 3) return;
    const char* what = items[item - 1];
    switch (a.param(1)) {
        case 1: print_description_line(w, "(Xterm) Request %s.", what); break;
        case 2: print_description_line(w, "(Xterm) Reset %s to its default.", what); break;
        case 3:
            if (item == 1 && a.count == 3) {
                print_description_line(w, "(Xterm) Set %s to %u.", what, a.param(2));
            } else if (item != 1 && a.count == 4) {
                print_description_line(w, "(Xterm) Set %s to %u by %u pixels.", what, a.param(2),
                                       a.param(3));
            }
            break;
        case 4: print_description_line(w, "(Xterm) Request %s.", maxima[item - 1]); break;
        default: break;
    }
}

// DECRQM: CSI Ps $ p and CSI ? Ps $ p.
VORSK_CSI_HANDLER(csi_do_decrqm) {
    const bool dec = a.sequence->marker == '?';
    const std::string_view name = mode_short_name(a.param(0), dec);
    const char* kind = dec ? "private mode" : "mode";
    if (!name.empty()) {
        print_description_line(w, "(DEC) Request the state of %s %u (%.*s).", kind, a.param(0),
                               static_cast<int>(name.size()), name.data());
    } else {
        print_description_line(w, "(DEC) Request the state of %s %u.", kind, a.param(0));
    }
}

// DECRPM: CSI ? Ps ; Pm $ y and CSI Ps ; Pm $ y.
VORSK_CSI_HANDLER(csi_do_decrpm) {
    const bool dec = a.sequence->marker == '?';
    const std::string_view name = mode_short_name(a.param(0), dec);
    const char* kind = dec ? "private mode" : "mode";
    if (a.param(1) >= std::size(mode_states)) return;
    const char* state = mode_states[a.param(1)];
    if (!name.empty()) {
        print_description_line(w, "(DEC) Report that %s %u (%.*s) %s.", kind, a.param(0),
                               static_cast<int>(name.size()), name.data(), state);
    } else {
        print_description_line(w, "(DEC) Report that %s %u %s.", kind, a.param(0), state);
    }
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

// REP: CSI Pn b.
VORSK_CSI_HANDLER(csi_do_rep) {
    const std::uint32_t n = amount(a, 0);
    print_description_line(w, "Repeat the preceding character %u time%s.", n, n == 1 ? "" : "s");
}

// XTVERSION: CSI > Ps q.
VORSK_CSI_HANDLER(csi_do_xtversion) {
    if (a.param(0) == 0)
        print_description_line(w, "(Xterm) Request the terminal's name and version.");
}

// DA1: CSI c, the request.
VORSK_CSI_HANDLER(csi_do_da1) {
    if (a.param(0) == 0) print_description_line(w, "Request the primary device attributes.");
}

// DA1's answer: CSI ? Pc ; Ps... c.
VORSK_CSI_HANDLER(csi_do_da1_answer) {
    const char* level = name_of(da1_levels, a.param(0));
    if (level == nullptr) return;
    print_description_line(w, "(DEC) Report a %s.", level);
    for (std::size_t i = 1; i < a.count; ++i) {
        if (const char* feature = name_of(da1_features, a.param(i))) {
            print_description_line(w, " With %s (%u).", feature, a.param(i));
        } else {
            print_description_line(w, " With feature %u.", a.param(i));
        }
    }
}

// DA2: CSI > c, the request, and CSI > Pp ; Pv ; Pc c, its answer.
VORSK_CSI_HANDLER(csi_do_da2) {
    if (a.count == 1) {
        if (a.param(0) == 0) {
            print_description_line(w, "(DEC) Request the terminal's type and firmware version.");
        }
        return;
    }
    if (const char* type = name_of(da2_types, a.param(0))) {
        print_description_line(w, "(DEC) Report terminal type %u (%s), firmware version %u.",
                               a.param(0), type, a.param(1));
    } else {
        print_description_line(w, "(DEC) Report terminal type %u, firmware version %u.", a.param(0),
                               a.param(1));
    }
}

// DA3: CSI = c.
VORSK_CSI_HANDLER(csi_do_da3) {
    if (a.param(0) == 0) print_description_line(w, "(DEC) Request the terminal unit ID.");
}

// XTMODKEYS: CSI > Pp ; Pv m sets a resource; without Pv it goes back to
// its initial value, and without any parameter all of them do.
VORSK_CSI_HANDLER(csi_do_xtmodkeys) {
    if (bare(a)) {
        print_description_line(w,
                               "(Xterm) Reset the key modifier options to their initial values.");
        return;
    }
    const char* resource = name_of(modify_keys_resources, a.param(0));
    if (resource == nullptr) return;
    if (given(a, 1)) {
        print_description_line(w, "(Xterm) Set %s to %u.", resource, a.param(1));
    } else {
        print_description_line(w, "(Xterm) Reset %s to its initial value.", resource);
    }
}

// XTQMODKEYS: CSI ? Pp m.
VORSK_CSI_HANDLER(csi_do_xtqmodkeys) {
    if (const char* resource = name_of(modify_keys_resources, a.param(0))) {
        print_description_line(w, "(Xterm) Request the value of %s.", resource);
    }
}

// XTPUSHSGR, XTPOPSGR and XTREPORTSGR: CSI Pm # {, CSI # }, CSI Pt;Pl;Pb;Pr # |.
VORSK_CSI_HANDLER(csi_do_xtpushsgr) {
    Phrase names;
    for (std::size_t i = 0; i < a.sequence->n_params && i < a.count; ++i) {
        if (const char* name = name_of(pushed_attributes, a.param(i))) names.add(name);
    }
    if (names.items == 0) {
        print_description_line(w, "(Xterm) Push the video attributes onto the stack.");
    } else {
        print_description_line(w, "(Xterm) Push these video attributes onto the stack:");
        print_description_line(w, " %s.", names.text);
    }
}
VORSK_CSI_HANDLER(csi_do_xtpopsgr) {
    print_description_line(w, "(Xterm) Pop the video attributes from the stack.");
}
VORSK_CSI_HANDLER(csi_do_xtreportsgr) {
    const Rectangle r = rectangle_at(a, 0);
    print_description_line(w, "(Xterm) Request the common attributes of %s.", r.text);
}

// XTPUSHCOLORS, XTPOPCOLORS and XTREPORTCOLORS: CSI Ps # P, Q and R.
VORSK_CSI_HANDLER(csi_do_xtcolors) {
    const std::uint32_t slot = a.param(0);
    switch (a.final_byte()) {
        case 'P':
            if (slot == 0) {
                print_description_line(w, "(Xterm) Push the palette colors onto the stack.");
            } else {
                print_description_line(w, "(Xterm) Store the palette colors in stack entry %u.",
                                       slot);
            }
            return;
        case 'Q':
            if (slot == 0) {
                print_description_line(w, "(Xterm) Pop the palette colors from the stack.");
            } else {
                print_description_line(w, "(Xterm) Restore the palette colors from stack entry %u.",
                                       slot);
            }
            return;
        default: print_description_line(w, "(Xterm) Request the palette stack position."); return;
    }
}

// The kitty keyboard protocol: CSI > flags u pushes, CSI < n u pops,
// CSI ? u asks (and CSI ? flags u answers), CSI = flags ; mode u sets.
VORSK_CSI_HANDLER(csi_do_kitty_keyboard) {
    const std::uint32_t flags = a.param(0);
    const char* end = flags == 0 ? "." : ":";
    switch (a.sequence->marker) {
        case '>':
            print_description_line(w, "(kitty) Push keyboard mode flags %u%s", flags, end);
            break;
        case '<': {
            const std::uint32_t n = flags == 0 ? 1 : flags;
            print_description_line(w, "(kitty) Pop %u keyboard mode entr%s.", n,
                                   n == 1 ? "y" : "ies");
            return;
        }
        case '?':
            if (bare(a)) {
                print_description_line(w, "(kitty) Request the keyboard mode flags.");
                return;
            }
            print_description_line(w, "(kitty) Report keyboard mode flags %u%s", flags, end);
            break;
        default:
            if (a.param(1) == 1) {
                print_description_line(w, "(kitty) Set the keyboard mode flags to %u%s", flags,
                                       end);
            } else if (a.param(1) == 2) {
                print_description_line(w, "(kitty) Turn on keyboard mode flags %u%s", flags, end);
            } else if (a.param(1) == 3) {
                print_description_line(w, "(kitty) Turn off keyboard mode flags %u%s", flags, end);
            } else {
                return;
            }
            break;
    }
    print_keyboard_flags(w, flags);
}

// CSI ? Ps n: the DEC status requests, and the color scheme's answer.
VORSK_CSI_HANDLER(csi_do_dec_dsr) {
    if (a.param(0) == 997) {
        if (a.param(1) == 1) print_description_line(w, "(contour) Report a dark color scheme.");
        if (a.param(1) == 2) print_description_line(w, "(contour) Report a light color scheme.");
        return;
    }
    if (a.count != 1) return;
    if (const char* text = name_of(dec_status_requests, a.param(0))) {
        print_description_line(w, "%s", text);
    }
}

// DECXCPR: CSI ? Pl ; Pc R, some terminals adding the page.
VORSK_CSI_HANDLER(csi_do_decxcpr) {
    if (a.count == 3) {
        print_description_line(w, "(DEC) Report that the cursor is at line %u, column %u, page %u.",
                               a.param(0), a.param(1), a.param(2));
    } else if (a.count == 2) {
        print_description_line(w, "(DEC) Report that the cursor is at line %u, column %u.",
                               a.param(0), a.param(1));
    }
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

// XTWINOPS: CSI Ps ; ... t. The classic operations read as without -X;
// these are the ones added since, and the in-band resize report.
VORSK_CSI_HANDLER(csi_do_xtwinops) {
    const std::uint32_t op = a.param(0);
    const std::uint32_t p1 = a.param(1);
    switch (op) {
        case 9:
            if (p1 == 2) {
                print_description_line(w, "(Xterm) Maximize the window vertically.");
                return;
            }
            if (p1 == 3) {
                print_description_line(w, "(Xterm) Maximize the window horizontally.");
                return;
            }
            break;
        case 10:
            if (p1 == 0) print_description_line(w, "(Xterm) Leave full-screen mode.");
            if (p1 == 1) print_description_line(w, "(Xterm) Enter full-screen mode.");
            if (p1 == 2) print_description_line(w, "(Xterm) Toggle full-screen mode.");
            return;
        case 13:
            if (p1 == 2) {
                print_description_line(w, "(Xterm) Request report on the text area position.");
                return;
            }
            break;
        case 14:
            if (p1 == 2) {
                print_description_line(
                    w, "(Xterm) Request report on the whole window size in pixels.");
                return;
            }
            break;
        case 15:
            print_description_line(w, "(Xterm) Request report on the screen size in pixels.");
            return;
        case 16:
            print_description_line(w,
                                   "(Xterm) Request report on the character cell size in pixels.");
            return;
        case 22:
        case 23: {
            constexpr const char* titles[] = {"the icon label and window title", "the icon label",
                                              "the window title"};
            if (p1 >= std::size(titles)) return;
            const bool push = op == 22;
            if (given(a, 2) && a.param(2) != 0) {
                print_description_line(w, "(Xterm) %s %s %s stack entry %u.",
                                       push ? "Save" : "Restore", titles[p1], push ? "in" : "from",
                                       a.param(2));
            } else {
                print_description_line(w, "(Xterm) %s %s %s the stack.", push ? "Push" : "Pop",
                                       titles[p1], push ? "onto" : "from");
            }
            return;
        }
        case 48:
            if (a.count == 5) {
                print_description_line(
                    w, "(foot) Report a resize to %u lines, %u columns (%u by %u pixels).", p1,
                    a.param(2), a.param(3), a.param(4));
            }
            return;
        default: break;
    }
    csi_do_winop(a, w);
}

}  // namespace vorsk
