// The control characters' names: C0, DEL and C1, each with the acronym
// that control items show and its full name. The one table of them: the
// account's items, the safe text of descriptions, the labels of the 7-bit
// C1 escapes and the summary all read it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vorsk {

struct ControlName {
    std::string_view acronym;
    std::string_view name;
    // Among the C1 controls, whether ECMA-48 still defines it (PAD, HOP,
    // IND and SGCI it does not), so that its 7-bit escape has a label.
    bool standard = true;
};

inline constexpr auto c0_controls = std::to_array<ControlName>({
    /* 0x00 */ {"NUL", "NULL"},
    {"SOH", "START OF HEADING"},
    {"STX", "START OF TEXT"},
    {"ETX", "END OF TEXT"},
    {"EOT", "END OF TRANSMISSION"},
    {"ENQ", "ENQUIRY"},
    {"ACK", "ACKNOWLEDGE"},
    {"BEL", "BELL"},
    /* 0x08 */ {"BS", "BACKSPACE"},
    {"HT", "CHARACTER TABULATION"},
    {"LF", "LINE FEED"},
    {"VT", "LINE TABULATION"},
    {"FF", "FORM FEED"},
    {"CR", "CARRIAGE RETURN"},
    {"SO", "SHIFT-OUT"},
    {"SI", "SHIFT-IN"},
    /* 0x10 */ {"DLE", "DATA LINK ESCAPE"},
    {"DC1", "DEVICE CONTROL ONE"},
    {"DC2", "DEVICE CONTROL TWO"},
    {"DC3", "DEVICE CONTROL THREE"},
    {"DC4", "DEVICE CONTROL FOUR"},
    {"NAK", "NEGATIVE ACKNOWLEDGE"},
    {"SYN", "SYNCHRONOUS IDLE"},
    {"ETB", "END OF TRANSMISSION BLOCK"},
    /* 0x18 */ {"CAN", "CANCEL"},
    {"EM", "END OF MEDIUM"},
    {"SUB", "SUBSTITUTE"},
    {"ESC", "ESCAPE"},
    {"IS4", "INFORMATION SEPARATOR FOUR"},
    {"IS3", "INFORMATION SEPARATOR THREE"},
    {"IS2", "INFORMATION SEPARATOR TWO"},
    {"IS1", "INFORMATION SEPARATOR ONE"},
});
static_assert(c0_controls.size() == 0x20, "one name per C0 control");

inline constexpr ControlName delete_control = {"DEL", "DELETE"};

inline constexpr auto c1_controls = std::to_array<ControlName>({
    /* 0x80 */ {"PAD", "PADDING CHARACTER", false},
    {"HOP", "HIGH OCTET PRESET", false},
    {"BPH", "BREAK PERMITTED HERE"},
    {"NBH", "NO BREAK HERE"},
    {"IND", "INDEX", false},
    {"NEL", "NEXT LINE"},
    {"SSA", "START OF SELECTED AREA"},
    {"ESA", "END OF SELECTED AREA"},
    /* 0x88 */ {"HTS", "CHARACTER TABULATION SET"},
    {"HTJ", "CHARACTER TABULATION WITH JUSTIFICATION"},
    {"VTS", "LINE TABULATION SET"},
    {"PLD", "PARTIAL LINE FORWARD"},
    {"PLU", "PARTIAL LINE BACKWARD"},
    {"RI", "REVERSE LINE FEED"},
    {"SS2", "SINGLE-SHIFT TWO"},
    {"SS3", "SINGLE-SHIFT THREE"},
    /* 0x90 */ {"DCS", "DEVICE CONTROL STRING"},
    {"PU1", "PRIVATE USE ONE"},
    {"PU2", "PRIVATE USE TWO"},
    {"STS", "SET TRANSMIT STATE"},
    {"CCH", "CANCEL CHARACTER"},
    {"MW", "MESSAGE WAITING"},
    {"SPA", "START OF GUARDED AREA"},
    {"EPA", "END OF GUARDED AREA"},
    /* 0x98 */ {"SOS", "START OF STRING"},
    {"SGCI", "SINGLE GRAPHIC CHARACTER INTRODUCER", false},
    {"SCI", "SINGLE CHARACTER INTRODUCER"},
    {"CSI", "CONTROL SEQUENCE INTRODUCER"},
    {"ST", "STRING TERMINATOR"},
    {"OSC", "OPERATING SYSTEM COMMAND"},
    {"PM", "PRIVACY MESSAGE"},
    {"APC", "APPLICATION PROGRAM COMMAND"},
});
static_assert(c1_controls.size() == 0x20, "one name per C1 control");

// The names of a C0 control or DEL.
constexpr const ControlName& c0_control(std::uint8_t c) {
    return c == 0x7f ? delete_control : c0_controls[c & 0x1f];
}

// The acronym of one C0 control or DEL, as its item shows it: "LF", "DEL".
// Each acronym is a literal, so its data is terminated.
constexpr const char* c0_item_name(unsigned char c) {
    return c0_control(c).acronym.data();
}

}  // namespace vorsk
