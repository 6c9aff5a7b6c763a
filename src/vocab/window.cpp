// Descriptions of the dtterm and xterm window operations (CSI ... t) and of
// DEC's locator protocol: DECELR, DECSLE, DECRQLP and the DECLRP report.
#include <cassert>
#include <cstddef>
#include <cstdint>

#include "vocab/handlers.h"

namespace vorsk {

namespace {

constexpr const char* locator_event_texts[] = {
    "Only respond to explicit locator report requests.",
    "Report button-down transitions.",
    "Do not report button-down transitions.",
    "Report button-up transitions.",
    "Do not report button-up transitions.",
};

// The leading blank indents the unit under the DECELR line before it.
constexpr const char* locator_unit_texts[] = {
    " Report position in character cells.",
    " Report position in pixels.",
    " Report position in character cells.",
};
static_assert(sizeof locator_unit_texts / sizeof locator_unit_texts[0] == 3,
              "DECELR's units 0 to 2");

struct LocatorButton {
    std::uint32_t bit = 0;
    const char* word = nullptr;
};

// DEC numbers the buttons from the right.
constexpr LocatorButton locator_buttons[] = {
    {.bit = 1, .word = "right"},
    {.bit = 2, .word = "middle"},
    {.bit = 4, .word = "left"},
    {.bit = 8, .word = "M4"},
};

// Copies s to cur and returns the end of the copy; the caller bounds it.
char* append(char* cur, const char* s) {
    while (*s != '\0') *cur++ = *s++;
    return cur;
}

}  // namespace

VORSK_CSI_HANDLER(csi_do_winop) {
    if (a.count == 0) return;
    std::uint32_t p0 = a.param(0);
    switch (p0) {
        case 0: return;
        case 1: print_description_line(w, "(dtterm) De-iconify window."); return;
        case 2: print_description_line(w, "(dtterm) Iconify window."); return;
        case 3:
            if (a.count >= 3) {
                print_description_line(w, "(dtterm) Move window to [%u, %u].", a.param(1),
                                       a.param(2));
            }
            return;
        case 4:
            if (a.count >= 3) {
                print_description_line(
                    w, "(dtterm) Resize the window to height %u and width %u in pixels.",
                    a.param(1), a.param(2));
            }
            return;
        case 5:
            print_description_line(w,
                                   "(dtterm) Raise the window to the front of the stacking order.");
            return;
        case 6:
            print_description_line(
                w, "(dtterm) Lower the xterm window to the bottom of the stacking order.");
            return;
        case 7: print_description_line(w, "(dtterm) Refresh the window."); return;
        case 8:
            if (a.count >= 3) {
                print_description_line(
                    w, "(dtterm) Resize the text area to height %u and width %u in characters.",
                    a.param(1), a.param(2));
            }
            return;
        case 9:
            if (a.count < 2) return;
            if (a.param(1) == 1) print_description_line(w, "(Xterm) Maximize window.");
            if (a.param(1) == 0) print_description_line(w, "(Xterm) Restore maximized window.");
            return;
        case 11:
            print_description_line(
                w, "(dtterm) Request report on the window state (iconified/not iconified).");
            return;
        case 13:
            print_description_line(w, "(dtterm) Request report on the window position.");
            return;
        case 14:
            print_description_line(w, "(dtterm) Request report on window size in pixels.");
            return;
        case 18:
            print_description_line(w, "(dtterm) Request report on text area size in characters.");
            return;
        case 19:
            print_description_line(
                w, "(Xterm) Request report on the whole screen size in characters.");
            return;
        case 20:
            print_description_line(w, "(dtterm) Request report of the window's icon label.");
            return;
        case 21:
            print_description_line(w, "(dtterm) Request report of the window's title.");
            return;
        default:
            // 10, 12, 15 to 17, 22 and 23 are not described; from 24 on the
            // value is a number of lines (DECSLPP).
            if (p0 >= 24) print_description_line(w, "(Xterm) Resize the window to %u lines.", p0);
            return;
    }
}

VORSK_CSI_HANDLER(csi_do_decelr) {
    assert(a.count == 2);
    if (a.param(0) > 2 || a.param(1) > 2) return;
    if (a.param(0) == 0) {
        print_description_line(w, "Disable locator reports.");
        return;
    }
    if (a.param(0) == 1) {
        print_description_line(w, "Enable locator reports.");
    } else {
        print_description_line(w, "Enable a single locator report.");
    }
    print_description_line(w, "%s", locator_unit_texts[a.param(1)]);
}

VORSK_CSI_HANDLER(csi_do_decsle) {
    if (a.count == 0) return;
    for (std::size_t i = 0; i < a.count; ++i) {
        if (a.param(i) < sizeof locator_event_texts / sizeof locator_event_texts[0]) {
            print_description_line(w, "%s", locator_event_texts[a.param(i)]);
        }
    }
}

VORSK_CSI_HANDLER(csi_do_decrqlp) {
    if (a.param(0) > 1) return;
    print_description_line(w, "Request a single DECLRP locator report.");
}

// The locator report: event, button mask, row, column and page.
VORSK_CSI_HANDLER(csi_do_decmouse) {
    if (a.count < 4) return;
    std::uint32_t mask = a.param(1);
    char downs[100];
    const char* buttons = "";
    if (mask != 0) {
        char* cur = append(downs, " [down:");
        for (const LocatorButton& b : locator_buttons) {
            if ((mask & b.bit) == 0) continue;
            if (cur[-1] != ':') *cur++ = '/';
            cur = append(cur, b.word);
        }
        // The pointer difference is never negative here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
        assert(cur - downs < sizeof downs);
#pragma GCC diagnostic pop
        *cur++ = ']';
        *cur = '\0';
        buttons = downs;
    }
    print_description_line(w, "(DEC) Mouse%s at [%u,%u].", buttons, a.param(2), a.param(3));
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
