// The registries of code sets: which ISO-IR registration an ECMA-35
// designation's final byte selects, and the registered name of each set.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorsk {

// The designations that select a registered set by their final byte.
enum SetTable : std::uint8_t {
    C0_SETS,            // ESC ! F
    C1_SETS,            // ESC " F
    G94_SETS,           // ESC ( F to ESC + F
    G94_BANG_SETS,      // the same with the second intermediate "!"
    G96_SETS,           // ESC - F to ESC / F
    MULTIBYTE_94_SETS,  // ESC $ F and ESC $ I F
    N_SET_TABLES,
};

inline constexpr std::int32_t NO_REGISTRATION = -1;

// The registration number that the final selects in the table, or
// NO_REGISTRATION (a private final 0x30-0x3F, or one nothing is registered at).
std::int32_t registration(SetTable table, std::uint8_t final_byte);

// The name of a registered control set; every control set designated has one.
const char* control_set_name(std::int32_t number);

// Acronyms write G0 with the letter Z and G1 to G3 with their digit.
inline constexpr char slot_letters[] = "Z123";

// Room for "ISO-IR-" followed by any int, with the terminating NUL.
inline constexpr std::size_t REGISTRY_NAME_SIZE = 20;

// The registered name of graphic set `number`, or, where the registry has
// none, "ISO-IR-<number>" written into `scratch`. The result lives as long
// as the registry or as `scratch`.
const char* registry_name(int number, char (&scratch)[REGISTRY_NAME_SIZE]);

}  // namespace vorsk
