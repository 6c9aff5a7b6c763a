// The modes of SM and RM, with and without "?": their one table each,
// their descriptions, xterm's save and restore of private modes, and the
// DEC scrolling region.
#include "vocab/modes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "vocab/handlers.h"

namespace vorsk {
namespace {

// Sorted by mode number. The classic texts of the ECMA-48 modes name the
// mode and the state it selects; extended mode says what the modes that
// programs use do.
constexpr StandardMode standard_modes[] = {
    {.mode = 1,
     .acronym = "GATM",
     .name = "GUARDED AREA TRANSFER MODE",
     .reset_text = "GUARD",
     .set_text = "ALL"},
    {.mode = 2,
     .acronym = "KAM",
     .name = "KEYBOARD ACTION MODE",
     .reset_text = "ENABLED",
     .set_text = "DISABLED",
     .set_text_x = "(KAM) Lock the keyboard.",
     .reset_text_x = "(KAM) Unlock the keyboard.",
     .short_name = "keyboard action"},
    {.mode = 3,
     .acronym = "CRM",
     .name = "CONTROL REPRESENTATION MODE",
     .reset_text = "CONTROL",
     .set_text = "GRAPHIC"},
    {.mode = 4,
     .acronym = "IRM",
     .name = "INSERTION REPLACEMENT MODE",
     .reset_text = "REPLACE",
     .set_text = "INSERT",
     .set_text_x = "(IRM) Insert mode: characters written push the rest of the line to the right.",
     .reset_text_x = "(IRM) Replace mode: characters written replace those under the cursor.",
     .short_name = "insert"},
    {.mode = 5,
     .acronym = "SRTM",
     .name = "STATUS REPORT TRANSFER MODE",
     .reset_text = "NORMAL",
     .set_text = "DIAGNOSTIC"},
    {.mode = 6,
     .acronym = "ERM",
     .name = "ERASURE MODE",
     .reset_text = "PROTECT",
     .set_text = "ALL"},
    {.mode = 7,
     .acronym = "VEM",
     .name = "LINE EDITING MODE",
     .reset_text = "FOLLOWING",
     .set_text = "PRECEDING"},
    {.mode = 8,
     .acronym = "BDSM",
     .name = "BI-DIRECTIONAL SUPPORT MODE",
     .reset_text = "EXPLICIT",
     .set_text = "IMPLICIT"},
    {.mode = 9,
     .acronym = "DCSM",
     .name = "DEVICE COMPONENT SELECT MODE",
     .reset_text = "PRESENTATION",
     .set_text = "DATA"},
    {.mode = 10,
     .acronym = "HEM",
     .name = "CHARACTER EDITING MODE",
     .reset_text = "FOLLOWING",
     .set_text = "PRECEDING"},
    {.mode = 11,
     .acronym = "PUM",
     .name = "POSITIONING UNIT MODE",
     .reset_text = "CHARACTER",
     .set_text = "SIZE"},
    {.mode = 12,
     .acronym = "SRM",
     .name = "SEND/RECEIVE MODE",
     .reset_text = "MONITOR",
     .set_text = "SIMULTANEOUS",
     .set_text_x = "(SRM) Local echo off: typed characters show only as the host echoes them.",
     .reset_text_x = "(SRM) Local echo on: typed characters show as they are typed.",
     .short_name = "send/receive"},
    {.mode = 13,
     .acronym = "FEAM",
     .name = "FORMAT EFFECTOR ACTION MODE",
     .reset_text = "EXECUTE",
     .set_text = "STORE"},
    {.mode = 14,
     .acronym = "FETM",
     .name = "FORMAT EFFECTOR TRANSFER MODE",
     .reset_text = "INSERT",
     .set_text = "EXCLUDE"},
    {.mode = 15,
     .acronym = "MATM",
     .name = "MULTIPLE AREA TRANSFER MODE",
     .reset_text = "SINGLE",
     .set_text = "MULTIPLE"},
    {.mode = 16,
     .acronym = "TTM",
     .name = "TRANSFER TERMINATION MODE",
     .reset_text = "CURSOR",
     .set_text = "ALL"},
    {.mode = 17,
     .acronym = "SATM",
     .name = "SELECTED AREA TRANSFER MODE",
     .reset_text = "SELECT",
     .set_text = "ALL"},
    {.mode = 18,
     .acronym = "TSM",
     .name = "TABULATION STOP MODE",
     .reset_text = "MULTIPLE",
     .set_text = "SINGLE"},
    {.mode = 20,
     .extended_only = true,
     .acronym = "LNM",
     .name = "LINE FEED/NEW LINE MODE",
     .reset_text = "LINE FEED",
     .set_text = "NEW LINE",
     .set_text_x =
         "(LNM) New line mode: LF, VT and FF return the carriage too, and Return sends CR LF.",
     .reset_text_x = "(LNM) Line feed mode: LF, VT and FF only move down, and Return sends CR.",
     .short_name = "line feed/new line"},
    {.mode = 21,
     .acronym = "GRCM",
     .name = "GRAPHIC RENDITION COMBINATION GRCM",
     .reset_text = "REPLACING",
     .set_text = "CUMULATIVE"},
    {.mode = 22,
     .acronym = "ZDM",
     .name = "ZERO DEFAULT MODE",
     .reset_text = "ZERO",
     .set_text = "DEFAULT"},
};

// Sorted by mode number: the classic modes and those current terminals
// define (xterm's, the DEC VT420-VT520 hardware modes, newer terminals'),
// each text tagged with the family that defined it. Two classic texts run
// on to a second physical line, which starts with the description
// prefix's double quote so it reads as one line.
constexpr PrivateMode private_modes[] = {
    {.mode = 1,
     .set_text = "(DEC) Cursor key mode.",
     .reset_text = "(DEC) Cursor key mode off.",
     .set_text_x = "(DEC) Cursor keys send application sequences (Esc O A for the up arrow).",
     .reset_text_x = "(DEC) Cursor keys send normal sequences (Esc [ A for the up arrow).",
     .name = "cursor keys"},
    {.mode = 2,
     .set_text = "(XTerm) Designate US-ASCII for charater sets G0-G3, and set VT100 mode.",
     .reset_text = "(DEC) Designate VT52 mode.",
     .set_text_x = "(XTerm) Designate US-ASCII for character sets G0-G3, and set VT100 mode.",
     .name = "ANSI mode"},
    {.mode = 3,
     .set_text = "(DEC) 132 columns per line.",
     .reset_text = "(DEC) 80 columns per line.",
     .name = "132 columns"},
    {.mode = 4,
     .set_text = "(DEC) Smooth scrolling: allow no more than 6 lines to be added\n\"  to the "
                 "screen per second.",
     .reset_text = "(DEC) Fast scrolling: lines are added to the screen as fast as possible.",
     .name = "smooth scrolling"},
    {.mode = 5,
     .set_text = "(DEC) Reverse video (dark on light).",
     .reset_text = "(DEC) Normal video (light on dark).",
     .name = "reverse video"},
    {.mode = 6,
     .extended_only = true,
     .set_text = "(DEC) Origin mode: address the cursor within the scrolling region.",
     .reset_text = "(DEC) Absolute mode: address the cursor on the whole screen.",
     .name = "origin"},
    {.mode = 7,
     .set_text = "(DEC) Text auto-wrap mode.",
     .reset_text = "(DEC) Text auto-wrap mode off.",
     .name = "autowrap"},
    {.mode = 8,
     .extended_only = true,
     .set_text = "(DEC) Auto-repeat keys.",
     .reset_text = "(DEC) Don't auto-repeat keys.",
     .name = "auto-repeat"},
    {.mode = 9,
     .set_text = "(XTerm) Send mouse X & Y on button press.",
     .reset_text = "(XTerm) Don't send mouse X & Y on button press.",
     .name = "X10 mouse reports",
     .mouse = MOUSE_X10},
    {.mode = 10, .set_text = "(Rxvt) Show toolbar.", .reset_text = "(Rxvt) Hide toolbar."},
    {.mode = 12,
     .set_text = "(Att610) Start blinking cursor.",
     .reset_text = "(Att610) Stop blinkin cursor.",
     .reset_text_x = "(Att610) Stop blinking cursor.",
     .name = "blinking cursor"},
    {.mode = 13,
     .extended_only = true,
     .set_text = "(Xterm) Start blinking cursor (set only by resource or menu).",
     .reset_text = "(Xterm) Stop blinking cursor (reset only by resource or menu)."},
    {.mode = 14,
     .extended_only = true,
     .set_text = "(Xterm) Enable XOR of the blinking cursor control and menu.",
     .reset_text = "(Xterm) Disable XOR of the blinking cursor control and menu."},
    {.mode = 18,
     .extended_only = true,
     .set_text = "(DEC) Send a form feed after each print screen.",
     .reset_text = "(DEC) Don't send a form feed after each print screen."},
    {.mode = 19,
     .extended_only = true,
     .set_text = "(DEC) Print the full screen.",
     .reset_text = "(DEC) Print only the scrolling region."},
    {.mode = 25,
     .set_text = "(DEC) Show cursor.",
     .reset_text = "(DEC) Hide cursor.",
     .name = "visible cursor"},
    {.mode = 30,
     .set_text = "(Rxvt) Show scrollbar.",
     .reset_text = "(Rxvt) Don't show scrollbar."},
    {.mode = 35,
     .extended_only = true,
     .set_text = "(Rxvt) Enable font-shifting functions.",
     .reset_text = "(Rxvt) Disable font-shifting functions."},
    {.mode = 36,
     .extended_only = true,
     .set_text = "(DEC) Use the Hebrew encoding.",
     .reset_text = "(DEC) Don't use the Hebrew encoding."},
    {.mode = 38,
     .extended_only = true,
     .set_text = "(DEC) Enter Tektronix 4014 mode.",
     .reset_text = "(DEC) Leave Tektronix 4014 mode."},
    {.mode = 40,
     .set_text = "(Xterm) Allow 80 -> 132 mode.",
     .reset_text = "(Xterm) Disallow 80 -> 132 mode."},
    {.mode = 41,
     .set_text = "(Xterm) Activate workaround for more(1) bug.",
     .reset_text = "(Xterm) Disable workaround for more(1) bug."},
    {.mode = 42,
     .set_text = "(DEC) National character set mode.",
     .reset_text = "(DEC) Multinational character set mode."},
    {.mode = 43,
     .extended_only = true,
     .set_text = "(DEC) Enable graphic expanded print mode.",
     .reset_text = "(DEC) Disable graphic expanded print mode."},
    {.mode = 44,
     .set_text = "(Xterm) Turn on margin bell.",
     .reset_text = "(Xterm) Turn off margin bell."},
    {.mode = 45,
     .set_text = "(Xterm) Reverse-wraparound mode.",
     .reset_text = "(Xterm) Reverse-wraparound mode off."},
    {.mode = 46, .set_text = "(Xterm) Start logging.", .reset_text = "(Xterm) Stop logging."},
    {.mode = 47,
     .set_text = "(Xterm) Use alternate screen buffer.",
     .reset_text = "(Xterm) Use normal screen buffer.",
     .name = "alternate screen",
     .feature = FEATURE_ALTERNATE_SCREEN},
    {.mode = 57,
     .extended_only = true,
     .set_text = "(DEC) Use the Greek keyboard mapping.",
     .reset_text = "(DEC) Use the North American keyboard mapping."},
    {.mode = 60,
     .extended_only = true,
     .set_text = "(DEC) Couple the cursor horizontally.",
     .reset_text = "(DEC) Uncouple the cursor horizontally."},
    {.mode = 61,
     .extended_only = true,
     .set_text = "(DEC) Couple the cursor vertically.",
     .reset_text = "(DEC) Uncouple the cursor vertically."},
    {.mode = 64,
     .extended_only = true,
     .set_text = "(DEC) Couple the page to the cursor.",
     .reset_text = "(DEC) Uncouple the page from the cursor."},
    {.mode = 66,
     .set_text = "(DEC) Application keypad.",
     .reset_text = "(DEC) Numeric keypad.",
     .name = "application keypad"},
    {.mode = 67,
     .set_text = "(DEC) Backarrow key sends backspace.",
     .reset_text = "(DEC) Backarrow key sends delete.",
     .name = "backarrow key"},
    {.mode = 68,
     .extended_only = true,
     .set_text = "(DEC) Use the keyboard for data processing.",
     .reset_text = "(DEC) Use the keyboard as a typewriter."},
    {.mode = 69,
     .extended_only = true,
     .set_text = "(DEC) Enable left and right margins.",
     .reset_text = "(DEC) Disable left and right margins.",
     .name = "left and right margins"},
    {.mode = 73,
     .extended_only = true,
     .set_text = "(DEC) Limit the transmit rate.",
     .reset_text = "(DEC) Don't limit the transmit rate."},
    {.mode = 80,
     .extended_only = true,
     .set_text = "(DEC) Sixel display mode: images at the top left, no scrolling.",
     .reset_text = "(DEC) Sixel scrolling: images at the cursor, scrolling the screen."},
    {.mode = 81,
     .extended_only = true,
     .set_text = "(DEC) Send key position reports.",
     .reset_text = "(DEC) Send character codes for keys."},
    {.mode = 95,
     .extended_only = true,
     .set_text = "(DEC) Don't clear the screen when the column mode changes.",
     .reset_text = "(DEC) Clear the screen when the column mode changes."},
    {.mode = 96,
     .extended_only = true,
     .set_text = "(DEC) Copy right to left.",
     .reset_text = "(DEC) Copy left to right."},
    {.mode = 97,
     .extended_only = true,
     .set_text = "(DEC) Blank the screen after the inactivity timeout.",
     .reset_text = "(DEC) Don't blank the screen after the inactivity timeout."},
    {.mode = 98,
     .extended_only = true,
     .set_text = "(DEC) Resize the lines per screen with the page arrangement.",
     .reset_text = "(DEC) Don't resize the lines per screen with the page arrangement."},
    {.mode = 99,
     .extended_only = true,
     .set_text = "(DEC) Enable modem control.",
     .reset_text = "(DEC) Disable modem control."},
    {.mode = 100,
     .extended_only = true,
     .set_text = "(DEC) Send the answerback message on connect.",
     .reset_text = "(DEC) Don't send the answerback message on connect."},
    {.mode = 101,
     .extended_only = true,
     .set_text = "(DEC) Conceal the answerback message.",
     .reset_text = "(DEC) Show the answerback message."},
    {.mode = 102,
     .extended_only = true,
     .set_text = "(DEC) Ignore NUL characters.",
     .reset_text = "(DEC) Pass NUL characters."},
    {.mode = 103,
     .extended_only = true,
     .set_text = "(DEC) Use half-duplex mode.",
     .reset_text = "(DEC) Use full-duplex mode."},
    {.mode = 104,
     .extended_only = true,
     .set_text = "(DEC) Use the secondary keyboard language.",
     .reset_text = "(DEC) Use the primary keyboard language."},
    {.mode = 106,
     .extended_only = true,
     .set_text = "(DEC) Enable overscan.",
     .reset_text = "(DEC) Disable overscan."},
    {.mode = 117,
     .extended_only = true,
     .set_text = "(DEC) Erase with the screen background color.",
     .reset_text = "(DEC) Erase with the current text background color."},
    {.mode = 1000,
     .set_text = "(Xterm) Send mouse X & Y on button press and release.",
     .reset_text = "(Xterm) Don't send mouse X & Y on button press and release.",
     .name = "mouse button reports",
     .mouse = MOUSE_NORMAL},
    {.mode = 1001,
     .set_text = "(Xterm) Activate hilite mouse tracking.",
     .reset_text = "(Xterm) Disable hilite mouse tracking.",
     .name = "mouse highlight tracking",
     .mouse = MOUSE_HIGHLIGHT},
    {.mode = 1002,
     .set_text = "(Xterm) Activate cell motion mouse tracking.",
     .reset_text = "(Xterm) Disable cell motion mouse tracking.",
     .name = "mouse drag reports",
     .mouse = MOUSE_BUTTON},
    {.mode = 1003,
     .set_text = "(Xterm) Activate all motion mouse tracking.",
     .reset_text = "(Xterm) Disable all motion mouse tracking.",
     .name = "mouse motion reports",
     .mouse = MOUSE_ANY},
    {.mode = 1004,
     .set_text = "(Xterm) Send FocusIn/FocusOut events.",
     .reset_text = "(Xterm) Don't send FocusIn/FocusOut events.",
     .name = "focus reports",
     .feature = FEATURE_FOCUS_EVENTS},
    {.mode = 1005,
     .extended_only = true,
     .set_text = "(Xterm) Encode mouse positions in UTF-8.",
     .reset_text = "(Xterm) Stop encoding mouse positions in UTF-8.",
     .name = "UTF-8 mouse reports",
     .mouse = MOUSE_UTF8},
    {.mode = 1006,
     .extended_only = true,
     .set_text = "(Xterm) Report mouse events in the SGR encoding.",
     .reset_text = "(Xterm) Stop reporting mouse events in the SGR encoding.",
     .name = "SGR mouse reports",
     .mouse = MOUSE_SGR},
    {.mode = 1007,
     .extended_only = true,
     .set_text = "(Xterm) Send cursor keys for the mouse wheel on the alternate screen.",
     .reset_text = "(Xterm) Don't send cursor keys for the mouse wheel."},
    {.mode = 1010,
     .set_text = "(Rxvt) Scroll to bottom on tty output.",
     .reset_text = "(Rxvt) Don't scroll to bottom on tty output."},
    {.mode = 1011,
     .set_text = "(Rxvt) Scroll to bottom on key press.",
     .reset_text = "(Rxvt) Don't scroll to bottom on key press."},
    {.mode = 1014,
     .extended_only = true,
     .set_text = "(Xterm) Enable fast scrolling.",
     .reset_text = "(Xterm) Disable fast scrolling."},
    {.mode = 1015,
     .extended_only = true,
     .set_text = "(Rxvt) Report mouse events in the urxvt decimal encoding.",
     .reset_text = "(Rxvt) Stop reporting mouse events in the urxvt decimal encoding.",
     .name = "urxvt mouse reports",
     .mouse = MOUSE_URXVT},
    {.mode = 1016,
     .extended_only = true,
     .set_text = "(Xterm) Report mouse events in the SGR encoding with pixel positions.",
     .reset_text = "(Xterm) Stop reporting mouse events with pixel positions.",
     .name = "SGR pixel mouse reports",
     .mouse = MOUSE_SGR_PIXELS},
    {.mode = 1020,
     .extended_only = true,
     .set_text = "(Xterm) UTF-8 mode (read-only).",
     .reset_text = "(Xterm) UTF-8 mode off (read-only)."},
    {.mode = 1021,
     .extended_only = true,
     .set_text = "(Xterm) CJK width mode (read-only).",
     .reset_text = "(Xterm) CJK width mode off (read-only)."},
    {.mode = 1022,
     .extended_only = true,
     .set_text = "(Xterm) Emoji width mode (read-only).",
     .reset_text = "(Xterm) Emoji width mode off (read-only)."},
    {.mode = 1023,
     .extended_only = true,
     .set_text = "(Xterm) Private-use width mode (read-only).",
     .reset_text = "(Xterm) Private-use width mode off (read-only)."},
    {.mode = 1034,
     .set_text = "(Xterm) Interpret meta key, sets eighth bit.",
     .reset_text = "(Xterm) Don't interpret meta key."},
    {.mode = 1035,
     .set_text = "(Xterm) Enable special modifiers for Alt and NumLock keys.",
     .reset_text = "(Xterm) Disable special modifiers for Alt and NumLock keys."},
    {.mode = 1036,
     .set_text = "(Xterm) Send ESC when Meta modifies a key.",
     .reset_text = "(Xterm) Don't send ESC when Meta modifies a key.",
     .name = "meta sends escape"},
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
    {.mode = 1044,
     .extended_only = true,
     .set_text = "(Xterm) Reuse the most recent data copied to CLIPBOARD.",
     .reset_text = "(Xterm) Don't reuse the most recent data copied to CLIPBOARD."},
    {.mode = 1045,
     .extended_only = true,
     .set_text = "(Xterm) Extended reverse-wraparound mode.",
     .reset_text = "(Xterm) Extended reverse-wraparound mode off."},
    {.mode = 1046,
     .extended_only = true,
     .set_text = "(Xterm) Allow switching to and from the alternate screen buffer.",
     .reset_text = "(Xterm) Forbid switching to the alternate screen buffer."},
    {.mode = 1047,
     .set_text = "(Xterm) Use the alternate screen buffer.",
     .reset_text = "(Xterm) Use the normal screen buffer.",
     .name = "alternate screen",
     .feature = FEATURE_ALTERNATE_SCREEN},
    {.mode = 1048,
     .set_text = "(Xterm) Save the cursor position.",
     .reset_text = "(Xterm) Restore the cursor position.",
     .name = "saved cursor"},
    {.mode = 1049,
     .set_text = "(Xterm) Save the cursor position and use the alternate screen buffer,\n\"  "
                 "clearing it first.",
     .reset_text = "(Xterm) Leave the alternate screen buffer and restore the cursor.",
     .name = "alternate screen with saved cursor",
     .feature = FEATURE_ALTERNATE_SCREEN},
    {.mode = 1050,
     .extended_only = true,
     .set_text = "(Xterm) Set terminfo/termcap function-key mode.",
     .reset_text = "(Xterm) Reset terminfo/termcap function-key mode."},
    {.mode = 1051,
     .extended_only = true,
     .set_text = "(Xterm) Set Sun function-key mode.",
     .reset_text = "(Xterm) Reset Sun function-key mode."},
    {.mode = 1052,
     .extended_only = true,
     .set_text = "(Xterm) Set HP function-key mode.",
     .reset_text = "(Xterm) Reset HP function-key mode."},
    {.mode = 1053,
     .extended_only = true,
     .set_text = "(Xterm) Set SCO function-key mode.",
     .reset_text = "(Xterm) Reset SCO function-key mode."},
    {.mode = 1060,
     .extended_only = true,
     .set_text = "(Xterm) Set legacy keyboard emulation.",
     .reset_text = "(Xterm) Reset legacy keyboard emulation."},
    {.mode = 1061,
     .extended_only = true,
     .set_text = "(Xterm) Set VT220 keyboard emulation.",
     .reset_text = "(Xterm) Reset keyboard emulation to Sun/PC style."},
    {.mode = 1070,
     .extended_only = true,
     .set_text = "(Xterm) Use private color registers for each graphic.",
     .reset_text = "(Xterm) Share color registers between graphics."},
    {.mode = 2001,
     .extended_only = true,
     .set_text = "(Xterm) Enable readline mouse button-1.",
     .reset_text = "(Xterm) Disable readline mouse button-1."},
    {.mode = 2002,
     .extended_only = true,
     .set_text = "(Xterm) Enable readline mouse button-2.",
     .reset_text = "(Xterm) Disable readline mouse button-2."},
    {.mode = 2003,
     .extended_only = true,
     .set_text = "(Xterm) Enable readline mouse button-3.",
     .reset_text = "(Xterm) Disable readline mouse button-3."},
    {.mode = 2004,
     .set_text = "(Xterm) Set bracketed paste mode.",
     .reset_text = "(Xterm) Reset bracketed paste mode.",
     .name = "bracketed paste",
     .feature = FEATURE_BRACKETED_PASTE},
    {.mode = 2005,
     .extended_only = true,
     .set_text = "(Xterm) Quote pasted characters with Ctrl-V.",
     .reset_text = "(Xterm) Stop quoting pasted characters."},
    {.mode = 2006,
     .extended_only = true,
     .set_text = "(Xterm) Paste newlines as newlines.",
     .reset_text = "(Xterm) Paste newlines as carriage returns."},
    {.mode = 2026,
     .extended_only = true,
     .set_text = "(contour) Begin synchronized output.",
     .reset_text = "(contour) End synchronized output.",
     .name = "synchronized output",
     .feature = FEATURE_SYNCHRONIZED_OUTPUT},
    {.mode = 2027,
     .extended_only = true,
     .set_text = "(contour) Use grapheme clusters for character widths.",
     .reset_text = "(contour) Use per-code-point character widths.",
     .name = "grapheme cluster widths"},
    {.mode = 2028,
     .extended_only = true,
     .set_text = "(contour) Reflow lines on resize.",
     .reset_text = "(contour) Don't reflow lines on resize."},
    {.mode = 2031,
     .extended_only = true,
     .set_text = "(contour) Report color scheme changes.",
     .reset_text = "(contour) Stop reporting color scheme changes.",
     .name = "color scheme reports"},
    {.mode = 2033,
     .extended_only = true,
     .set_text = "(kitty) Report when the window becomes visible or hidden.",
     .reset_text = "(kitty) Stop reporting when the window becomes visible or hidden."},
    {.mode = 2034,
     .extended_only = true,
     .set_text = "(contour) Enable semantic block queries.",
     .reset_text = "(contour) Disable semantic block queries."},
    {.mode = 2048,
     .extended_only = true,
     .set_text = "(foot) Report window resizes in-band.",
     .reset_text = "(foot) Stop reporting window resizes in-band.",
     .name = "in-band resize reports"},
    {.mode = 2500,
     .extended_only = true,
     .set_text = "(mintty) Enable box mirroring.",
     .reset_text = "(mintty) Disable box mirroring."},
    {.mode = 2501,
     .extended_only = true,
     .set_text = "(mintty) Enable bidi autodetection.",
     .reset_text = "(mintty) Disable bidi autodetection."},
    {.mode = 2521,
     .extended_only = true,
     .set_text = "(mintty) Render LAM/ALEF in one cell.",
     .reset_text = "(mintty) Render LAM/ALEF in two cells."},
    {.mode = 5522,
     .extended_only = true,
     .set_text = "(kitty) Report pastes as paste events.",
     .reset_text = "(kitty) Stop reporting pastes as paste events."},
    {.mode = 7700,
     .extended_only = true,
     .set_text = "(mintty) Report ambiguous-width font changes.",
     .reset_text = "(mintty) Stop reporting ambiguous-width font changes."},
    {.mode = 7711,
     .extended_only = true,
     .set_text = "(mintty) Mark this line as a prompt line.",
     .reset_text = "(mintty) Mark this line as a secondary prompt line."},
    {.mode = 7723,
     .extended_only = true,
     .set_text = "(mintty) Rewrap lines on resize.",
     .reset_text = "(mintty) Don't rewrap lines on resize."},
    {.mode = 7727,
     .extended_only = true,
     .set_text = "(mintty) Application escape key mode: send Esc O [ for the Escape key.",
     .reset_text = "(mintty) Send Esc for the Escape key."},
    {.mode = 7728,
     .extended_only = true,
     .set_text = "(mintty) Send ^\\ for the Escape key.",
     .reset_text = "(mintty) Send Esc for the Escape key."},
    {.mode = 7730,
     .extended_only = true,
     .set_text = "(mintty) Leave the cursor below the left of an image.",
     .reset_text = "(mintty) Leave the cursor to the right of an image."},
    {.mode = 7766,
     .extended_only = true,
     .set_text = "(mintty) Show the scrollbar.",
     .reset_text = "(mintty) Hide the scrollbar."},
    {.mode = 7767,
     .extended_only = true,
     .set_text = "(mintty) Report font changes.",
     .reset_text = "(mintty) Stop reporting font changes."},
    {.mode = 7769,
     .extended_only = true,
     .set_text = "(mintty) Render emoji in two cells.",
     .reset_text = "(mintty) Render emoji in per-code-point widths."},
    {.mode = 7780,
     .extended_only = true,
     .set_text = "(mintty) Don't scroll for images.",
     .reset_text = "(mintty) Scroll for images."},
    {.mode = 7783,
     .extended_only = true,
     .set_text = "(mintty) Pass mintty shortcuts to the application.",
     .reset_text = "(mintty) Handle mintty shortcuts in the terminal."},
    {.mode = 7796,
     .extended_only = true,
     .set_text = "(mintty) Disable bidi on this line.",
     .reset_text = "(mintty) Enable bidi on this line."},
    {.mode = 8452,
     .extended_only = true,
     .set_text = "(Xterm) Leave the cursor to the right of a sixel image.",
     .reset_text = "(Xterm) Move the cursor below a sixel image."},
    {.mode = 9001,
     .extended_only = true,
     .set_text = "(Windows Terminal) Send key events as win32 input records.",
     .reset_text = "(Windows Terminal) Send VT key sequences."},
    {.mode = 19997,
     .extended_only = true,
     .set_text = "(kitty) Handle Ctrl-C and Ctrl-Z in the terminal.",
     .reset_text = "(kitty) Pass Ctrl-C and Ctrl-Z to the terminal driver."},
    {.mode = 77096,
     .extended_only = true,
     .set_text = "(mintty) Disable bidi.",
     .reset_text = "(mintty) Enable bidi."},
    {.mode = 737769,
     .extended_only = true,
     .set_text = "(foot) Enable the input method.",
     .reset_text = "(foot) Disable the input method."},
};

template <typename Row, std::size_t N>
consteval bool sorted_and_complete(const Row (&rows)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (rows[i].set_text.empty() || rows[i].reset_text.empty()) return false;
        if (i > 0 && rows[i - 1].mode >= rows[i].mode) return false;
    }
    return true;
}
static_assert(sorted_and_complete(standard_modes), "the search needs ascending mode numbers");
static_assert(sorted_and_complete(private_modes), "the search needs ascending mode numbers");

template <typename Row, std::size_t N>
const Row* find_row(const Row (&rows)[N], std::uint32_t mode, bool extended) {
    const Row* found = std::lower_bound(
        rows, rows + N, mode, [](const Row& row, std::uint32_t m) { return row.mode < m; });
    if (found == rows + N || found->mode != mode) return nullptr;
    return extended || !found->extended_only ? found : nullptr;
}

void describe_private_mode(LineWriter& w, std::uint32_t mode, bool set, bool extended) {
    if (const PrivateMode* m = find_private_mode(mode, extended))
        print_description(w, {private_mode_text(*m, set, extended)});
}

constexpr const char* mode_states[] = {
    "is not recognized", "is set", "is reset", "is permanently set", "is permanently reset",
};

}  // namespace

