// The two-byte escapes: one table for each range of the byte after ESC,
// the 7-bit C1 controls named from the table of control characters.
#include "vocab/escapes.h"

#include <array>
#include <cassert>
#include <cstddef>

#include "text/controls.h"

namespace vorsk {
namespace {

struct EscapeName {
    std::string_view acronym = {};  // empty: no label line
    std::string_view name = {};
};

// ESC Fe: the 7-bit forms of the C1 controls, by the byte after ESC - 0x40,
// named as the C1 controls are; those ECMA-48 no longer defines have no
// label.
consteval std::array<EscapeName, 0x20> fe_from_c1() {
    std::array<EscapeName, 0x20> names{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const ControlName& c = c1_controls[i];
        if (c.standard) names[i] = {c.acronym, c.name};
    }
    return names;
}
constexpr auto fe_names = fe_from_c1();

// ESC Fp: private two-byte escapes, by the byte after ESC - 0x30.
constexpr auto fp_names = std::to_array<EscapeName>({
    /* 0x30 */ {},
    {},
    {},
    {},
    {},
    {},
    {},
    /* 0x37 7 */ {"DECSC", "SAVE CURSOR"},
    /* 0x38 8 */ {"DECRC", "RESTORE CURSOR"},
    /* 0x39 */ {},
    {},
    {},
    {},
    /* 0x3D = */ {"DECKPAM", "KEYPAD APPLICATION MODE"},
    /* 0x3E > */ {"DECKPNM", "KEYPAD NORMAL MODE"},
    /* 0x3F */ {},
});
static_assert(fp_names.size() == 0x40 - 0x30, "one entry per byte 0x30 to 0x3F");

// ESC Fs: standardised single functions, by the byte after ESC - 0x60.
// Three names end in a blank, which is printed.
constexpr auto fs_names = std::to_array<EscapeName>({
    /* 0x60 ` */ {"DMI", "DISABLE MANUAL INPUT"},
    /* 0x61 a */ {"INT", "INTERRUPT"},
    /* 0x62 b */ {"EMI", "END OF MEDIUM"},
    /* 0x63 c */ {"RIS", "RESET TO INITIAL STATE"},
    /* 0x64 d */ {"CMD", "CODING METHOD DELIMITER"},
    /* 0x65 */ {},
    {},
    {},
    {},
    {},
    {},
    {},
    {},
    {},
    /* 0x6E n */ {"LS2", "LOCKING-SHIFT TWO"},
    /* 0x6F o */ {"LS3", "LOCKING-SHIFT THREE"},
    /* 0x70 */ {},
    {},
    {},
    {},
    {},
    {},
    {},
    {},
    /* 0x78 */ {},
    {},
    {},
    {},
    /* 0x7C | */ {"LS3R", "LOCKING-SHIFT THREE RIGHT "},
    /* 0x7D } */ {"LS2R", "LOCKING-SHIFT TWO RIGHT "},
    /* 0x7E ~ */ {"LS1R", "LOCKING-SHIFT ONE RIGHT "},
});
static_assert(fs_names.size() == 0x7f - 0x60, "one entry per byte 0x60 to 0x7E");

// A two-byte sequence: a one-line escape record and, when the byte has a
// name, a label.
void report_two_byte_sequence(LineWriter& w, int b, const EscapeName& entry) {
    const char final_byte = static_cast<char>(b);
    print_escape(w, {"Esc ", {&final_byte, 1}});
    if (!entry.acronym.empty()) print_label(w, {entry.acronym, ": ", entry.name});
}

// With -X, what the keypad modes and RI do; the classic account labels
// them only. Typed, the same bytes are a key with Alt, so they are not
// described there.
void describe_two_byte_sequence(LineWriter& w, const Sequence& s) {
    std::string_view text;
    if (s.kind == FP_SEQUENCE && s.final_byte == '=') {
        text = "(DEC) Make the keypad send application sequences.";
    } else if (s.kind == FP_SEQUENCE && s.final_byte == '>') {
        text = "(DEC) Make the keypad send the characters on its keys.";
    } else if (s.kind == FE_SEQUENCE && s.final_byte == 'M') {
        text = "Move the cursor up one line, scrolling down at the top margin.";
    }
    if (!text.empty()) print_description(w, {text});
}

const EscapeName& two_byte_name(const Sequence& s) {
    const std::size_t b = s.final_byte;
    switch (s.kind) {
        case FP_SEQUENCE: return fp_names[b - 0x30];
        case FE_SEQUENCE: return fe_names[b - 0x40];
        case FS_SEQUENCE: return fs_names[b - 0x60];
        case NF_SEQUENCE:
        case CSI_SEQUENCE: break;
    }
    assert(!"Can't get here!");
    return fe_names[0];
}

}  // namespace

void report_two_byte_escape(LineWriter& w, const Sequence& s, bool describe) {
    report_two_byte_sequence(w, s.final_byte, two_byte_name(s));
    if (describe) describe_two_byte_sequence(w, s);
}

bool two_byte_escape_name(std::uint8_t b, std::string_view* acronym, std::string_view* name) {
    const EscapeName* entry = nullptr;
    if (b >= 0x30 && b < 0x40) entry = &fp_names[b - 0x30];
    if (b >= 0x40 && b < 0x60) entry = &fe_names[b - 0x40];
    if (b >= 0x60 && b < 0x7f) entry = &fs_names[b - 0x60];
    if (entry == nullptr || entry->acronym.empty()) return false;
    *acronym = entry->acronym;
    *name = entry->name;
    return true;
}

}  // namespace vorsk
