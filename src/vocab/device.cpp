// The device and its reports: identification (DA1, DA2, DA3, XTVERSION),
// status and cursor reports, resets and conformance levels, graphics
// settings, the colour stack, and media copy.
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vocab/handlers.h"

namespace vorsk {
namespace {

constexpr auto media_copy_texts = std::to_array<const char*>({
    "Initiate transfer to a primary auxiliary device.",
    "Initiate transfer from a primary auxiliary device.",
    "Initiate transfer to a secondary auxiliary device.",
    "Initiate transfer from a secondary auxiliary device.",
    "Stop relay to a primary auxiliary device.",
    "Start relay to a primary auxiliary device.",
    "Stop relay to a secondary auxiliary device.",
    "Start relay to a secondary auxiliary device.",
});

// DEC's printer controls with "?"; 2 and 3 are not DEC's.
constexpr auto dec_media_copy_texts = std::to_array<const char*>({
    nullptr,
    "(DEC) Print current line.",
    nullptr,
    nullptr,
    "(DEC) Turn off autoprint mode.",
    "(DEC) Turn on autoprint mode.",
});

constexpr auto device_status_texts = std::to_array<const char*>({
    "Device reports ready.",
    "Device reports ready, send DSR request later.",
    "Device reports ready, will send DSR later.",
    "Device reports error, send DSR request later.",
    "Device reports error, will send DSR later.",
    "DSR requested.",
    "Request cursor position report.",
});

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

}  // namespace

// DA: ECMA-48 8.3.24. Only the request is described; the terminal's answer
// carries its own values.
VORSK_CSI_HANDLER(csi_do_da) {
    if (a.param(0) != 0) {
        return;
    }
    print_description(w, {"Request terminal identification."});
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

// XTVERSION: CSI > Ps q.
VORSK_CSI_HANDLER(csi_do_xtversion) {
    if (a.param(0) == 0)
        print_description_line(w, "(Xterm) Request the terminal's name and version.");
}

// DSR: ECMA-48 8.3.35
VORSK_CSI_HANDLER(csi_do_dsr) {
    print_indexed_text(w, device_status_texts, a.param(0));
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

// CPR: ECMA-48 8.3.14, the terminal's answer to DSR 6
VORSK_CSI_HANDLER(csi_do_cpr) {
    assert(a.count == 2);
    print_description_line(w, "Report that the cursor is located at line %u, column %u", a.param(0),
                           a.param(1));
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

// MC: ECMA-48 8.3.82
VORSK_CSI_HANDLER(csi_do_mc) {
    print_indexed_text(w, media_copy_texts, a.param(0));
}

// MC with "?": DEC's printer controls.
VORSK_CSI_HANDLER(csi_do_dec_mc) {
    print_indexed_text(w, dec_media_copy_texts, a.param(0));
}

}  // namespace vorsk
