// Labels and descriptions of the ECMA-35 nF sequences that designate code
// sets: C0 and C1 control sets (ESC ! F, ESC " F), and graphic sets of 94
// or 96 characters, single-byte or multibyte, into G0 to G3. The escape line
// is already out; this file adds the label line, then the description line.
#include "vocab/designations.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/line_writer.h"
#include "vocab/charsets.h"

namespace vorsk {

namespace {

constexpr bool is_private_final(int f) {
    return f >= 0x30 && f <= 0x3f;
}

// Which slot a designation fills and how large its set is; slot -1 for an
// intermediate that designates nothing.
struct Target {
    int slot = -1;
    int size_digit = 0;  // 4 or 6: the last digit of 94 or 96
};

// " (NAME)" after a set: its registered name, "private" for a private
// final, or no suffix at all.
struct Suffix {
    char scratch[REGISTRY_NAME_SIZE] = "";
    std::string_view name = {};

    void set_registered(std::int32_t number) { name = registry_name(number, scratch); }
    void set_named(std::string_view set_name) { name = set_name; }
    void set_private() { name = "private"; }
    std::string_view open() const { return name.empty() ? "" : " ("; }
    std::string_view close() const { return name.empty() ? "" : ")"; }
};

// A private final wins over any second intermediate; a second intermediate
// other than "!" on a 94-character set, or any on a 96-character set, has no
// registry, so such a set stays unnamed.
void name_graphic_set(Suffix& suffix, bool is_94, std::uint8_t i2, std::uint8_t f) {
    std::int32_t number = NO_REGISTRATION;
    if (is_private_final(f)) {
        suffix.set_private();
        return;
    }
    if (i2 == 0) {
        number = registration(is_94 ? G94_SETS : G96_SETS, f);
    } else if (is_94 && i2 == '!') {
        number = registration(G94_BANG_SETS, f);
    }
    if (number != NO_REGISTRATION) suffix.set_registered(number);
}

// The 94-character sets of DEC terminals (and xterm) by their designation:
// a final, after a second intermediate for the later ones. A terminal reads
// these finals so whatever the registry says; the 96-character sets it
// takes are the registry's.
struct DecSet {
    std::uint8_t i2 = 0;
    std::uint8_t final_byte = 0;
    std::string_view name = {};
};

constexpr DecSet dec_sets[] = {
    {0, '0', "DEC Special Graphics, line drawing"},
    {0, '1', "DEC Alternate ROM"},
    {0, '2', "DEC Alternate ROM Special Graphics"},
    {0, '<', "DEC Supplemental"},
    {0, '>', "DEC Technical"},
    {0, 'A', "United Kingdom"},
    {0, '4', "Dutch"},
    {0, 'C', "Finnish"},
    {0, '5', "Finnish"},
    {0, 'R', "French"},
    {0, 'f', "French"},
    {0, 'Q', "French Canadian"},
    {0, '9', "French Canadian"},
    {0, 'K', "German"},
    {0, 'Y', "Italian"},
    {0, '`', "Norwegian/Danish"},
    {0, 'E', "Norwegian/Danish"},
    {0, '6', "Norwegian/Danish"},
    {0, 'Z', "Spanish"},
    {0, 'H', "Swedish"},
    {0, '7', "Swedish"},
    {0, '=', "Swiss"},
    {'%', '5', "DEC Supplemental Graphics"},
    {'%', '6', "Portuguese"},
    {'"', '?', "DEC Greek"},
    {'"', '4', "DEC Hebrew"},
    {'%', '0', "DEC Turkish"},
    {'&', '4', "DEC Cyrillic"},
    {'"', '>', "Greek"},
    {'%', '=', "Hebrew"},
    {'%', '2', "Turkish"},
    {'%', '3', "SCS"},
    {'&', '5', "DEC Russian"},
};

consteval bool dec_sets_unique() {
    for (std::size_t i = 0; i < std::size(dec_sets); ++i) {
        for (std::size_t j = i + 1; j < std::size(dec_sets); ++j) {
            const DecSet& a = dec_sets[i];
            const DecSet& b = dec_sets[j];
            if (a.i2 == b.i2 && a.final_byte == b.final_byte) return false;
        }
    }
    return true;
}
static_assert(dec_sets_unique(), "one name per designation");

std::string_view dec_set_name(std::uint8_t i2, std::uint8_t f) {
    for (const DecSet& set : dec_sets) {
        if (set.i2 == i2 && set.final_byte == f) return set.name;
    }
    return {};
}

// One character as a piece of a record.
struct Char {
    char c;
    explicit Char(int value) : c(static_cast<char>(value)) {}
    operator std::string_view() const { return {&c, 1}; }
};

// With -X, DEC's line sizes and screen test (ESC # F) and the switch to and
// from UTF-8 (ESC % F); the classic account echoes them only.
struct NfRow {
    std::uint8_t intermediate;
    std::uint8_t final_byte;
    std::string_view label;
    std::string_view text;
};
constexpr NfRow extended_nf_rows[] = {
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

const NfRow* extended_nf_row(std::uint8_t i1, std::uint8_t f) {
    for (const NfRow& row : extended_nf_rows) {
        if (row.intermediate == i1 && row.final_byte == f) return &row;
    }
    return nullptr;
}

// The slot and size of ESC ( F to ESC / F; ESC , F designates nothing.
Target graphic_target(std::uint8_t i1) {
    if (i1 >= '(' && i1 <= '+') return {.slot = i1 - '(', .size_digit = 4};
    if (i1 >= '-' && i1 <= '/') return {.slot = i1 - ',', .size_digit = 6};
    return {};
}

// The same after "$". ESC $ @, ESC $ A and ESC $ B are the short forms for
// G0; the long form ESC $ ( F is taken only for the other finals.
Target multibyte_target(std::uint8_t i2, std::uint8_t final_byte) {
    const bool short_form_final = final_byte >= '@' && final_byte <= 'B';
    if (i2 == 0) return short_form_final ? Target{.slot = 0, .size_digit = 4} : Target{};
    if (i2 == '(') return short_form_final ? Target{} : Target{.slot = 0, .size_digit = 4};
    if (i2 >= ')' && i2 <= '+') return {.slot = i2 - '(', .size_digit = 4};
    if (i2 >= '-' && i2 <= '/') return {.slot = i2 - ',', .size_digit = 6};
    return {};  // ESC $ ' F and ESC $ , F designate nothing
}

// A label put together from pieces, within its buffer.
struct Label {
    char* out;
    std::size_t cap;
    std::size_t n = 0;
    Label& operator<<(std::string_view piece) {
        for (const char c : piece) {
            if (n + 1 < cap) out[n++] = c;
        }
        return *this;
    }
    Label& operator<<(char c) { return *this << std::string_view{&c, 1}; }
};

// CZD and C1D (ECMA-35): the control set follows from the final alone.
void describe_control_set(LineWriter& w, std::uint8_t i1, std::uint8_t final_byte) {
    const bool c0 = i1 == '!';
    const std::int32_t number = registration(c0 ? C0_SETS : C1_SETS, final_byte);
    if (number == NO_REGISTRATION) return;  // a private or unregistered final
    const char* name = control_set_name(number);
    if (c0) {
        print_description_line(w, "Designate C0 Control Set of %s.", name);
    } else {
        print_description_line(w, "Designate C1 Control Set of %s.", name);
    }
}

// GZD4, G1D4 to G3D4 and G1D6 to G3D6 (ECMA-35).
void describe_graphic_set(LineWriter& w, std::uint8_t i1, std::uint8_t i2, std::uint8_t final_byte,
                          bool extended) {
    const Target target = graphic_target(i1);
    const Char slot('0' + target.slot);
    const Char size('0' + target.size_digit);
    // The set is named by its final, preceded by the second intermediate if any.
    const char set_text[] = {static_cast<char>(i2), static_cast<char>(final_byte)};
    const std::string_view set =
        i2 != 0 ? std::string_view{set_text, 2} : std::string_view{set_text + 1, 1};
    Suffix suffix;
    const bool is_94 = target.size_digit == 4;
    const std::string_view dec_name =
        extended && is_94 ? dec_set_name(i2, final_byte) : std::string_view{};
    if (dec_name.empty()) {
        name_graphic_set(suffix, is_94, i2, final_byte);
    } else {
        suffix.set_named(dec_name);
    }
    print_description(w, {"Designate 9", size, "-character set ", set, suffix.open(), suffix.name,
                          suffix.close(), " to G", slot, "."});
}

// GZDM4, G1DM4 to G3DM4 and G1DM6 to G3DM6 (ECMA-35).
void describe_multibyte_set(LineWriter& w, std::uint8_t i2, std::uint8_t final_byte) {
    const Target target = multibyte_target(i2, final_byte);
    const Char slot('0' + target.slot);
    const Char size('0' + target.size_digit);
    Suffix suffix;
    if (is_private_final(final_byte)) {
        suffix.set_private();
    } else if (target.size_digit == 4) {  // no registry of multibyte 96-character sets
        const std::int32_t number = registration(MULTIBYTE_94_SETS, final_byte);
        if (number != NO_REGISTRATION) suffix.set_registered(number);
    }
    print_description(w, {"Designate multibyte 9", size, "-character set ", Char(final_byte),
                          suffix.open(), suffix.name, suffix.close(), " to G", slot, "."});
}

}  // namespace

std::size_t nf_label(char* out, std::size_t cap, std::uint8_t i1, std::uint8_t i2,
                     std::uint8_t final_byte, bool extended) {
    Label label{out, cap};
    switch (i1) {
        case ' ': label << "ACS: ANNOUNCE CODE STRUCTURE"; break;  // ECMA-35 15.2
        case '!': label << "CZD: C0-DESIGNATE"; break;
        case '"': label << "C1D: C1-DESIGNATE"; break;
        case '$': {
            if (i2 != 0 && i2 < 0x27) break;
            const Target t = multibyte_target(i2, final_byte);
            if (t.slot < 0) break;
            const char size = static_cast<char>('0' + t.size_digit);
            label << 'G' << slot_letters[t.slot] << "DM" << size << ": G"
                  << static_cast<char>('0' + t.slot) << "-DESIGNATE MULTIBYTE 9" << size << "-SET";
            break;
        }
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case '-':
        case '.':
        case '/': {
            const Target t = graphic_target(i1);
            if (t.slot < 0) break;
            const char size = static_cast<char>('0' + t.size_digit);
            label << 'G' << slot_letters[t.slot] << 'D' << size << ": G"
                  << static_cast<char>('0' + t.slot) << "-DESIGNATE 9" << size << "-SET";
            break;
        }
        case '#':
        case '%':
            if (!extended || i2 != 0) break;
            if (const NfRow* row = extended_nf_row(i1, final_byte)) label << row->label;
            break;
        default: break;
    }
    if (cap != 0) out[label.n] = '\0';
    return label.n;
}

// ECMA-35 announcements and designations; "#", "%", "&" and "'" are echoed
// only (with -X the commonest of "#" and "%" are named), and with three or
// more intermediates there is neither label nor description.
void describe_nf_sequence(LineWriter& w, const Sequence& s, bool extended) {
    if (s.n_intermediates > 2) return;
    const std::uint8_t i1 = s.intermediates[0];
    const std::uint8_t i2 = s.n_intermediates == 2 ? s.intermediates[1] : 0;
    const std::uint8_t f = s.final_byte;
    char label[NF_LABEL_SIZE];
    const std::size_t n = nf_label(label, sizeof label, i1, i2, f, extended);
    // nf_label writes no more than the room it is given.
    if (n == 0 || n > sizeof label) return;
    print_label(w, {std::string_view{label, n}});
    if (!writer_shows(w, DESCRIPTION_LINE)) return;
    switch (i1) {
        case '!':
        case '"': describe_control_set(w, i1, f); break;
        case '$': describe_multibyte_set(w, i2, f); break;
        case '#':
        case '%': print_description(w, {extended_nf_row(i1, f)->text}); break;
        case ' ': break;
        default: describe_graphic_set(w, i1, i2, f, extended); break;
    }
}

}  // namespace vorsk