const PrivateMode* find_private_mode(std::uint32_t mode, bool extended) {
    return find_row(private_modes, mode, extended);
}

const StandardMode* find_standard_mode(std::uint32_t mode, bool extended) {
    return find_row(standard_modes, mode, extended);
}

std::string_view mode_short_name(std::uint32_t mode, bool private_mode) {
    if (private_mode) {
        const PrivateMode* m = find_private_mode(mode, true);
        return m != nullptr ? m->name : std::string_view{};
    }
    const StandardMode* m = find_standard_mode(mode, true);
    return m != nullptr ? m->short_name : std::string_view{};
}

std::string_view private_mode_text(const PrivateMode& m, bool set, bool extended) {
    if (extended && set && !m.set_text_x.empty()) return m.set_text_x;
    if (extended && !set && !m.reset_text_x.empty()) return m.reset_text_x;
    return set ? m.set_text : m.reset_text;
}

// SM, RM: ECMA-48 8.3.125, 8.3.106
VORSK_CSI_HANDLER(csi_do_sm) {
    const bool set = a.final_byte() == 'h';
    // One bad number does not hide the others: each value is its own mode.
    for (std::size_t i = 0; i < a.count; ++i) {
        const StandardMode* m = find_standard_mode(a.param(i), a.extended);
        if (m == nullptr) continue;
        const std::string_view x = set ? m->set_text_x : m->reset_text_x;
        if (a.extended && !x.empty()) {
            print_description(w, {x});
            continue;
        }
        print_description(w,
                          {m->name, " (", m->acronym, ") -> ", set ? m->set_text : m->reset_text});
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

// XTSAVE and XTRESTORE in extended mode: each mode by its number and name.
VORSK_CSI_HANDLER(csi_do_xtsave) {
    const bool restore = a.final_byte() == 'r';
    for (std::size_t i = 0; i < a.count; ++i) {
        const std::uint32_t mode = a.param(i);
        if (mode == 0) continue;  // what an empty list gives: no mode has the number 0
        const PrivateMode* m = find_private_mode(mode, true);
        const std::string_view verb =
            restore ? "(Xterm) Restore private mode " : "(Xterm) Save private mode ";
        if (m != nullptr && !m->name.empty()) {
            print_description(w, {verb, Decimal(mode), " (", m->name, ")."});
        } else {
            print_description(w, {verb, Decimal(mode), "."});
        }
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

}  // namespace vorsk
