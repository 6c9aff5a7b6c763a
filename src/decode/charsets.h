// The registries of code sets: which ISO-IR registration an ECMA-35
// designation's final byte selects, and the registered name of each set.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorsk {

// Registration numbers run up to 140 for control sets and 234 for graphic sets.
inline constexpr std::size_t CONTROL_REGISTRY_SIZE = 141;
inline constexpr std::size_t GRAPHIC_REGISTRY_SIZE = 235;

// Every designation table starts at this final byte; finals below it
// (0x30-0x3F) are for private use.
inline constexpr std::uint8_t FIRST_REGISTERED_FINAL = 0x40;

// Registration number to name; nullptr where the registry has no name.
extern const std::array<const char*, CONTROL_REGISTRY_SIZE> control_set_names;
extern const std::array<const char*, GRAPHIC_REGISTRY_SIZE> graphic_set_names;

// Final byte minus FIRST_REGISTERED_FINAL to registration number.
// C0 sets, ESC ! F: finals @ to L.
extern const std::array<std::uint8_t, 13> c0_registrations;
// C1 sets, ESC " F: finals @ to H.
extern const std::array<std::uint8_t, 9> c1_registrations;
// 94-character sets, ESC ( F to ESC + F: finals @ to }. Four registrations
// are split into 8.1, 8.2, 9.1 and 9.2; only the whole part names a set.
extern const std::array<float, 62> g94_registrations;
// 94-character sets with the second intermediate "!": finals @ to F.
extern const std::array<std::uint8_t, 7> g94_bang_registrations;
// 96-character sets, ESC - F to ESC / F: finals @ to }; -1 where no set is
// assigned, and g96_assigned has bit F - 0x40 set where one is.
extern const std::array<std::int16_t, 62> g96_registrations;
extern const std::uint64_t g96_assigned;
// Multibyte 94-character sets, ESC $ F and ESC $ I F: finals @ to Q.
extern const std::array<std::uint8_t, 18> mb_registrations;

// Acronyms write G0 with the letter Z and G1 to G3 with their digit.
inline constexpr char slot_letters[] = "Z123";

// Room for "ISO-IR-" followed by any int, with the terminating NUL.
inline constexpr std::size_t REGISTRY_NAME_SIZE = 20;

// The registered name of graphic set `number`, or, where the registry has
// none, "ISO-IR-<number>" written into `scratch`. The result lives as long
// as the registry or as `scratch`.
const char* registry_name(int number, char (&scratch)[REGISTRY_NAME_SIZE]);

}  // namespace vorsk
