// The ISO-IR registry of code sets and the registrations that the final
// bytes of ECMA-35 designations select. Every table is constant; the
// static_asserts below hold them to their sizes and to each other.
#include "decode/charsets.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vorsk {

namespace {

// One entry of a registry: an ISO-IR number and the registered name.
struct RegisteredSet {
    std::int32_t number = 0;
    const char* name = nullptr;
};

// Not constexpr: reaching it while a registry is built stops the build.
void registry_entry_duplicated_or_out_of_range() {}

// Lays keyed entries out by number, refusing a number outside the registry,
// a number given twice and an entry without a name.
template <std::size_t SIZE, std::size_t N>
consteval std::array<const char*, SIZE> index_by_number(const std::array<RegisteredSet, N>& rows) {
    std::array<const char*, SIZE> names{};
    for (const RegisteredSet& row : rows) {
        if (row.number < 0 || static_cast<std::size_t>(row.number) >= SIZE || row.name == nullptr ||
            names[static_cast<std::size_t>(row.number)] != nullptr) {
            registry_entry_duplicated_or_out_of_range();
        }
        names[static_cast<std::size_t>(row.number)] = row.name;
    }
    return names;
}

// Control sets, in the order of their designations ESC ! F and ESC " F.
constexpr auto control_set_entries = std::to_array<RegisteredSet>({
    {1, "ISO 646"},          // ESC ! @
    {7, "NATS"},             // ESC ! A
    {48, "INIS"},            // ESC ! B
    {26, "ISO-IR-26"},       // ESC ! C
    {36, "ISO-IR-36"},       // ESC ! D
    {106, "T.61"},           // ESC ! E
    {74, "JIS_C6225-1979"},  // ESC ! F
    {104, "ISO_4873"},       // ESC ! G
    {130, "ASMO_662-1985"},  // ESC ! H
    {132, "T.101-1"},        // ESC ! I
    {134, "T.101-2"},        // ESC ! J
    {135, "T.101-3"},        // ESC ! K
    {140, "CSN_369102"},     // ESC ! L
    {56, "VIDEOTEX-GB"},     // ESC " @
    {73, "VIDEOTEX-CCITT"},  // ESC " A
    {124, "ISO_6630-1985"},  // ESC " B
    {77, "ISO_6429-1983"},   // ESC " C
    {133, "T.101-1"},        // ESC " D
    {40, "DIN_31626"},       // ESC " E
    {136, "T.101-3"},        // ESC " F
    {105, "ISO_4873"},       // ESC " G
    {107, "T.61"},           // ESC " H
});

// Graphic sets, in the order of their designations.
constexpr auto graphic_set_entries = std::to_array<RegisteredSet>({
    {2, "ISO_646.irv:1973"},          // ESC ( @
    {4, "ISO646-GB"},                 // ESC ( A
    {6, "US-ASCII"},                  // ESC ( B
    {10, "ISO646-SE"},                // ESC ( G
    {11, "ISO646-SE2"},               // ESC ( H
    {13, "JIS_C6220-1969-JP"},        // ESC ( I
    {14, "ISO646-JP"},                // ESC ( J
    {21, "ISO646-DE"},                // ESC ( K
    {16, "ISO646-PT"},                // ESC ( L
    {39, "ISO_6438"},                 // ESC ( M
    {37, "ISO_5427"},                 // ESC ( N
    {38, "DIN_31624"},                // ESC ( O
    {53, "ISO_5426"},                 // ESC ( P
    {54, "ISO_5427:1981"},            // ESC ( Q
    {25, "ISO646-FR1"},               // ESC ( R
    {55, "ISO_5428"},                 // ESC ( S
    {57, "ISO646-CN"},                // ESC ( T
    {27, "LATIN-GREEK-1"},            // ESC ( U
    {47, "ISO-IR-47"},                // ESC ( V
    {49, "INIS"},                     // ESC ( W
    {31, "ISO_5428:1976"},            // ESC ( X
    {15, "ISO646-IT"},                // ESC ( Y
    {17, "ISO646-ES"},                // ESC ( Z
    {18, "GREEK7-OLD"},               // ESC ( [
    {19, "LATIN-GREEK"},              // ESC ( backslash
    {50, "INIS-8"},                   // ESC ( ]
    {51, "INIS-CYRILLIC"},            // ESC ( ^
    {59, "CODAR-U"},                  // ESC ( _
    {60, "ISO646-NO"},                // ESC ( `
    {61, "ISO646-NO2"},               // ESC ( a
    {70, "CCITT-VIDEOTEX"},           // ESC ( b
    {71, "CCITT-MOSAIC-2"},           // ESC ( c
    {173, "CCITT-MOSAIC-3"},          // ESC ( d
    {68, "APL"},                      // ESC ( e
    {69, "ISO646-FR"},                // ESC ( f
    {84, "ISO646-PT2"},               // ESC ( g
    {85, "ISO646-ES2"},               // ESC ( h
    {86, "ISO646-HU"},                // ESC ( i
    {88, "GREEK7"},                   // ESC ( j
    {89, "ARABIC7"},                  // ESC ( k
    {90, "ISO_6937-2"},               // ESC ( l
    {91, "ISO646-JP-OCR-A"},          // ESC ( m
    {92, "ISO646-JP-OCR-B"},          // ESC ( n
    {93, "ISO646-JP-OCR-B-EXT"},      // ESC ( o
    {94, "ISO646-JP-OCR-HAND"},       // ESC ( p
    {95, "ISO646-JP-OCR-HAND-EXT"},   // ESC ( q
    {96, "JIS_C6229-1984-OCR-HAND"},  // ESC ( r
    {98, "ISO_2033"},                 // ESC ( s
    {99, "ANSI_X3.110"},              // ESC ( t
    {102, "ISO646-T.61"},             // ESC ( u
    {103, "T.61"},                    // ESC ( v
    {121, "ISO646-CA"},               // ESC ( w
    {122, "ISO646-CA2"},              // ESC ( x
    {137, "CCITT-MOSAIC-1"},          // ESC ( y
    {141, "ISO646-YU"},               // ESC ( z
    {146, "JUS_003"},                 // ESC ( {
    {128, "T.101-2"},                 // ESC ( |
    {147, "JUS_004"},                 // ESC ( }
    {150, "GREEK-CCITT"},             // ESC ( ! @
    {151, "ISO646-CU"},               // ESC ( ! A
    {170, "ISO646-INV"},              // ESC ( ! B
    {207, "ISO646-IE"},               // ESC ( ! C
    {230, "TDS-565"},                 // ESC ( ! D
    {231, "ANSI_Z39.47"},             // ESC ( ! E
    {232, "TDS-616"},                 // ESC ( ! F
    {111, "ECMA-CYRILLIC"},           // ESC - @
    {100, "ISO-8859-1"},              // ESC - A
    {101, "ISO-8859-2"},              // ESC - B
    {109, "ISO-8859-3"},              // ESC - C
    {110, "ISO-8859-4"},              // ESC - D
    {123, "CSA_Z243.4-1985-EXT"},     // ESC - E
    {126, "ISO-8859-7:1987"},         // ESC - F
    {127, "ISO-8859-6"},              // ESC - G
    {138, "ISO-8859-8:1988"},         // ESC - H
    {139, "CSN_369103"},              // ESC - I
    {142, "BSI_IST-2"},               // ESC - J
    {143, "IEC_P27-1"},               // ESC - K
    {144, "ISO-8859-5"},              // ESC - L
    {148, "ISO-8859-9"},              // ESC - M
    {152, "ISO_6937-2-RESIDUAL"},     // ESC - N
    {153, "GOST_19768-74"},           // ESC - O
    {154, "ISO-IR-154"},              // ESC - P
    {155, "ISO_10367-BOX"},           // ESC - Q
    {156, "ISO_6937:1992"},           // ESC - R
    {164, "HEBREW-CCITT"},            // ESC - S
    {166, "TIS-620"},                 // ESC - T
    {167, "ARABIC-BULL"},             // ESC - U
    {157, "ISO-8859-10"},             // ESC - V
    {158, "ISO-IR-158"},              // ESC - X
    {179, "ISO-8859-13"},             // ESC - Y
    {180, "TCVN5712:1993"},           // ESC - Z
    {181, "ISO-IR-181"},              // ESC - [
    {182, "LATIN-WELSH"},             // ESC - backslash
    {197, "ISO-IR-197"},              // ESC - ]
    {198, "ISO-8859-8"},              // ESC - ^
    {199, "ISO-8859-14"},             // ESC - _
    {200, "CYRILLIC-URALIC"},         // ESC - `
    {201, "CYRILLIC-VOLGAIC"},        // ESC - a
    {203, "ISO-8859-15"},             // ESC - b
    {204, "ISO-8859-1-EURO"},         // ESC - c
    {205, "ISO-8859-4-EURO"},         // ESC - d
    {206, "ISO-8859-13-EURO"},        // ESC - e
    {226, "ISO-8859-16"},             // ESC - f
    {208, "IS_434:1997"},             // ESC - g
    {209, "ISO-IR-209"},              // ESC - h
    {227, "ISO-8859-7"},              // ESC - i
    {234, "SI1311:2002"},             // ESC - j
    {129, "T.101-3"},                 // ESC - }
    {42, "JIS_C6226-1978"},           // ESC $ @
    {58, "GB_2312-80"},               // ESC $ A
    {168, "JIS_X0208-1990"},          // ESC $ B
    {149, "KSC_5601"},                // ESC $ ( C
    {159, "JIS_X0212-1990"},          // ESC $ ( D
    {165, "CHINESE-CCITT"},           // ESC $ ( E
    {169, "BLISSYMBOL"},              // ESC $ ( F
    {171, "CNS11643-1:1986"},         // ESC $ ( G
    {172, "CNS11643-2:1986"},         // ESC $ ( H
    {183, "CNS11643-3:1992"},         // ESC $ ( I
    {184, "CNS11643-4:1992"},         // ESC $ ( J
    {185, "CNS11643-5:1992"},         // ESC $ ( K
    {186, "CNS11643-6:1992"},         // ESC $ ( L
    {187, "CNS11643-7:1992"},         // ESC $ ( M
    {202, "KPS_9566-97"},             // ESC $ ( N
    {228, "JIS_X0213-1:2000"},        // ESC $ ( O
    {229, "JIS_X0213-2:2000"},        // ESC $ ( P
    {233, "JIS_X0213-1:2004"},        // ESC $ ( Q
});

}  // namespace

