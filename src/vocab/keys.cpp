// Descriptions of xterm's modifyKeys resources, which CSI > Ps ; Ps m sets
// and CSI > Ps n resets.
#include <array>
#include <cstdint>

#include "vocab/handlers.h"

namespace vorsk {
namespace {

// By the resource's number, the first value of either sequence.
constexpr auto modify_keys_resources = std::to_array<const char*>({
    nullptr,
    "modifyCursorKeys",
    "modifyFunctionKeys",
    nullptr,
    "modifyOtherKeys",
});

const char* modify_keys_resource(std::uint32_t number) {
    return number < modify_keys_resources.size() ? modify_keys_resources[number] : nullptr;
}

}  // namespace

VORSK_CSI_HANDLER(csi_do_set_modify_keys) {
    if (const char* resource = modify_keys_resource(a.param(0))) {
        print_description_line(w, "(Xterm) Set %s to %u.", resource, a.param(1, 0));
    }
}

VORSK_CSI_HANDLER(csi_do_reset_modify_keys) {
    if (const char* resource = modify_keys_resource(a.param(0))) {
        print_description_line(w, "(Xterm) Disable %s.", resource);
    }
}

}  // namespace vorsk
