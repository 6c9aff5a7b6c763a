// DEC private modes: one row per mode, with the texts of its set and reset
// states, in tables sorted by mode number.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorsk {

struct PrivateModeInfo {
    std::uint32_t mode = 0;
    std::string_view set_text = {};
    std::string_view reset_text = {};
};

// Ascending mode numbers, and both texts of every mode.
template <std::size_t N>
consteval bool modes_sorted_and_complete(const PrivateModeInfo (&rows)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (rows[i].set_text.empty() || rows[i].reset_text.empty()) return false;
        if (i > 0 && rows[i - 1].mode >= rows[i].mode) return false;
    }
    return true;
}

template <std::size_t N>
const PrivateModeInfo* find_mode(const PrivateModeInfo (&rows)[N], std::uint32_t mode) {
    const PrivateModeInfo* found =
        std::lower_bound(rows, rows + N, mode,
                         [](const PrivateModeInfo& row, std::uint32_t m) { return row.mode < m; });
    return found != rows + N && found->mode == mode ? found : nullptr;
}

// The modes current terminals define beyond the classic ones
// (modes_extended.cpp), or nullptr.
const PrivateModeInfo* find_extended_private_mode(std::uint32_t mode);

// The row of a DEC private mode: the classic ones, and with extended those
// of current terminals; nullptr for a mode neither knows (modes.cpp).
const PrivateModeInfo* find_private_mode(std::uint32_t mode, bool extended);

// The acronym and name of an ECMA-48 mode, or false for a number the
// standard leaves unassigned.
bool standard_mode_name(std::uint32_t mode, std::string_view* acronym, std::string_view* name);

}  // namespace vorsk
