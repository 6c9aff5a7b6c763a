// Descriptions of the mode-switching sequences: SM and RM for the ECMA-48
// standard modes and the DEC private modes, the xterm save and restore of
// private modes, and the DEC scrolling region.
#include <cstddef>
#include <cstdint>

#include "csi/handlers.h"
#include "csi/private_modes.h"

namespace vorsk {

namespace {

// One ECMA-48 mode; an empty record (no acronym) stands for a number the
// standard leaves unassigned.
struct ModeInfo {
    std::string_view acronym = {};
    std::string_view name = {};
    std::string_view reset_text = {};  // the state RM selects
    std::string_view set_text = {};    // the state SM selects
};

constexpr ModeInfo standard_modes[] = {
    {},
    {.acronym = "GATM",
     .name = "GUARDED AREA TRANSFER MODE",
     .reset_text = "GUARD",
     .set_text = "ALL"},
    {.acronym = "KAM",
     .name = "KEYBOARD ACTION MODE",
     .reset_text = "ENABLED",
     .set_text = "DISABLED"},
    {.acronym = "CRM",
     .name = "CONTROL REPRESENTATION MODE",
     .reset_text = "CONTROL",
     .set_text = "GRAPHIC"},
    {.acronym = "IRM",
     .name = "INSERTION REPLACEMENT MODE",
     .reset_text = "REPLACE",
     .set_text = "INSERT"},
    {.acronym = "SRTM",
     .name = "STATUS REPORT TRANSFER MODE",
     .reset_text = "NORMAL",
     .set_text = "DIAGNOSTIC"},
    {.acronym = "ERM", .name = "ERASURE MODE", .reset_text = "PROTECT", .set_text = "ALL"},
    {.acronym = "VEM",
     .name = "LINE EDITING MODE",
     .reset_text = "FOLLOWING",
     .set_text = "PRECEDING"},
    {.acronym = "BDSM",
     .name = "BI-DIRECTIONAL SUPPORT MODE",
     .reset_text = "EXPLICIT",
     .set_text = "IMPLICIT"},
    {.acronym = "DCSM",
     .name = "DEVICE COMPONENT SELECT MODE",
     .reset_text = "PRESENTATION",
     .set_text = "DATA"},
    {.acronym = "HEM",
     .name = "CHARACTER EDITING MODE",
     .reset_text = "FOLLOWING",
     .set_text = "PRECEDING"},
    {.acronym = "PUM",
     .name = "POSITIONING UNIT MODE",
     .reset_text = "CHARACTER",
     .set_text = "SIZE"},
    {.acronym = "SRM",
     .name = "SEND/RECEIVE MODE",
     .reset_text = "MONITOR",
     .set_text = "SIMULTANEOUS"},
    {.acronym = "FEAM",
     .name = "FORMAT EFFECTOR ACTION MODE",
     .reset_text = "EXECUTE",
     .set_text = "STORE"},
    {.acronym = "FETM",
     .name = "FORMAT EFFECTOR TRANSFER MODE",
     .reset_text = "INSERT",
     .set_text = "EXCLUDE"},
    {.acronym = "MATM",
     .name = "MULTIPLE AREA TRANSFER MODE",
     .reset_text = "SINGLE",
     .set_text = "MULTIPLE"},
    {.acronym = "TTM",
     .name = "TRANSFER TERMINATION MODE",
     .reset_text = "CURSOR",
     .set_text = "ALL"},
    {.acronym = "SATM",
     .name = "SELECTED AREA TRANSFER MODE",
     .reset_text = "SELECT",
     .set_text = "ALL"},
    {.acronym = "TSM",
     .name = "TABULATION STOP MODE",
     .reset_text = "MULTIPLE",
     .set_text = "SINGLE"},
    {},
    {},
    {.acronym = "GRCM",
     .name = "GRAPHIC RENDITION COMBINATION GRCM",
     .reset_text = "REPLACING",
     .set_text = "CUMULATIVE"},
    {.acronym = "ZDM", .name = "ZERO DEFAULT MODE", .reset_text = "ZERO", .set_text = "DEFAULT"},
};

constexpr std::uint32_t MAX_STANDARD_MODE = 22;

static_assert(sizeof standard_modes / sizeof standard_modes[0] == MAX_STANDARD_MODE + 1);
static_assert(standard_modes[0].acronym.empty() && standard_modes[19].acronym.empty() &&
              standard_modes[20].acronym.empty());

// One DEC (or Att610, xterm, rxvt) private mode, found by its exact number.
// Sorted by mode number. Two texts run on to a second physical line, which
// starts with the description prefix's double quote so it reads as one line.
constexpr PrivateModeInfo private_modes[] = {
    {.mode = 1, .set_text = "(DEC) Cursor key mode.", .reset_text = "(DEC) Cursor key mode off."},
    {.mode = 2,
     .set_text = "(XTerm) Designate US-ASCII for charater sets G0-G3, and set VT100 mode.",
     .reset_text = "(DEC) Designate VT52 mode."},
    {.mode = 3,
     .set_text = "(DEC) 132 columns per line.",
     .reset_text = "(DEC) 80 columns per line."},
    {.mode = 4,
     .set_text = "(DEC) Smooth scrolling: allow no more than 6 lines to be added\n\"  to the "
                 "screen per second.",
     .reset_text = "(DEC) Fast scrolling: lines are added to the screen as fast as possible."},
    {.mode = 5,
     .set_text = "(DEC) Reverse video (dark on light).",
     .reset_text = "(DEC) Normal video (light on dark)."},
    {.mode = 7,
     .set_text = "(DEC) Text auto-wrap mode.",
     .reset_text = "(DEC) Text auto-wrap mode off."},
    {.mode = 9,
     .set_text = "(XTerm) Send mouse X & Y on button press.",
     .reset_text = "(XTerm) Don't send mouse X & Y on button press."},
    {.mode = 10, .set_text = "(Rxvt) Show toolbar.", .reset_text = "(Rxvt) Hide toolbar."},
    {.mode = 12,
     .set_text = "(Att610) Start blinking cursor.",
     .reset_text = "(Att610) Stop blinkin cursor."},
    {.mode = 25, .set_text = "(DEC) Show cursor.", .reset_text = "(DEC) Hide cursor."},
    {.mode = 30,
     .set_text = "(Rxvt) Show scrollbar.",
     .reset_text = "(Rxvt) Don't show scrollbar."},
    {.mode = 40,
     .set_text = "(Xterm) Allow 80 -> 132 mode.",
     .reset_text = "(Xterm) Disallow 80 -> 132 mode."},
    {.mode = 41,
     .set_text = "(Xterm) Activate workaround for more(1) bug.",
     .reset_text = "(Xterm) Disable workaround for more(1) bug."},
    {.mode = 42,
     .set_text = "(DEC) National character set mode.",
     .reset_text = "(DEC) Multinational character set mode."},
    {.mode = 44,
     .set_text = "(Xterm) Turn on margin bell.",
     .reset_text = "(Xterm) Turn off margin bell."},
    {.mode = 45,
     .set_text = "(Xterm) Reverse-wraparound mode.",
     .reset_text = "(Xterm) Reverse-wraparound mode off."},
    {.mode = 46, .set_text = "(Xterm) Start logging.", .reset_text = "(Xterm) Stop logging."},
    {.mode = 47,
     .set_text = "(Xterm) Use alternate screen buffer.",
     .reset_text = "(Xterm) Use normal screen buffer."},
    {.mode = 66, .set_text = "(DEC) Application keypad.", .reset_text = "(DEC) Numeric keypad."},
    {.mode = 67,
     .set_text = "(DEC) Backarrow key sends backspace.",
     .reset_text = "(DEC) Backarrow key sends delete."},
    {.mode = 1000,
     .set_text = "(Xterm) Send mouse X & Y on button press and release.",
     .reset_text = "(Xterm) Don't send mouse X & Y on button press and release."},
    {.mode = 1001,
     .set_text = "(Xterm) Activate hilite mouse tracking.",
     .reset_text = "(Xterm) Disable hilite mouse tracking."},
    {.mode = 1002,
     .set_text = "(Xterm) Activate cell motion mouse tracking.",
     .reset_text = "(Xterm) Disable cell motion mouse tracking."},
    {.mode = 1003,
     .set_text = "(Xterm) Activate all motion mouse tracking.",
     .reset_text = "(Xterm) Disable all motion mouse tracking."},
    {.mode = 1004,
     .set_text = "(Xterm) Send FocusIn/FocusOut events.",
     .reset_text = "(Xterm) Don't send FocusIn/FocusOut events."},
    {.mode = 1010,
     .set_text = "(Rxvt) Scroll to bottom on tty output.",
     .reset_text = "(Rxvt) Don't scroll to bottom on tty output."},
    {.mode = 1011,
     .set_text = "(Rxvt) Scroll to bottom on key press.",
     .reset_text = "(Rxvt) Don't scroll to bottom on key press."},
    {.mode = 1034,
     .set_text = "(Xterm) Interpret meta key, sets eighth bit.",
     .reset_text = "(Xterm) Don't interpret meta key."},
    {.mode = 1035,
     .set_text = "(Xterm) Enable special modifiers for Alt and NumLock keys.",
     .reset_text = "(Xterm) Disable special modifiers for Alt and NumLock keys."},
    {.mode = 1036,
     .set_text = "(Xterm) Send ESC when Meta modifies a key.",
     .reset_text = "(Xterm) Don't send ESC when Meta modifies a key."},
    {.mode = 1037,
     .set_text = "(Xterm) Send DEL from the editing-keypad Delete key.",
     .reset_text = "(Xterm) Send VT220 Remove from the editing-keypad Delete key."},
    {.mode = 1039,
     .set_text = "(Xterm) Send ESC when Alt modifies a key.",
     .reset_text = "(Xterm) Don't send ESC when Alt modifies a key."},
    {.mode = 1040,
     .set_text = "(Xterm) Keep selection even if not highlighted.",
     .reset_text = "(Xterm) Do not keep selection even if not highlighted."},
    {.mode = 1041,
     .set_text = "(Xterm) Use the CLIPBOARD selection.",
     .reset_text = "(Xterm) Don't use the CLIPBOARD selection."},
    {.mode = 1042,
     .set_text = "(Xterm) Enable Urgency window manager hint when BEL is received.",
     .reset_text = "(Xterm) Disable Urgency window manager hint when BEL is received."},
    {.mode = 1043,
     .set_text = "(Xterm) Enable raising of the window when BEL is received.",
     .reset_text = "(Xterm) Disable raising of the window when BEL is received."},
    {.mode = 1047,
     .set_text = "(Xterm) Use the alternate screen buffer.",
     .reset_text = "(Xterm) Use the normal screen buffer."},
    {.mode = 1048,
     .set_text = "(Xterm) Save the cursor position.",
     .reset_text = "(Xterm) Restore the cursor position."},
    {.mode = 1049,
     .set_text = "(Xterm) Save the cursor position and use the alternate screen buffer,\n\"  "
                 "clearing it first.",
     .reset_text = "(Xterm) Leave the alternate screen buffer and restore the cursor."},
    {.mode = 2004,
     .set_text = "(Xterm) Set bracketed paste mode.",
     .reset_text = "(Xterm) Reset bracketed paste mode."},
};

static_assert(modes_sorted_and_complete(private_modes), "the search needs ascending mode numbers");

}  // namespace

// The classic texts first; with -X, the modes current terminals added.
const PrivateModeInfo* find_private_mode(std::uint32_t mode, bool extended) {
    const PrivateModeInfo* info = find_mode(private_modes, mode);
    if (info == nullptr && extended) info = find_extended_private_mode(mode);
    return info;
}

bool standard_mode_name(std::uint32_t mode, std::string_view* acronym, std::string_view* name) {
    if (mode > MAX_STANDARD_MODE || standard_modes[mode].acronym.empty()) return false;
    *acronym = standard_modes[mode].acronym;
    *name = standard_modes[mode].name;
    return true;
}

static void describe_private_mode(LineWriter& w, std::uint32_t mode, bool set, bool extended) {
    const PrivateModeInfo* info = find_private_mode(mode, extended);
    if (info != nullptr) print_description(w, {set ? info->set_text : info->reset_text});
}

// SM, RM: ECMA-48 8.3.125, 8.3.106
VORSK_CSI_HANDLER(csi_do_sm) {
    const bool set = a.final_byte() == 'h';
    // One bad number does not hide the others: each value is its own mode.
    for (std::size_t i = 0; i < a.count; ++i) {
        if (a.param(i) > MAX_STANDARD_MODE) continue;
        const ModeInfo& m = standard_modes[a.param(i)];
        if (m.acronym.empty()) continue;
        print_description(w, {m.name, " (", m.acronym, ") -> ", set ? m.set_text : m.reset_text});
    }
}

// SM and RM with "?": DEC private modes.
VORSK_CSI_HANDLER(csi_do_private_modes) {
    const bool set = a.final_byte() == 'h';
    for (std::size_t i = 0; i < a.count; ++i) describe_private_mode(w, a.param(i), set, a.extended);
}

// "r" and "s" with "?": xterm's restore and save of private modes, which
// both name each mode by its set text.
VORSK_CSI_HANDLER(csi_do_save_modes) {
    if (a.final_byte() == 'r') {
        print_description_line(w, "*** (Xterm) Restore saved settings for specified modes:");
    } else {
        print_description_line(w, "*** (Xterm) Save current state of specified modes:");
    }
    for (std::size_t i = 0; i < a.count; ++i)
        describe_private_mode(w, a.param(i), true, a.extended);
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