constexpr std::array<const char*, CONTROL_REGISTRY_SIZE> control_set_names =
    index_by_number<CONTROL_REGISTRY_SIZE>(control_set_entries);
constexpr std::array<const char*, GRAPHIC_REGISTRY_SIZE> graphic_set_names =
    index_by_number<GRAPHIC_REGISTRY_SIZE>(graphic_set_entries);

// ESC ! F, finals 0x40-0x4C.
constexpr std::array<std::uint8_t, 13> c0_registrations = std::to_array<std::uint8_t>({
    /* 0x40 */ 1,
    7,
    48,
    26,
    36,
    106,
    74,
    104,
    /* 0x48 */ 130,
    132,
    134,
    135,
    140,
});

// ESC " F, finals 0x40-0x48.
constexpr std::array<std::uint8_t, 9> c1_registrations = std::to_array<std::uint8_t>({
    /* 0x40 */ 56,
    73,
    124,
    77,
    133,
    40,
    136,
    105,
    /* 0x48 */ 107,
});

// ESC ( F, finals 0x40-0x7D. Four registrations carry a sub-number (8.1,
// 8.2, 9.1, 9.2); the registry knows only the whole number.
constexpr std::array<float, 62> g94_registrations = std::to_array<float>({
    /* 0x40 */ 2,   4,   6,   8.1f, 8.2f, 9.1f, 9.2f, 10,
    /* 0x48 */ 11,  13,  14,  21,   16,   39,   37,   38,
    /* 0x50 */ 53,  54,  25,  55,   57,   27,   47,   49,
    /* 0x58 */ 31,  15,  17,  18,   19,   50,   51,   59,
    /* 0x60 */ 60,  61,  70,  71,   173,  68,   69,   84,
    /* 0x68 */ 85,  86,  88,  89,   90,   91,   92,   93,
    /* 0x70 */ 94,  95,  96,  98,   99,   102,  103,  121,
    /* 0x78 */ 122, 137, 141, 146,  128,  147,
});

