// The description handlers of the functions of current terminals
// (functions_extended.cpp), used in extended mode.
#pragma once

#include "vocab/handlers.h"

namespace vorsk {

VORSK_CSI_HANDLER(csi_do_decscusr);
VORSK_CSI_HANDLER(csi_do_decstr);
VORSK_CSI_HANDLER(csi_do_decrqm);
VORSK_CSI_HANDLER(csi_do_decrpm);
VORSK_CSI_HANDLER(csi_do_decsca);
VORSK_CSI_HANDLER(csi_do_decscl);
VORSK_CSI_HANDLER(csi_do_decst8c);
VORSK_CSI_HANDLER(csi_do_xtsmgraphics);
VORSK_CSI_HANDLER(csi_do_scosc_decslrm);
VORSK_CSI_HANDLER(csi_do_scorc);
VORSK_CSI_HANDLER(csi_do_decic);
VORSK_CSI_HANDLER(csi_do_deccara);
VORSK_CSI_HANDLER(csi_do_decrara);
VORSK_CSI_HANDLER(csi_do_deccra);
VORSK_CSI_HANDLER(csi_do_decfra);
VORSK_CSI_HANDLER(csi_do_decera);
VORSK_CSI_HANDLER(csi_do_decsace);
VORSK_CSI_HANDLER(csi_do_rep);
VORSK_CSI_HANDLER(csi_do_xtversion);
VORSK_CSI_HANDLER(csi_do_da1);
VORSK_CSI_HANDLER(csi_do_da1_answer);
VORSK_CSI_HANDLER(csi_do_da2);
VORSK_CSI_HANDLER(csi_do_da3);
VORSK_CSI_HANDLER(csi_do_xtmodkeys);
VORSK_CSI_HANDLER(csi_do_xtqmodkeys);
VORSK_CSI_HANDLER(csi_do_xtpushsgr);
VORSK_CSI_HANDLER(csi_do_xtpopsgr);
VORSK_CSI_HANDLER(csi_do_xtreportsgr);
VORSK_CSI_HANDLER(csi_do_xtcolors);
VORSK_CSI_HANDLER(csi_do_kitty_keyboard);
VORSK_CSI_HANDLER(csi_do_dec_dsr);
VORSK_CSI_HANDLER(csi_do_decxcpr);
VORSK_CSI_HANDLER(csi_do_ext_decstbm);
VORSK_CSI_HANDLER(csi_do_xtwinops);

}  // namespace vorsk
