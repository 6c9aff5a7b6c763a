#include "decode/escape.h"

#include <array>
#include <cassert>
#include <cstring>
#include <string_view>

#include "decode/sequence_memo.h"
#include "decode/strings.h"
#include "parse/parser.h"
#include "vocab/control_sequence.h"
#include "vocab/designations.h"
#include "vocab/keys_input.h"

namespace vorsk {
namespace {

struct EscapeName {
    std::string_view acronym = {};  // empty: no label line
    std::string_view name = {};
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
static_assert(fe_names.size() == 0x60 - 0x40, "one entry per byte 0x40 to 0x5F");

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

// An escape line composed before it is written: its text, and where each
// piece ends, so that a line longer than a row wraps between the pieces as
// it does when they are written one by one. A byte echoes as at most four
// bytes (" Esc"), and a run of digits as at most one more than its length.
struct EchoLine {
    char text[4 * MAX_SEQUENCE_BYTES + 8];
    std::uint16_t ends[MAX_SEQUENCE_BYTES + 2];
    std::size_t size = 0;
    std::size_t pieces = 0;

    void add(const char* piece, std::size_t n) {
        plain_output::put(text + size, {piece, n});
        size += n;
        ends[pieces++] = static_cast<std::uint16_t>(size);
    }
    // The echo of a byte after ESC.
    void add_byte(int c) {
        if (c == 0x20) {
            add(" Spc", 4);
        } else if (c == 0x1b) {
            add(" Esc", 4);
        } else {
            assert(c > 0x20 && c < 0x7f);
            text[size] = ' ';
            text[size + 1] = static_cast<char>(c);
            size += 2;
            ends[pieces++] = static_cast<std::uint16_t>(size);
        }
    }
    // The echo " %d" of a value: its 32 bits read as signed, so 2^31 shows
    // as -2147483648.
    void add_value(std::uint32_t value) {
        char item[12];
        char* end = item + sizeof item;
        char* digit = end;
        const bool negative = static_cast<std::int32_t>(value) < 0;
        std::uint32_t magnitude = negative ? 0u - value : value;
        do {
            *--digit = static_cast<char>('0' + magnitude % 10u);
            magnitude /= 10u;
        } while (magnitude != 0);
        if (negative) *--digit = '-';
        *--digit = ' ';
        add(digit, static_cast<std::size_t>(end - digit));
    }
};

// In one piece when the line fits a row, else piece by piece.
void write_echo(LineWriter& w, const EchoLine& echo) {
    if (writer_line(w, ESCAPE_LINE, {echo.text, echo.size}, "")) return;
    writer_start(w, ESCAPE_LINE);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < echo.pieces; ++i) {
        writer_putn(w, echo.text + begin, echo.ends[i] - begin);
        begin = echo.ends[i];
    }
    writer_finish(w, "");
}

constexpr bool is_digit(int c) {
    return c >= '0' && c <= '9';
}

// The escape line of a control sequence: every byte after ESC "[" echoed,
// each run of digits as the value it makes.
void echo_control_sequence(LineWriter& w, const Sequence& s) {
    EchoLine echo;
    echo.add(" Esc [", 6);
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (std::size_t i = 1; i < s.n_bytes; ++i) {
        const int b = s.bytes[i];
        if (is_digit(b)) {
            value = value * 10u + static_cast<std::uint32_t>(b - '0');
            ++digits;
            continue;
        }
        if (digits != 0) {
            // Up to nine digits without a leading zero read as they stand.
            const char* run = reinterpret_cast<const char*>(s.bytes + i - digits);
            if (digits < 10 && (digits == 1 || run[0] != '0')) {
                echo.text[echo.size] = ' ';
                ++echo.size;
                echo.add(run, digits);
            } else {
                echo.add_value(value);
            }
        }
        value = 0;
        digits = 0;
        echo.add_byte(b);
    }
    write_echo(w, echo);
}

// The escape line of an nF sequence, every byte echoed.
void echo_nf_sequence(LineWriter& w, const Sequence& s) {
    EchoLine echo;
    echo.add(" Esc", 4);
    for (std::size_t i = 0; i < s.n_bytes; ++i) echo.add_byte(s.bytes[i]);
    write_echo(w, echo);
}

// With -X, DEC's line sizes and screen test (ESC # F) and the switch to and
// from UTF-8 (ESC % F); the classic account echoes them only.
void describe_extended_nf(LineWriter& w, std::uint8_t i1, std::uint8_t f) {
    struct Row {
        std::uint8_t intermediate;
        std::uint8_t final_byte;
        std::string_view label;
        std::string_view text;
    };
    static constexpr Row rows[] = {
        {'#', '3', "DECDHL: DOUBLE-HEIGHT LINE",
         "(DEC) Make the line the top half of a double-height line."},
        {'#', '4', "DECDHL: DOUBLE-HEIGHT LINE",
         "(DEC) Make the line the bottom half of a double-height line."},
        {'#', '5', "DECSWL: SINGLE-WIDTH LINE", "(DEC) Make the line single-width."},
        {'#', '6', "DECDWL: DOUBLE-WIDTH LINE", "(DEC) Make the line double-width."},
        {'#', '8', "DECALN: SCREEN ALIGNMENT PATTERN",
         "(DEC) Fill the screen with the letter E to align it."},
        {'%', '@', "DOCS: DESIGNATE OTHER CODING SYSTEM",
         "Return to the ISO 2022 coding system from UTF-8."},
        {'%', 'G', "DOCS: DESIGNATE OTHER CODING SYSTEM", "Use UTF-8 as the coding system."},
    };
    for (const Row& row : rows) {
        if (row.intermediate != i1 || row.final_byte != f) continue;
        print_label(w, {row.label});
        print_description(w, {row.text});
        return;
    }
}

// ECMA-35 announcements and designations; "#", "%", "&" and "'" are echoed
// only (with -X the commonest of "#" and "%" are named), and with three or
// more intermediates there is neither label nor description.
void describe_nf_sequence(LineWriter& w, const Sequence& s, bool extended) {
    if (s.n_intermediates > 2) return;
    const std::uint8_t i1 = s.intermediates[0];
    const std::uint8_t i2 = s.n_intermediates == 2 ? s.intermediates[1] : 0;
    const std::uint8_t f = s.final_byte;
    switch (i1) {
        case 0x20:  // ACS: ECMA-35 15.2
            print_label_line(w, "%s: %s", "ACS", "ANNOUNCE CODE STRUCTURE");
            break;
        case '!':
        case '"': describe_control_designation(w, i1, f); break;
        case '$':
            if (i2 == 0 || i2 >= 0x27) describe_multibyte_designation(w, i2, f);
            break;
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case '-':
        case '.':
        case '/': describe_graphic_designation(w, i1, i2, f, extended); break;
        case '#':
        case '%':
            if (extended && i2 == 0) describe_extended_nf(w, i1, f);
            break;
        default: break;
    }
}

// With --html: the pen after SGR, and after a reset of the terminal
// (RIS, DECSTR); a change is marked in the output for the page.
void update_pen(Processor& p, const Sequence& s) {
    const Pen before = *p.pen;
    if (s.kind == FS_SEQUENCE && s.final_byte == 'c') {
        *p.pen = Pen{};
    } else if (s.kind == CSI_SEQUENCE && s.marker == 0 && s.n_intermediates == 1 &&
               s.intermediates[0] == '!' && s.final_byte == 'p') {
        *p.pen = Pen{};
    } else if (s.kind == CSI_SEQUENCE && s.marker == 0 && s.n_intermediates == 0 &&
               s.final_byte == 'm') {
        pen_apply(*p.pen, s.params, s.n_params, p.extended);
    }
    if (*p.pen == before) return;
    mark_pen(p);
}

}  // namespace

void mark_pen(Processor& p) {
    char mark[PEN_MARK_SIZE];
    writer_raw(*p.writer, mark, format_pen_mark(mark, *p.pen));
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

void print_esc_char(LineWriter& w, int c) {
    if (c == 0x20) {
        writer_putn(w, " Spc", 4);
    } else if (c == 0x1b) {
        writer_putn(w, " Esc", 4);
    } else {
        assert(c > 0x20 && c < 0x7f);
        const char item[] = {' ', static_cast<char>(c)};
        writer_putn(w, item, sizeof item);
    }
}

namespace {

// The lines of a parsed sequence: its escape line, its label, its
// descriptions.
void report_sequence(Processor& p, const Sequence& s) {
    LineWriter& w = *p.writer;
    switch (s.kind) {
        case CSI_SEQUENCE:
            echo_control_sequence(w, s);
            if (p.keys) {
                // An X10 mouse report: CSI M and three bytes of its own.
                if (s.final_byte == 'M' && s.marker == 0 && s.n_intermediates == 0 &&
                    s.n_params == 1 && !s.params[0].present) {
                    // Mode 1005 writes each value as a UTF-8 character.
                    std::uint32_t report[3];
                    bool complete = true;
                    bool utf8 = false;
                    for (std::uint32_t& r : report) {
                        const int c = input_get(*p.input);
                        complete = complete && c != EOF;
                        r = c == EOF ? 0 : static_cast<std::uint32_t>(c);
                        if (c != EOF && utf8_length(static_cast<std::uint8_t>(c)) == 2) {
                            const int next = input_get(*p.input);
                            r = (r & 0x1Fu) << 6 | (static_cast<std::uint32_t>(next) & 0x3Fu);
                            utf8 = true;
                        }
                    }
                    if (complete) {
                        describe_x10_mouse(w, report[0], report[1], report[2], utf8);
                        break;
                    }
                }
                if (describe_key_sequence(s, w)) break;
            }
            describe_control_sequence(s, w, p.extended);
            break;
        case NF_SEQUENCE:
            echo_nf_sequence(w, s);
            describe_nf_sequence(w, s, p.extended);
            break;
        case FE_SEQUENCE:
            // SS3 and a key: what an application-mode key sends.
            if (p.keys && s.final_byte == 'O') {
                input_mark(*p.input);
                const int c = input_get(*p.input);
                if (c > 0x20 && c < 0x7f) {
                    input_commit(*p.input);
                    print_escape_line(w, "Esc O %c", c);
                    describe_ss3_key(w, static_cast<std::uint8_t>(c));
                    break;
                }
                input_rewind(*p.input);
            }
            report_two_byte_sequence(w, s.final_byte, two_byte_name(s));
            if (p.extended && !p.keys) describe_two_byte_sequence(w, s);
            break;
        case FP_SEQUENCE:
            report_two_byte_sequence(w, s.final_byte, two_byte_name(s));
            if (p.extended && !p.keys) describe_two_byte_sequence(w, s);
            break;
        case FS_SEQUENCE: report_two_byte_sequence(w, s.final_byte, two_byte_name(s)); break;
    }
}

// The same, kept in the memo when the writer can replay it. The memo is
// only made where the lines depend on nothing but the bytes: not for typed
// input, which reads on past the sequence.
void report_sequence_once(Processor& p, SequenceMemo& memo, const Sequence& s) {
    LineWriter& w = *p.writer;
    if (s.n_bytes > MEMO_KEY_SIZE || !memo_applies(p)) {
        report_sequence(p, s);
        return;
    }
    const bool was_open = w.column != 0;
    const std::uint64_t start = writer_offset(w);
    report_sequence(p, s);
    std::size_t size = 0;
    if (const char* text = writer_output_since(w, start, was_open, &size))
        memo_keep(memo, memo_key(s.bytes, s.n_bytes), text, size);
}

// The length of a sequence after ESC in its commonest forms: ESC "[", an
// optional private marker, digits and ";", a final byte; ESC, one
// intermediate, a final byte; ESC and one byte. 0 for anything else, or
// where the bytes end first.
std::size_t common_sequence_length(const std::uint8_t* bytes, std::size_t n) {
    const std::uint8_t first = bytes[0];
    if (first == '[') {
        std::size_t i = 1;
        if (i < n && is_private_marker(bytes[i])) ++i;
        while (i < n && (is_digit(bytes[i]) || bytes[i] == ';')) ++i;
        return i < n && bytes[i] >= 0x40 && bytes[i] <= 0x7e ? i + 1 : 0;
    }
    if (first >= 0x30 && first <= 0x7e) return 1;
    if (first >= 0x20 && first <= 0x2f && n >= 2 && bytes[1] >= 0x30 && bytes[1] <= 0x7e) return 2;
    return 0;
}

// A sequence whose lines the memo holds, taken from the bytes the input
// holds without parsing it again: parsing is the same for the same bytes,
// and a sequence ends at its final byte whatever follows. False, with
// nothing read, where the memo has not got it.
bool replay_sequence(Processor& p, SequenceMemo& memo) {
    InputBuffer& in = *p.input;
    const std::uint8_t* bytes = nullptr;
    std::size_t n = input_peek(in, &bytes);
    // Sixteen bytes are read for the key.
    if (n < 2 * sizeof(std::uint64_t)) return false;
    if (n > input_lookahead_limit(in)) n = input_lookahead_limit(in);
    const std::size_t length = common_sequence_length(bytes, n);
    if (length == 0 || length > MEMO_KEY_SIZE) return false;
    const MemoSlot* slot = memo_find(memo, memo_key(bytes, length));
    if (slot == nullptr) return false;
    input_skip(in, length);
    writer_replay(*p.writer, slot->text, slot->text_size);
    p.control_break = 1;
    return true;
}

}  // namespace

bool process_escape_sequence(Processor& p) {
    if (memo_applies(p) && replay_sequence(p, *p.memo)) return true;
    Sequence& s = p.sequence;
    if (!parse_sequence(*p.input, s, p.extended)) return false;
    // Typed, ESC k is Alt and k, no title.
    if (p.extended && ((s.kind == FE_SEQUENCE && is_string_introducer(s.final_byte)) ||
                       (s.kind == FS_SEQUENCE && s.final_byte == TITLE_INTRODUCER && !p.keys))) {
        begin_string(p, s.final_byte);
        return true;
    }
    if (p.tally != nullptr) {
        tally_sequence(*p.tally, s,
                       s.kind == CSI_SEQUENCE ? lookup_csi_function(s, p.extended) : CsiLookup{},
                       tally_offset(p, 1 + s.n_bytes), p.keys);
    }
    if (p.memo != nullptr) {
        report_sequence_once(p, *p.memo, s);
    } else {
        report_sequence(p, s);
    }
    if (p.pen != nullptr) update_pen(p, s);
    p.control_break = 1;
    return true;
}

}  // namespace vorsk
