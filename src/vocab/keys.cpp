// Keys: xterm's modifyKeys resources (CSI > Ps ; Ps m, CSI > Ps n and
// XTMODKEYS, XTQMODKEYS) and the kitty keyboard protocol.
#include <array>
#include <cstdint>

#include "vocab/handlers.h"

namespace vorsk {
namespace {

// xterm's key modifier resources, by the first value of XTMODKEYS and of
// the classic SGR and DSR forms with ">"; the classic account names the
// three of them that it always has.
struct ModifyKeysResource {
    std::uint32_t number = 0;
    const char* name = nullptr;
    bool classic = false;
};
constexpr ModifyKeysResource modify_keys_resources[] = {
    {0, "modifyKeyboard"},    {1, "modifyCursorKeys", true}, {2, "modifyFunctionKeys", true},
    {3, "modifyKeypadKeys"},  {4, "modifyOtherKeys", true},  {6, "modifyModifierKeys"},
    {7, "modifySpecialKeys"},
};

const char* modify_keys_resource(std::uint32_t number, bool extended) {
    for (const ModifyKeysResource& r : modify_keys_resources) {
        if (r.number == number && (extended || r.classic)) return r.name;
    }
    return nullptr;
}

// The kitty keyboard protocol's flag bits.
constexpr const char* keyboard_flags[] = {
    "Disambiguate escape codes",       "Report event types",     "Report alternate keys",
    "Report all keys as escape codes", "Report associated text",
};

// The flag bits set in flags, one line each under the line before.
void print_keyboard_flags(LineWriter& w, std::uint32_t flags) {
    for (std::size_t bit = 0; bit < 32; ++bit) {
        const std::uint32_t mask = std::uint32_t{1} << bit;
        if ((flags & mask) == 0) continue;
        if (bit < std::size(keyboard_flags)) {
            print_description_line(w, " %s (%u).", keyboard_flags[bit], mask);
        } else {
            print_description_line(w, " Flag %u is not defined.", mask);
        }
    }
}

}  // namespace

VORSK_CSI_HANDLER(csi_do_set_modify_keys) {
    if (const char* resource = modify_keys_resource(a.param(0), false)) {
        print_description_line(w, "(Xterm) Set %s to %u.", resource, a.param(1, 0));
    }
}

VORSK_CSI_HANDLER(csi_do_reset_modify_keys) {
    if (const char* resource = modify_keys_resource(a.param(0), false)) {
        print_description_line(w, "(Xterm) Disable %s.", resource);
    }
}

// XTMODKEYS: CSI > Pp ; Pv m sets a resource; without Pv it goes back to
// its initial value, and without any parameter all of them do.
VORSK_CSI_HANDLER(csi_do_xtmodkeys) {
    if (bare(a)) {
        print_description_line(w,
                               "(Xterm) Reset the key modifier options to their initial values.");
        return;
    }
    const char* resource = modify_keys_resource(a.param(0), true);
    if (resource == nullptr) return;
    if (given(a, 1)) {
        print_description_line(w, "(Xterm) Set %s to %u.", resource, a.param(1));
    } else {
        print_description_line(w, "(Xterm) Reset %s to its initial value.", resource);
    }
}

// XTQMODKEYS: CSI ? Pp m.
VORSK_CSI_HANDLER(csi_do_xtqmodkeys) {
    if (const char* resource = modify_keys_resource(a.param(0), true)) {
        print_description_line(w, "(Xterm) Request the value of %s.", resource);
    }
}

// The kitty keyboard protocol: CSI > flags u pushes, CSI < n u pops,
// CSI ? u asks (and CSI ? flags u answers), CSI = flags ; mode u sets.
VORSK_CSI_HANDLER(csi_do_kitty_keyboard) {
    const std::uint32_t flags = a.param(0);
    const char* end = flags == 0 ? "." : ":";
    switch (a.sequence->marker) {
        case '>':
            print_description_line(w, "(kitty) Push keyboard mode flags %u%s", flags, end);
            break;
        case '<': {
            const std::uint32_t n = flags == 0 ? 1 : flags;
            print_description_line(w, "(kitty) Pop %u keyboard mode entr%s.", n,
                                   n == 1 ? "y" : "ies");
            return;
        }
        case '?':
            if (bare(a)) {
                print_description_line(w, "(kitty) Request the keyboard mode flags.");
                return;
            }
            print_description_line(w, "(kitty) Report keyboard mode flags %u%s", flags, end);
            break;
        default:
            if (a.param(1) == 1) {
                print_description_line(w, "(kitty) Set the keyboard mode flags to %u%s", flags,
                                       end);
            } else if (a.param(1) == 2) {
                print_description_line(w, "(kitty) Turn on keyboard mode flags %u%s", flags, end);
            } else if (a.param(1) == 3) {
                print_description_line(w, "(kitty) Turn off keyboard mode flags %u%s", flags, end);
            } else {
                return;
            }
            break;
    }
    print_keyboard_flags(w, flags);
}

}  // namespace vorsk
