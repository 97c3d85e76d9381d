#include "dll/slot_procs.h"

#include "diagnostics/journal.h"
#include "diagnostics/monitors.h"
#include "typing/controller_link.h"
#include "typing/keyboard_hook.h"
#include "typing/prefilter.h"

const HOOKPROC apfnSlotProc[kHookSlotCount] = {
    CallWndProcMonitor,   // 0
    CbtProc,              // 1
    GetMessageProc,       // 2: key pre-filter
    JournalPlaybackProc,  // 3
    JournalRecordProc,    // 4
    KeyboardProc,         // 5: keystroke translation
    MouseMonitor,         // 6
    nullptr,              // 7: WH_MSGFILTER, never a procedure
    SysMsgFilterMonitor,  // 8
    DebugMonitor,         // 9
};
