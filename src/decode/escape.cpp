#include "decode/escape.h"

#include <array>
#include <cassert>

#include "csi/sequence.h"
#include "decode/designations.h"

namespace vorsk {
namespace {

struct EscapeName {
    const char* acronym = nullptr;  // nullptr: no label line
    const char* name = nullptr;
};

// ESC Fe: the 7-bit forms of the C1 controls, by the byte after ESC - 0x40.
constexpr auto fe_names = std::to_array<EscapeName>({
    /* 0x40 @ */ {},
    /* 0x41 A */ {},
    /* 0x42 B */ {"BPH", "BREAK PERMITTED HERE"},
    /* 0x43 C */ {"NBH", "NO BREAK HERE"},
    /* 0x44 D */ {},
    /* 0x45 E */ {"NEL", "NEXT LINE"},
    /* 0x46 F */ {"SSA", "START OF SELECTED AREA"},
    /* 0x47 G */ {"ESA", "END OF SELECTED AREA"},
    /* 0x48 H */ {"HTS", "CHARACTER TABULATION SET"},
    /* 0x49 I */ {"HTJ", "CHARACTER TABULATION WITH JUSTIFICATION"},
    /* 0x4A J */ {"VTS", "LINE TABULATION SET"},
    /* 0x4B K */ {"PLD", "PARTIAL LINE FORWARD"},
    /* 0x4C L */ {"PLU", "PARTIAL LINE BACKWARD"},
    /* 0x4D M */ {"RI", "REVERSE LINE FEED"},
    /* 0x4E N */ {"SS2", "SINGLE-SHIFT TWO"},
    /* 0x4F O */ {"SS3", "SINGLE-SHIFT THREE"},
    /* 0x50 P */ {"DCS", "DEVICE CONTROL STRING"},
    /* 0x51 Q */ {"PU1", "PRIVATE USE ONE"},
    /* 0x52 R */ {"PU2", "PRIVATE USE TWO"},
    /* 0x53 S */ {"STS", "SET TRANSMIT STATE"},
    /* 0x54 T */ {"CCH", "CANCEL CHARACTER"},
    /* 0x55 U */ {"MW", "MESSAGE WAITING"},
    /* 0x56 V */ {"SPA", "START OF GUARDED AREA"},
    /* 0x57 W */ {"EPA", "END OF GUARDED AREA"},
    /* 0x58 X */ {"SOS", "START OF STRING"},
    /* 0x59 Y */ {},
    /* 0x5A Z */ {"SCI", "SINGLE CHARACTER INTRODUCER"},
    /* 0x5B [ */ {"CSI", "CONTROL SEQUENCE INTRODUCER"},
    /* 0x5C \ */ {"ST", "STRING TERMINATOR"},
    /* 0x5D ] */ {"OSC", "OPERATING SYSTEM COMMAND"},
    /* 0x5E ^ */ {"PM", "PRIVACY MESSAGE"},
    /* 0x5F _ */ {"APC", "APPLICATION PROGRAM COMMAND"},
});
static_assert(fe_names.size() == 32);

// ESC Fp: private two-byte escapes, by the byte after ESC - 0x30.
constexpr auto fp_names = std::to_array<EscapeName>({
    /* 0x30 */ {}, {}, {}, {}, {}, {}, {},
    /* 0x37 7 */ {"DECSC", "SAVE CURSOR"},
    /* 0x38 8 */ {"DECRC", "RESTORE CURSOR"},
    /* 0x39 */ {}, {}, {}, {},
    /* 0x3D = */ {"DECKPAM", "KEYPAD APPLICATION MODE"},
    /* 0x3E > */ {"DECKPNM", "KEYPAD NORMAL MODE"},
    /* 0x3F */ {},
});
static_assert(fp_names.size() == 16);

// ESC Fs: standardised single functions, by the byte after ESC - 0x60.
// Three names end in a blank, which is printed.
constexpr auto fs_names = std::to_array<EscapeName>({
    /* 0x60 ` */ {"DMI", "DISABLE MANUAL INPUT"},
    /* 0x61 a */ {"INT", "INTERRUPT"},
    /* 0x62 b */ {"EMI", "END OF MEDIUM"},
    /* 0x63 c */ {"RIS", "RESET TO INITIAL STATE"},
    /* 0x64 d */ {"CMD", "CODING METHOD DELIMITER"},
    /* 0x65 */ {}, {}, {}, {}, {}, {}, {}, {}, {},
    /* 0x6E n */ {"LS2", "LOCKING-SHIFT TWO"},
    /* 0x6F o */ {"LS3", "LOCKING-SHIFT THREE"},
    /* 0x70 */ {}, {}, {}, {}, {}, {}, {}, {},
    /* 0x78 */ {}, {}, {}, {},
    /* 0x7C | */ {"LS3R", "LOCKING-SHIFT THREE RIGHT "},
    /* 0x7D } */ {"LS2R", "LOCKING-SHIFT TWO RIGHT "},
    /* 0x7E ~ */ {"LS1R", "LOCKING-SHIFT ONE RIGHT "},
});
static_assert(fs_names.size() == 31);

// A two-byte sequence: a one-line escape record and, when the byte has a
// name, a label.
void report_two_byte_sequence(Processor& p, int b, const EscapeName& entry) {
    print_escape_line(*p.writer, "Esc %c", b);
    if (entry.acronym != nullptr) {
        print_label_line(*p.writer, "%s: %s", entry.acronym, entry.name);
    }
}

}  // namespace

void print_esc_char(Processor& p, int c) {
    if (c == 0x20) {
        writer_putn(*p.writer, " Spc", 4);
    } else if (c == 0x1b) {
        writer_putn(*p.writer, " Esc", 4);
    } else {
        assert(c > 0x20 && c < 0x7f);
        const char item[] = {' ', static_cast<char>(c)};
        writer_putn(*p.writer, item, sizeof item);
    }
}

bool process_escape_sequence(Processor& p) {
    InputBuffer& in = *p.input;
    input_mark(in);
    const int b = input_get(in);
    if (b == EOF) {
        input_rewind(in);
        return false;
    }
    switch (b >> 4) {
        case 0x2:
            if (!process_nf_sequence(p, b)) {
                input_rewind(in);
                return false;
            }
            break;
        case 0x3: process_fp_sequence(p, b); break;
        case 0x4:
        case 0x5: process_fe_sequence(p, b); break;
        case 0x6:
        case 0x7:
            if (b == 0x7f) {
                input_rewind(in);
                return false;
            }
            process_fs_sequence(p, b);
            break;
        default:  // C0 controls, a second ESC, and every byte from 0x80 up
            input_rewind(in);
            return false;
    }
    // Changes nothing when a sub-step has already re-read the bytes unmarked.
    input_commit(in);
    p.control_break = 1;
    return true;
}

bool process_fp_sequence(Processor& p, int b) {
    report_two_byte_sequence(p, b, fp_names[static_cast<std::size_t>(b - 0x30)]);
    return true;
}

bool process_fs_sequence(Processor& p, int b) {
    report_two_byte_sequence(p, b, fs_names[static_cast<std::size_t>(b - 0x60)]);
    return true;
}

bool process_fe_sequence(Processor& p, int b) {
    if (b == '[') {
        if (const CsiFunction* function = scan_csi_sequence(p)) {
            process_csi_sequence(p, *function);
            return true;
        }
        // Not a control sequence: report the lone CSI, and leave the bytes
        // after the "[" to be read again as ordinary input.
        input_rewind(*p.input);
        input_get(*p.input);
    }
    report_two_byte_sequence(p, b, fe_names[static_cast<std::size_t>(b - 0x40)]);
    return true;
}

bool process_nf_sequence(Processor& p, int first_intermediate) {
    InputBuffer& in = *p.input;
    int second_intermediate = 0;
    int x = input_get(in);  // the final byte, unless there are three or more intermediates
    if (is_intermediate(x)) {
        second_intermediate = x;
        x = input_get(in);
        int c = x;
        while (is_intermediate(c)) c = input_get(in);
        if (!is_final(c)) return false;
    } else if (!is_final(x)) {
        return false;
    }

    if (writer_shows(*p.writer, ESCAPE_LINE)) {
        // Re-read the bytes unmarked, so each is consumed as it is echoed.
        input_rewind(in);
        writer_start(*p.writer, ESCAPE_LINE);
        writer_putn(*p.writer, " Esc", 4);
        int c;
        do {
            c = input_get(in);
            print_esc_char(p, c);
        } while (!is_final(c));
        writer_finish(*p.writer, "");
    }

    // With three or more intermediates there is neither label nor description.
    if (!is_final(x)) return true;

    const auto i1 = static_cast<std::uint8_t>(first_intermediate);
    const auto i2 = static_cast<std::uint8_t>(second_intermediate);
    const auto f = static_cast<std::uint8_t>(x);
    switch (i1) {
        case 0x20:  // ACS: ECMA-35 15.2
            print_label_line(*p.writer, "%s: %s", "ACS", "ANNOUNCE CODE STRUCTURE");
            break;
        case '!':
        case '"': describe_control_designation(p, i1, f); break;
        case '$':
            if (i2 == 0 || i2 >= 0x27) describe_multibyte_designation(p, i2, f);
            break;
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case '-':
        case '.':
        case '/': describe_graphic_designation(p, i1, i2, f); break;
        default: break;  // "#", "%", "&", "'": echoed only
    }
    return true;
}

}  // namespace vorsk
