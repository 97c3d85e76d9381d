// The ten hook slots: fixed types and procedures, and every procedure hands its events on with
// its own slot's handle.
#include "hooklib/hook_table.h"
#include "diagnostics/journal.h"
#include "diagnostics/monitors.h"
#include "dll/slot_procs.h"
#include "tests/unit/library_test.h"
#include "typing/controller_link.h"
#include "typing/keyboard_hook.h"
#include "typing/prefilter.h"

using namespace fakewin;

TEST(HookTable, SlotsCarryTheirFixedHookTypes) {
  const int expected[kHookSlotCount] = {
      WH_CALLWNDPROC,   WH_CBT,      WH_GETMESSAGE, WH_JOURNALPLAYBACK,
      WH_JOURNALRECORD, WH_KEYBOARD, WH_MOUSE,      -1,
      WH_SYSMSGFILTER,  WH_DEBUG};
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    EXPECT_EQ(anSlotHookType[slot], expected[slot]) << "slot " << slot;
  }
  const HOOKPROC procedures[kHookSlotCount] = {
      CallWndProcMonitor, CbtProc,      GetMessageProc, JournalPlaybackProc, JournalRecordProc,
      KeyboardProc,       MouseMonitor, nullptr,        SysMsgFilterMonitor, DebugMonitor};
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    EXPECT_EQ(apfnSlotProc[slot], procedures[slot]) << "slot " << slot;
  }
}

TEST_F(LibraryTest, HandlesAndFlagsAreZeroAtAttach) {
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    EXPECT_EQ(ahhookSlot[slot], nullptr);
    EXPECT_EQ(afSlotInstalled[slot], 0);
  }
}

// Each procedure in the table, given a negative code, makes exactly one call: CallNextHookEx
// with its own slot's handle and its unchanged arguments, and returns that call's result.
TEST_F(LibraryTest, EveryProcedurePassesOnWithItsOwnSlotsHandle) {
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    ahhookSlot[slot] =
        reinterpret_cast<HHOOK>(uintptr_t{0x00C00010u + static_cast<unsigned>(slot)});
  }
  int procedures = 0;
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    if (apfnSlotProc[slot] == nullptr) continue;
    ++procedures;
    d.ClearLog();
    d.nextHookResult = 0x700 + slot;
    EXPECT_EQ(apfnSlotProc[slot](-1, 0x1234, 0x5678), 0x700 + slot);
    EXPECT_CALLS(d, {NextHook(ahhookSlot[slot], -1, 0x1234, 0x5678)}) << "slot " << slot;
  }
  EXPECT_GE(procedures, 1);
}

// Outside the controller's process the slots hold no handle, and zero is what is passed on.
TEST_F(LibraryTest, OutsideTheControllersProcessTheZeroHandleIsPassedOn) {
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    if (apfnSlotProc[slot] == nullptr) continue;
    d.ClearLog();
    apfnSlotProc[slot](-3, 1, 2);
    EXPECT_CALLS(d, {NextHook(nullptr, -3, 1, 2)}) << "slot " << slot;
  }
}
