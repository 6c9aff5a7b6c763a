// The description handlers of the control function table.
#pragma once

#include "vocab/functions.h"

namespace vorsk {

// Declares or defines a handler with the CsiHandler signature.
#define VORSK_CSI_HANDLER(name) void name([[maybe_unused]] const CsiArguments& a, LineWriter& w)

// Value i of a count or position. A terminal moves, inserts, deletes and
// repeats by 1 where it is given 0, so that is what -X says; the classic
// account shows the value as it stands.
inline std::uint32_t amount(const CsiArguments& a, std::size_t i) {
    const std::uint32_t value = a.param(i);
    return value == 0 && a.extended ? 1 : value;
}

// Cursor, editing, tabulation and reports (cursor.cpp).
VORSK_CSI_HANDLER(csi_do_ich);
VORSK_CSI_HANDLER(csi_do_cuu);
VORSK_CSI_HANDLER(csi_do_cnl);
VORSK_CSI_HANDLER(csi_do_cha);
VORSK_CSI_HANDLER(csi_do_cup);
VORSK_CSI_HANDLER(csi_do_cht);
VORSK_CSI_HANDLER(csi_do_ed);
VORSK_CSI_HANDLER(csi_do_il);
VORSK_CSI_HANDLER(csi_do_dl);
VORSK_CSI_HANDLER(csi_do_ef);
VORSK_CSI_HANDLER(csi_do_dch);
VORSK_CSI_HANDLER(csi_do_cpr);
VORSK_CSI_HANDLER(csi_do_su);
VORSK_CSI_HANDLER(csi_do_ctc);
VORSK_CSI_HANDLER(csi_do_ech);
VORSK_CSI_HANDLER(csi_do_da);
VORSK_CSI_HANDLER(csi_do_vpa);
VORSK_CSI_HANDLER(csi_do_tbc);
VORSK_CSI_HANDLER(csi_do_mc);
VORSK_CSI_HANDLER(csi_do_dec_mc);
VORSK_CSI_HANDLER(csi_do_dsr);

// Modes (modes.cpp).
VORSK_CSI_HANDLER(csi_do_sm);
VORSK_CSI_HANDLER(csi_do_private_modes);
VORSK_CSI_HANDLER(csi_do_decstbm);
VORSK_CSI_HANDLER(csi_do_save_modes);
VORSK_CSI_HANDLER(csi_do_xtsave);

// Graphic rendition (vocab/sgr.cpp).
VORSK_CSI_HANDLER(csi_do_sgr);

// xterm's modifyKeys resources (keys.cpp).
VORSK_CSI_HANDLER(csi_do_set_modify_keys);
VORSK_CSI_HANDLER(csi_do_reset_modify_keys);

// Window operations and the locator (window.cpp).
VORSK_CSI_HANDLER(csi_do_winop);
VORSK_CSI_HANDLER(csi_do_decelr);
VORSK_CSI_HANDLER(csi_do_decsle);
VORSK_CSI_HANDLER(csi_do_decrqlp);
VORSK_CSI_HANDLER(csi_do_decmouse);

}  // namespace vorsk
