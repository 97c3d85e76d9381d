// The exported interface: switching hook slots, drawing status lines, and the small exports.
#include <string>

#include "dll/exports.h"
#include "dll/slot_procs.h"
#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"
#include "tests/unit/library_test.h"
#include "typing/controller_link.h"
#include "typing/keyboard_hook.h"

using namespace fakewin;

namespace {

using ExportsTest = ControllerProcessTest;

}  // namespace

TEST_F(ExportsTest, SmallExports) {
  EXPECT_EQ(fnZafrelXP(), 42);
  EXPECT_EQ(nZafrelXP, 0);
  EXPECT_EQ(WEP(12345), 1);
  CZafrelXP a, b;
  EXPECT_EQ(CZafrelXP_Construct(&a), &a);
  EXPECT_EQ(&(a = b), &a);
  EXPECT_ALL_CALLS(d, {});
}

TEST_F(ExportsTest, InitSetsTheStatusRecordAndTheCallersTypingMode) {
  EXPECT_EQ(InitZafrelXPDll(status, 17), 0);
  EXPECT_EQ(statusRecord.hwndStatus, status);
  EXPECT_EQ(statusRecord.nLineHeight, 17);
  EXPECT_STREQ(TypingMode(), "FALSE");
  SetTypingMode(kTypingModeTrue);
  EXPECT_EQ(InitZafrelXPDll(nullptr, 0), 0);
  EXPECT_STREQ(TypingMode(), "FALSE");
  EXPECT_ALL_CALLS(d, {});
}

TEST_F(ExportsTest, EverySlotWithAProcedureInstallsItsHookForTheWholeDesktop) {
  for (int slot = 0; slot < kHookSlotCount; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    d.ClearLog();
    const int result = InstallFilter(slot, 1, status, 0);
    if (apfnSlotProc[slot] == nullptr) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(afSlotInstalled[slot], 0);
      EXPECT_EQ(ahhookSlot[slot], nullptr);
      EXPECT_CALLS(d, {});
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(afSlotInstalled[slot], 1);
      EXPECT_NE(ahhookSlot[slot], nullptr);
      EXPECT_CALLS(d, {HookSet(anSlotHookType[slot], apfnSlotProc[slot], module, 0)});
    }
  }
}

TEST_F(ExportsTest, SwitchingOnTwiceInstallsOneHook) {
  EXPECT_EQ(InstallFilter(kSlotKeyboard, 1, nullptr, 0), 1);
  const HHOOK first = ahhookSlot[kSlotKeyboard];
  EXPECT_EQ(InstallFilter(kSlotKeyboard, 7, nullptr, 0), 1);
  EXPECT_EQ(ahhookSlot[kSlotKeyboard], first);
  EXPECT_CALLS(d, {HookSet(WH_KEYBOARD, KeyboardProc, module, 0)});
}

TEST_F(ExportsTest, SlotSevenAndRefusedHooksStayOff) {
  EXPECT_EQ(InstallFilter(kSlotMsgFilter, 1, nullptr, 0), 0);
  EXPECT_EQ(afSlotInstalled[kSlotMsgFilter], 0);
  d.refuseHooks = true;
  EXPECT_EQ(InstallFilter(kSlotCbt, 1, nullptr, 0), 0);
  EXPECT_EQ(afSlotInstalled[kSlotCbt], 0);
  EXPECT_EQ(ahhookSlot[kSlotCbt], nullptr);
  EXPECT_CALLS(d, {HookSet(WH_CBT, CbtProc, module, 0)});
}

TEST_F(ExportsTest, SwitchingOffUnhooksOnceAndRepaintsTheStatusWindow) {
  InitZafrelXPDll(status, 16);
  InstallFilter(kSlotCbt, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotCbt];
  d.ClearLog();
  EXPECT_EQ(InstallFilter(kSlotCbt, 0, nullptr, 0), 1);
  EXPECT_EQ(afSlotInstalled[kSlotCbt], 0);
  EXPECT_EQ(ahhookSlot[kSlotCbt], nullptr);
  EXPECT_EQ(InstallFilter(kSlotCbt, 0, nullptr, 0), 1);  // already off: nothing to unhook
  EXPECT_CALLS(d, {Unhook(hook), InvalidateCall(status, true, TRUE), UpdateCall(status),
                   InvalidateCall(status, true, TRUE), UpdateCall(status)});
}

