// The procedure of every hook slot. It names the typing engine's and the diagnostics' procedures,
// so it lives above both, with the exports that install them.
#pragma once

#include "hooklib/hook_table.h"

extern const HOOKPROC apfnSlotProc[kHookSlotCount];  // null for WH_MSGFILTER
