// The ISO-IR registry of code sets, one row per registration that an
// ECMA-35 designation selects, and the tables built from the rows at
// compile time: by designation and final byte, and by registration number.
#include "vocab/charsets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vorsk {
namespace {

struct SetRegistration {
    SetTable table = N_SET_TABLES;
    char final_byte = 0;
    std::int16_t number = 0;
    const char* name = nullptr;  // nullptr: the registry names no set here
};

// In the order of their designations. The registry splits numbers 8 and 9
// into 8-1, 8-2, 9-1 and 9-2, none of them named; only the whole number is
// shown.
constexpr SetRegistration registrations[] = {
    {C0_SETS, '@', 1, "ISO 646"},
    {C0_SETS, 'A', 7, "NATS"},
    {C0_SETS, 'B', 48, "INIS"},
    {C0_SETS, 'C', 26, "ISO-IR-26"},
    {C0_SETS, 'D', 36, "ISO-IR-36"},
    {C0_SETS, 'E', 106, "T.61"},
    {C0_SETS, 'F', 74, "JIS_C6225-1979"},
    {C0_SETS, 'G', 104, "ISO_4873"},
    {C0_SETS, 'H', 130, "ASMO_662-1985"},
    {C0_SETS, 'I', 132, "T.101-1"},
    {C0_SETS, 'J', 134, "T.101-2"},
    {C0_SETS, 'K', 135, "T.101-3"},
    {C0_SETS, 'L', 140, "CSN_369102"},
    {C1_SETS, '@', 56, "VIDEOTEX-GB"},
    {C1_SETS, 'A', 73, "VIDEOTEX-CCITT"},
    {C1_SETS, 'B', 124, "ISO_6630-1985"},
    {C1_SETS, 'C', 77, "ISO_6429-1983"},
    {C1_SETS, 'D', 133, "T.101-1"},
    {C1_SETS, 'E', 40, "DIN_31626"},
    {C1_SETS, 'F', 136, "T.101-3"},
    {C1_SETS, 'G', 105, "ISO_4873"},
    {C1_SETS, 'H', 107, "T.61"},
    {G94_SETS, '@', 2, "ISO_646.irv:1973"},
    {G94_SETS, 'A', 4, "ISO646-GB"},
    {G94_SETS, 'B', 6, "US-ASCII"},
    {G94_SETS, 'C', 8, nullptr},
    {G94_SETS, 'D', 8, nullptr},
    {G94_SETS, 'E', 9, nullptr},
    {G94_SETS, 'F', 9, nullptr},
    {G94_SETS, 'G', 10, "ISO646-SE"},
    {G94_SETS, 'H', 11, "ISO646-SE2"},
    {G94_SETS, 'I', 13, "JIS_C6220-1969-JP"},
    {G94_SETS, 'J', 14, "ISO646-JP"},
    {G94_SETS, 'K', 21, "ISO646-DE"},
    {G94_SETS, 'L', 16, "ISO646-PT"},
    {G94_SETS, 'M', 39, "ISO_6438"},
    {G94_SETS, 'N', 37, "ISO_5427"},
    {G94_SETS, 'O', 38, "DIN_31624"},
    {G94_SETS, 'P', 53, "ISO_5426"},
    {G94_SETS, 'Q', 54, "ISO_5427:1981"},
    {G94_SETS, 'R', 25, "ISO646-FR1"},
    {G94_SETS, 'S', 55, "ISO_5428"},
    {G94_SETS, 'T', 57, "ISO646-CN"},
    {G94_SETS, 'U', 27, "LATIN-GREEK-1"},
    {G94_SETS, 'V', 47, "ISO-IR-47"},
    {G94_SETS, 'W', 49, "INIS"},
    {G94_SETS, 'X', 31, "ISO_5428:1976"},
    {G94_SETS, 'Y', 15, "ISO646-IT"},
    {G94_SETS, 'Z', 17, "ISO646-ES"},
    {G94_SETS, '[', 18, "GREEK7-OLD"},
    {G94_SETS, '\\', 19, "LATIN-GREEK"},
    {G94_SETS, ']', 50, "INIS-8"},
    {G94_SETS, '^', 51, "INIS-CYRILLIC"},
    {G94_SETS, '_', 59, "CODAR-U"},
    {G94_SETS, '`', 60, "ISO646-NO"},
    {G94_SETS, 'a', 61, "ISO646-NO2"},
    {G94_SETS, 'b', 70, "CCITT-VIDEOTEX"},
    {G94_SETS, 'c', 71, "CCITT-MOSAIC-2"},
    {G94_SETS, 'd', 173, "CCITT-MOSAIC-3"},
    {G94_SETS, 'e', 68, "APL"},
    {G94_SETS, 'f', 69, "ISO646-FR"},
    {G94_SETS, 'g', 84, "ISO646-PT2"},
    {G94_SETS, 'h', 85, "ISO646-ES2"},
    {G94_SETS, 'i', 86, "ISO646-HU"},
    {G94_SETS, 'j', 88, "GREEK7"},
    {G94_SETS, 'k', 89, "ARABIC7"},
    {G94_SETS, 'l', 90, "ISO_6937-2"},
    {G94_SETS, 'm', 91, "ISO646-JP-OCR-A"},
    {G94_SETS, 'n', 92, "ISO646-JP-OCR-B"},
    {G94_SETS, 'o', 93, "ISO646-JP-OCR-B-EXT"},
    {G94_SETS, 'p', 94, "ISO646-JP-OCR-HAND"},
    {G94_SETS, 'q', 95, "ISO646-JP-OCR-HAND-EXT"},
    {G94_SETS, 'r', 96, "JIS_C6229-1984-OCR-HAND"},
    {G94_SETS, 's', 98, "ISO_2033"},
    {G94_SETS, 't', 99, "ANSI_X3.110"},
    {G94_SETS, 'u', 102, "ISO646-T.61"},
    {G94_SETS, 'v', 103, "T.61"},
    {G94_SETS, 'w', 121, "ISO646-CA"},
    {G94_SETS, 'x', 122, "ISO646-CA2"},
    {G94_SETS, 'y', 137, "CCITT-MOSAIC-1"},
    {G94_SETS, 'z', 141, "ISO646-YU"},
    {G94_SETS, '{', 146, "JUS_003"},
    {G94_SETS, '|', 128, "T.101-2"},
    {G94_SETS, '}', 147, "JUS_004"},
    {G94_BANG_SETS, '@', 150, "GREEK-CCITT"},
    {G94_BANG_SETS, 'A', 151, "ISO646-CU"},
    {G94_BANG_SETS, 'B', 170, "ISO646-INV"},
    {G94_BANG_SETS, 'C', 207, "ISO646-IE"},
    {G94_BANG_SETS, 'D', 230, "TDS-565"},
    {G94_BANG_SETS, 'E', 231, "ANSI_Z39.47"},
    {G94_BANG_SETS, 'F', 232, "TDS-616"},
    {G96_SETS, '@', 111, "ECMA-CYRILLIC"},
    {G96_SETS, 'A', 100, "ISO-8859-1"},
    {G96_SETS, 'B', 101, "ISO-8859-2"},
    {G96_SETS, 'C', 109, "ISO-8859-3"},
    {G96_SETS, 'D', 110, "ISO-8859-4"},
    {G96_SETS, 'E', 123, "CSA_Z243.4-1985-EXT"},
    {G96_SETS, 'F', 126, "ISO-8859-7:1987"},
    {G96_SETS, 'G', 127, "ISO-8859-6"},
    {G96_SETS, 'H', 138, "ISO-8859-8:1988"},
    {G96_SETS, 'I', 139, "CSN_369103"},
    {G96_SETS, 'J', 142, "BSI_IST-2"},
    {G96_SETS, 'K', 143, "IEC_P27-1"},
    {G96_SETS, 'L', 144, "ISO-8859-5"},
    {G96_SETS, 'M', 148, "ISO-8859-9"},
    {G96_SETS, 'N', 152, "ISO_6937-2-RESIDUAL"},
    {G96_SETS, 'O', 153, "GOST_19768-74"},
    {G96_SETS, 'P', 154, "ISO-IR-154"},
    {G96_SETS, 'Q', 155, "ISO_10367-BOX"},
    {G96_SETS, 'R', 156, "ISO_6937:1992"},
    {G96_SETS, 'S', 164, "HEBREW-CCITT"},
    {G96_SETS, 'T', 166, "TIS-620"},
    {G96_SETS, 'U', 167, "ARABIC-BULL"},
    {G96_SETS, 'V', 157, "ISO-8859-10"},
    {G96_SETS, 'X', 158, "ISO-IR-158"},
    {G96_SETS, 'Y', 179, "ISO-8859-13"},
    {G96_SETS, 'Z', 180, "TCVN5712:1993"},
    {G96_SETS, '[', 181, "ISO-IR-181"},
    {G96_SETS, '\\', 182, "LATIN-WELSH"},
    {G96_SETS, ']', 197, "ISO-IR-197"},
    {G96_SETS, '^', 198, "ISO-8859-8"},
    {G96_SETS, '_', 199, "ISO-8859-14"},
    {G96_SETS, '`', 200, "CYRILLIC-URALIC"},
    {G96_SETS, 'a', 201, "CYRILLIC-VOLGAIC"},
    {G96_SETS, 'b', 203, "ISO-8859-15"},
    {G96_SETS, 'c', 204, "ISO-8859-1-EURO"},
    {G96_SETS, 'd', 205, "ISO-8859-4-EURO"},
    {G96_SETS, 'e', 206, "ISO-8859-13-EURO"},
    {G96_SETS, 'f', 226, "ISO-8859-16"},
    {G96_SETS, 'g', 208, "IS_434:1997"},
    {G96_SETS, 'h', 209, "ISO-IR-209"},
    {G96_SETS, 'i', 227, "ISO-8859-7"},
    {G96_SETS, 'j', 234, "SI1311:2002"},
    {G96_SETS, '}', 129, "T.101-3"},
    {MULTIBYTE_94_SETS, '@', 42, "JIS_C6226-1978"},
    {MULTIBYTE_94_SETS, 'A', 58, "GB_2312-80"},
    {MULTIBYTE_94_SETS, 'B', 168, "JIS_X0208-1990"},
    {MULTIBYTE_94_SETS, 'C', 149, "KSC_5601"},
    {MULTIBYTE_94_SETS, 'D', 159, "JIS_X0212-1990"},
    {MULTIBYTE_94_SETS, 'E', 165, "CHINESE-CCITT"},
    {MULTIBYTE_94_SETS, 'F', 169, "BLISSYMBOL"},
    {MULTIBYTE_94_SETS, 'G', 171, "CNS11643-1:1986"},
    {MULTIBYTE_94_SETS, 'H', 172, "CNS11643-2:1986"},
    {MULTIBYTE_94_SETS, 'I', 183, "CNS11643-3:1992"},
    {MULTIBYTE_94_SETS, 'J', 184, "CNS11643-4:1992"},
    {MULTIBYTE_94_SETS, 'K', 185, "CNS11643-5:1992"},
    {MULTIBYTE_94_SETS, 'L', 186, "CNS11643-6:1992"},
    {MULTIBYTE_94_SETS, 'M', 187, "CNS11643-7:1992"},
    {MULTIBYTE_94_SETS, 'N', 202, "KPS_9566-97"},
    {MULTIBYTE_94_SETS, 'O', 228, "JIS_X0213-1:2000"},
    {MULTIBYTE_94_SETS, 'P', 229, "JIS_X0213-2:2000"},
    {MULTIBYTE_94_SETS, 'Q', 233, "JIS_X0213-1:2004"},
};

// Finals run from 0x40 to 0x7E; those below are for private use.
constexpr std::uint8_t FIRST_FINAL = 0x40;
constexpr std::size_t N_FINALS = 0x7f - FIRST_FINAL;
constexpr std::size_t CONTROL_REGISTRY_SIZE = 141;
constexpr std::size_t GRAPHIC_REGISTRY_SIZE = 235;

// Not constexpr: reaching it while a table is built stops the build.
void registration_duplicated_or_out_of_range() {}

using FinalTable = std::array<std::array<std::int16_t, N_FINALS>, N_SET_TABLES>;

consteval FinalTable by_final() {
    FinalTable table{};
    for (auto& finals : table) finals.fill(NO_REGISTRATION);
    for (const SetRegistration& r : registrations) {
        const auto f = static_cast<std::uint8_t>(r.final_byte);
        if (r.table >= N_SET_TABLES || f < FIRST_FINAL || f >= FIRST_FINAL + N_FINALS ||
            r.number < 0 || table[r.table][f - FIRST_FINAL] != NO_REGISTRATION) {
            registration_duplicated_or_out_of_range();
        }
        table[r.table][f - FIRST_FINAL] = r.number;
    }
    return table;
}

constexpr bool is_control_table(SetTable table) {
    return table == C0_SETS || table == C1_SETS;
}

// Each number names one set, of control functions or of graphic characters.
template <std::size_t SIZE>
consteval std::array<const char*, SIZE> by_number(bool control) {
    std::array<const char*, SIZE> names{};
    for (const SetRegistration& r : registrations) {
        if (is_control_table(r.table) != control || r.name == nullptr) continue;
        if (static_cast<std::size_t>(r.number) >= SIZE ||
            names[static_cast<std::size_t>(r.number)] != nullptr) {
            registration_duplicated_or_out_of_range();
        }
        names[static_cast<std::size_t>(r.number)] = r.name;
    }
    return names;
}

constexpr FinalTable registration_by_final = by_final();
constexpr auto control_set_names = by_number<CONTROL_REGISTRY_SIZE>(true);
constexpr auto graphic_set_names = by_number<GRAPHIC_REGISTRY_SIZE>(false);

// Every control set is named, so that its description needs no fallback;
// of the graphic sets only 8 and 9 are not.
consteval bool names_present() {
    for (const SetRegistration& r : registrations) {
        const bool unnamed_graphic = !is_control_table(r.table) && (r.number == 8 || r.number == 9);
        if ((r.name == nullptr) != unnamed_graphic) return false;
    }
    return true;
}
static_assert(names_present());

constexpr bool has_graphic_name(std::int32_t number) {
    return number >= 0 && static_cast<std::size_t>(number) < GRAPHIC_REGISTRY_SIZE &&
           graphic_set_names[static_cast<std::size_t>(number)] != nullptr;
}

static_assert(sizeof "ISO-IR--2147483648" <= REGISTRY_NAME_SIZE);
static_assert(sizeof slot_letters == 5);

}  // namespace

std::int32_t registration(SetTable table, std::uint8_t final_byte) {
    if (table >= N_SET_TABLES || final_byte < FIRST_FINAL || final_byte >= FIRST_FINAL + N_FINALS) {
        return NO_REGISTRATION;
    }
    return registration_by_final[table][final_byte - FIRST_FINAL];
}

const char* control_set_name(std::int32_t number) {
    return number >= 0 && static_cast<std::size_t>(number) < CONTROL_REGISTRY_SIZE
               ? control_set_names[static_cast<std::size_t>(number)]
               : nullptr;
}

const char* registry_name(int number, char (&scratch)[REGISTRY_NAME_SIZE]) {
    if (has_graphic_name(number)) return graphic_set_names[static_cast<std::size_t>(number)];
    std::snprintf(scratch, sizeof scratch, "ISO-IR-%d", number);
    return scratch;
}

}  // namespace vorsk
