// Modes: the ECMA-48 modes of SM and RM, and the DEC private modes of SM
// and RM with "?", each in one table that every view reads: the texts of
// both states for the classic and the extended account, a short name, and
// the terminal feature that setting it relies on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorsk {

// What a stream relies on, beyond plain text and cursor motion.
enum Feature : std::uint32_t {
    FEATURE_ALTERNATE_SCREEN = 1u << 0,
    FEATURE_BRACKETED_PASTE = 1u << 1,
    FEATURE_SYNCHRONIZED_OUTPUT = 1u << 2,
    FEATURE_HYPERLINKS = 1u << 3,
    FEATURE_CLIPBOARD_WRITE = 1u << 4,
    FEATURE_CLIPBOARD_READ = 1u << 5,
    FEATURE_TITLE = 1u << 6,
    FEATURE_KITTY_KEYBOARD = 1u << 7,
    FEATURE_MODIFY_OTHER_KEYS = 1u << 8,
    FEATURE_SIXEL = 1u << 9,
    FEATURE_KITTY_GRAPHICS = 1u << 10,
    FEATURE_ITERM_IMAGES = 1u << 11,
    FEATURE_FOCUS_EVENTS = 1u << 12,
};

// Mouse tracking modes and encodings, one bit each.
enum MouseBit : std::uint32_t {
    MOUSE_X10 = 1u << 0,          // mode 9
    MOUSE_NORMAL = 1u << 1,       // 1000
    MOUSE_HIGHLIGHT = 1u << 2,    // 1001
    MOUSE_BUTTON = 1u << 3,       // 1002
    MOUSE_ANY = 1u << 4,          // 1003
    MOUSE_UTF8 = 1u << 8,         // 1005
    MOUSE_SGR = 1u << 9,          // 1006
    MOUSE_URXVT = 1u << 10,       // 1015
    MOUSE_SGR_PIXELS = 1u << 11,  // 1016
};

// One DEC private mode (or one of xterm, rxvt and the terminals after
// them). The classic account describes the rows that are not
// extended_only, with their classic texts; extended mode describes every
// row, with its own texts where it has them.
struct PrivateMode {
    std::uint32_t mode = 0;
    bool extended_only = false;
    std::string_view set_text = {};
    std::string_view reset_text = {};
    std::string_view set_text_x = {};  // extended mode's, where the classic one reads wrong
    std::string_view reset_text_x = {};
    std::string_view name = {};  // what the mode is, in a few words ("cursor keys")
    std::uint32_t feature = 0;   // the Feature that setting it relies on
    std::uint32_t mouse = 0;     // the MouseBit that setting it relies on
};

// One ECMA-48 mode.
struct StandardMode {
    std::uint32_t mode = 0;
    bool extended_only = false;
    std::string_view acronym = {};
    std::string_view name = {};
    std::string_view reset_text = {};  // the state RM selects
    std::string_view set_text = {};    // the state SM selects
    // Extended mode's sentences for the modes programs use.
    std::string_view set_text_x = {};
    std::string_view reset_text_x = {};
    std::string_view short_name = {};  // "insert"
};

// The row of a mode the account of that mode knows; nullptr otherwise.
const PrivateMode* find_private_mode(std::uint32_t mode, bool extended);
const StandardMode* find_standard_mode(std::uint32_t mode, bool extended);

// The short name of a mode ("cursor keys"); empty where it has none.
std::string_view mode_short_name(std::uint32_t mode, bool private_mode);

// The text a description gives the mode's state.
std::string_view private_mode_text(const PrivateMode& m, bool set, bool extended);

}  // namespace vorsk