// ESC ( ! F, finals 0x40-0x46.
constexpr std::array<std::uint8_t, 7> g94_bang_registrations = std::to_array<std::uint8_t>({
    /* 0x40 */ 150,
    151,
    170,
    207,
    230,
    231,
    232,
});

// ESC - F, finals 0x40-0x7D; -1 where no set is assigned.
constexpr std::array<std::int16_t, 62> g96_registrations = std::to_array<std::int16_t>({
    /* 0x40 */ 111, 100, 101, 109, 110, 123, 126, 127,
    /* 0x48 */ 138, 139, 142, 143, 144, 148, 152, 153,
    /* 0x50 */ 154, 155, 156, 164, 166, 167, 157, -1,
    /* 0x58 */ 158, 179, 180, 181, 182, 197, 198, 199,
    /* 0x60 */ 200, 201, 203, 204, 205, 206, 226, 208,
    /* 0x68 */ 209, 227, 234, -1,  -1,  -1,  -1,  -1,
    /* 0x70 */ -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,
    /* 0x78 */ -1,  -1,  -1,  -1,  -1,  129,
});

// Bit F - 0x40 is set for the finals that have a 96-character set:
// 0x40-0x56, 0x58-0x6A and 0x7D.
constexpr std::uint64_t g96_assigned = 0x007F'FFFFull | (0x7'FFFFull << 0x18) | (1ull << 0x3D);

