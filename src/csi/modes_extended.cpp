// The DEC private modes that current terminals define beyond the classic
// ones, described in extended mode.
#include <cstddef>
#include <cstdint>

#include "csi/handlers.h"

namespace vorsk {
namespace {

struct ExtendedMode {
    std::uint32_t mode = 0;
    const char* set_text = nullptr;
    const char* reset_text = nullptr;
};

// Sorted by mode number.
constexpr ExtendedMode extended_modes[] = {
    {.mode = 2026, .set_text = "(contour) Begin synchronized output.", .reset_text = "(contour) End synchronized output."},
};

consteval bool extended_modes_sorted_and_complete() {
    for (std::size_t i = 0; i < std::size(extended_modes); ++i) {
        if (extended_modes[i].set_text == nullptr || extended_modes[i].reset_text == nullptr) return false;
        if (i > 0 && extended_modes[i - 1].mode >= extended_modes[i].mode) return false;
    }
    return true;
}
static_assert(extended_modes_sorted_and_complete());

}  // namespace

const char* extended_private_mode_text(std::uint32_t mode, bool set) {
    std::size_t lo = 0;
    std::size_t hi = std::size(extended_modes);
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (extended_modes[mid].mode < mode) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo == std::size(extended_modes) || extended_modes[lo].mode != mode) return nullptr;
    return set ? extended_modes[lo].set_text : extended_modes[lo].reset_text;
}

}  // namespace vorsk