TEST_F(ExportsTest, NoStatusWindowMeansNoDesktopWideRepaint) {
  InstallFilter(kSlotCbt, 1, nullptr, 0);
  const HHOOK hook = ahhookSlot[kSlotCbt];
  d.ClearLog();
  InstallFilter(kSlotCbt, 0, nullptr, 0);  // no status window set
  InitZafrelXPDll(d.AddWindow("Static"), 16);
  d.DestroyWindow(statusRecord.hwndStatus);  // set, but gone
  InstallFilter(kSlotCbt, 0, nullptr, 0);
  EXPECT_CALLS(d, {Unhook(hook)});
}

TEST_F(ExportsTest, SlotsOutsideTheTableChangeNothing) {
  for (int index : {-1, 10, 11, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(InstallFilter(index, 1, nullptr, 0), 0);
    EXPECT_EQ(InstallFilter(index, 0, nullptr, 0), 0);
  }
  EXPECT_CALLS(d, {});
}

TEST_F(ExportsTest, PaintDrawsTheLinesOfInstalledSlotsOnly) {
  InitZafrelXPDll(status, 20);
  const HDC hdc = reinterpret_cast<HDC>(uintptr_t{0x00DC0042});
  EXPECT_EQ(PaintHooksDll(hdc), 0);
  EXPECT_CALLS(d, {});

  FormatStatusLine(0, "CALLWNDPROC\tWnd:%d", 77);
  FormatStatusLine(9, "DEBUGFILTER\tCalled %d Times", 3);
  FormatStatusLine(7, "never drawn");
  afSlotInstalled[0] = afSlotInstalled[9] = afSlotInstalled[7] = 1;
  afSlotInstalled[5] = 1;  // installed with an empty line: drawn as nothing
  EXPECT_EQ(PaintHooksDll(hdc), 0);
  EXPECT_CALLS(d, {TextOut(hdc, 1, 0, "CALLWNDPROC\tWnd:77", 0, true, 1),
                   TextOut(hdc, 1, 100, "", 0, true, 1),
                   TextOut(hdc, 1, 180, "DEBUGFILTER\tCalled 3 Times", 0, true, 1)});
}

TEST_F(ExportsTest, DrawingOneLineUsesTheStatusWindowsOwnDeviceContext) {
  InitZafrelXPDll(status, 15);
  FormatStatusLine(6, "MOUSE\t\tWnd:%d Point:%d %d", 1, -2, 3);
  DrawStatusLine(6);
  EXPECT_CALLS(d, {GetDCCall(status), TextOut(hdc, 1, 90, "MOUSE\t\tWnd:1 Point:-2 3", 0, true, 1),
                   ReleaseDCCall(status, hdc)});

  d.ClearLog();
  InitZafrelXPDll(nullptr, 15);
  DrawStatusLine(6);  // never the screen's device context
  EXPECT_CALLS(d, {});
}

TEST_F(LibraryTest, StatusLinesAreCutAt127Characters) {
  const std::string longText(600, 'x');
  FormatStatusLine(8, "SYSMSGFILTER\t%s\t%d", longText.c_str(), -2147483647 - 1);
  EXPECT_EQ(std::string(aszStatusLine[8]), "SYSMSGFILTER\t" + std::string(114, 'x'));
  EXPECT_EQ(aszStatusLine[8][127], 0);
  EXPECT_EQ(aszStatusLine[9][0], 0);  // the next line is untouched

  FormatStatusLine(4, "%d %d", -2147483647 - 1, 2147483647);
  EXPECT_STREQ(aszStatusLine[4], "-2147483648 2147483647");
}

TEST_F(LibraryTest, EveryMessageIsAnUnknownMessage) {
  const char* first = ::MessageName(WM_KEYDOWN);
  EXPECT_STREQ(first, "Unknown Message");
  EXPECT_EQ(::MessageName(0xFFFFFFFFu), first);  // one buffer
  EXPECT_STREQ(::MessageName(0), "Unknown Message");
}

TEST_F(ExportsTest, AHugeLineHeightWrapsInsteadOfOverflowing) {
  InitZafrelXPDll(status, 0x7FFFFFFF);
  FormatStatusLine(9, "x");
  DrawStatusLine(9);
  // 9 * 0x7FFFFFFF in 32 bits.
  EXPECT_CALLS(d, {GetDCCall(status), TextOut(hdc, 1, 0x7FFFFFF7, "x", 0, true, 1),
                   ReleaseDCCall(status, hdc)});
}