// ESC $ ( F, finals 0x40-0x51.
constexpr std::array<std::uint8_t, 18> mb_registrations = std::to_array<std::uint8_t>({
    /* 0x40 */ 42,
    58,
    168,
    149,
    159,
    165,
    169,
    171,
    /* 0x48 */ 172,
    183,
    184,
    185,
    186,
    187,
    202,
    228,
    /* 0x50 */ 229,
    233,
});

namespace {

static_assert(control_set_entries.size() == 22);
static_assert(graphic_set_entries.size() == 126);
static_assert(std::popcount(g96_assigned) == 43);

constexpr bool has_control_name(std::int32_t number) {
    return number >= 0 && static_cast<std::size_t>(number) < CONTROL_REGISTRY_SIZE &&
           control_set_names[static_cast<std::size_t>(number)] != nullptr;
}

constexpr bool has_graphic_name(std::int32_t number) {
    return number >= 0 && static_cast<std::size_t>(number) < GRAPHIC_REGISTRY_SIZE &&
           graphic_set_names[static_cast<std::size_t>(number)] != nullptr;
}

// Every designation of a control set has a name: C0 and C1 need no fallback.
consteval bool all_named_control_sets(const auto& table) {
    for (auto number : table) {
        if (!has_control_name(number)) return false;
    }
    return true;
}
static_assert(all_named_control_sets(c0_registrations));
static_assert(all_named_control_sets(c1_registrations));

consteval bool all_named_graphic_sets(const auto& table) {
    for (auto number : table) {
        if (!has_graphic_name(number)) return false;
    }
    return true;
}
static_assert(all_named_graphic_sets(g94_bang_registrations));
static_assert(all_named_graphic_sets(mb_registrations));

// The whole parts 8 and 9 are the only 94-character registrations without a name.
consteval bool g94_named_but_8_and_9() {
    for (float entry : g94_registrations) {
        const auto number = static_cast<std::int32_t>(entry);
        if (has_graphic_name(number) == (number == 8 || number == 9)) return false;
    }
    return true;
}
static_assert(g94_named_but_8_and_9());

// A 96-character final is assigned exactly where its bit is set, and then
// names a registered set.
consteval bool g96_mask_matches_table() {
    for (std::size_t i = 0; i < g96_registrations.size(); ++i) {
        const bool assigned = ((g96_assigned >> i) & 1u) != 0;
        if (assigned != (g96_registrations[i] >= 0)) return false;
        if (assigned && !has_graphic_name(g96_registrations[i])) return false;
    }
    return true;
}
static_assert(g96_mask_matches_table());

// Each entry lands at its own number, so the registries hold exactly the
// names listed above.
consteval std::size_t count_names(const auto& names) {
    std::size_t n = 0;
    for (const char* name : names) n += name != nullptr;
    return n;
}
static_assert(count_names(control_set_names) == 22);
static_assert(count_names(graphic_set_names) == 126);

static_assert(sizeof "ISO-IR--2147483648" <= REGISTRY_NAME_SIZE);
static_assert(std::char_traits<char>::length(slot_letters) == 4);

}  // namespace

const char* registry_name(int number, char (&scratch)[REGISTRY_NAME_SIZE]) {
    if (has_graphic_name(number)) return graphic_set_names[static_cast<std::size_t>(number)];
    std::snprintf(scratch, sizeof scratch, "ISO-IR-%d", number);
    return scratch;
}

}  // namespace vorsk
