// The description handlers of the functions of current terminals
// (functions_extended.cpp), used in extended mode.
#pragma once

#include "csi/handlers.h"

namespace vorsk {

VORSK_CSI_HANDLER(csi_do_decscusr);

}  // namespace vorsk
