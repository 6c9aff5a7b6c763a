// Descriptions of the control functions of current terminals.
#include <cstdint>

#include "csi/extended_handlers.h"

namespace vorsk {
namespace {

constexpr const char* cursor_styles[] = {
    "(DEC) Set the cursor to a blinking block (the default).", "(DEC) Set the cursor to a blinking block.",
    "(DEC) Set the cursor to a steady block.",                "(DEC) Set the cursor to a blinking underline.",
    "(DEC) Set the cursor to a steady underline.",            "(Xterm) Set the cursor to a blinking bar.",
    "(Xterm) Set the cursor to a steady bar.",
};

}  // namespace

// DECSCUSR: CSI Ps SP q.
VORSK_CSI_HANDLER(csi_do_decscusr) {
    const std::uint32_t style = a.param(0);
    if (style < std::size(cursor_styles)) {
        print_description_line(w, "%s", cursor_styles[style]);
    } else {
        print_description_line(w, "Cursor style %u is not defined.", style);
    }
}

}  // namespace vorsk
