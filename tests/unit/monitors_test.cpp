// The monitor hooks: one status line each, drawn at once, the event handed on unchanged.
#include <string>

#include "diagnostics/monitors.h"
#include "dll/exports.h"
#include "hooklib/hook_table.h"
#include "hooklib/status_lines.h"
#include "tests/unit/library_test.h"

using namespace fakewin;

namespace {

std::string Blanks(size_t n) { return std::string(n, ' '); }

class MonitorTest : public ControllerProcessTest {
 protected:
  MonitorTest() {
    InitZafrelXPDll(status, 12);
    for (int slot = 0; slot < kHookSlotCount; ++slot) {
      ahhookSlot[slot] =
          reinterpret_cast<HHOOK>(uintptr_t{0x00C00100u + static_cast<unsigned>(slot)});
    }
    d.ClearLog();
  }

  // The line's draw and the pass-on with the slot's own handle: every monitor call.
  std::vector<Call> Shown(int slot, const std::string& line, int code, WPARAM wParam,
                          LPARAM lParam) const {
    return {GetDCCall(status), TextOut(hdc, 1, slot * 12, line, 0, true, 1),
            ReleaseDCCall(status, hdc), NextHook(ahhookSlot[slot], code, wParam, lParam)};
  }
};

struct CallWndCase {
  const char* name;
  WPARAM fromCurrentThread;
  uint32_t hwnd;
  std::string line;
};

void PrintTo(const CallWndCase& c, std::ostream* os) { *os << c.name; }

class CallWndProcTest : public MonitorTest, public ::testing::WithParamInterface<CallWndCase> {};

}  // namespace

TEST_P(CallWndProcTest, ShowsTheWindowTheMessageAndWhoSentIt) {
  const CallWndCase& c = GetParam();
  CWPSTRUCT call{0, 0, 0x0113, Hwnd(c.hwnd)};
  const LPARAM lParam = reinterpret_cast<LPARAM>(&call);
  EXPECT_EQ(CallWndProcMonitor(HC_ACTION, c.fromCurrentThread, lParam), d.nextHookResult);
  EXPECT_EQ(std::string(aszStatusLine[0]), c.line);
  EXPECT_CALLS(d, Shown(0, c.line, HC_ACTION, c.fromCurrentThread, lParam));
}

INSTANTIATE_TEST_SUITE_P(
    Senders, CallWndProcTest,
    ::testing::Values(
        CallWndCase{"OtherThread", 0, 0x000200A4,
                    "CALLWNDPROC\tWnd:131236\tUnknown Message" + Blanks(22)},
        CallWndCase{"CurrentThread", 1, 0x000200A4,
                    "CALLWNDPROC\tWnd:131236\tUnknown Message From Current Task" + Blanks(20)},
        CallWndCase{"HandleWithTheHighBitSet", 1, 0xFFFF0010u,
                    "CALLWNDPROC\tWnd:-65520\tUnknown Message From Current Task" + Blanks(20)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorTest, MouseLineSaysWhetherTheMessageLeftTheQueue) {
  MOUSEHOOKSTRUCT mouse{{-5, 300}, Hwnd(0x00030010), 1, 0};
  const LPARAM lParam = reinterpret_cast<LPARAM>(&mouse);
  MouseMonitor(HC_NOREMOVE, 0x0200, lParam);
  const std::string peeked =
      "MOUSE\t\tWnd:196624 Point:-5 300\tUnknown Message NOT Removed from Queue";
  EXPECT_EQ(std::string(aszStatusLine[6]), peeked);
  MouseMonitor(HC_ACTION, 0x0201, lParam);
  const std::string removed =
      "MOUSE\t\tWnd:196624 Point:-5 300\tUnknown Message REMOVED from Queue" + Blanks(45);
  EXPECT_EQ(std::string(aszStatusLine[6]), removed);
  EXPECT_CALLS(d, Shown(6, peeked, HC_NOREMOVE, 0x0200, lParam) +
                      Shown(6, removed, HC_ACTION, 0x0201, lParam));
}

TEST_F(MonitorTest, SystemMessageFilterIsDialogForCodeZeroAndMenuOtherwise) {
  MSG msg{Hwnd(0x00040020), 0x0100, 0, 0, 123456, {7, -8}};
  const LPARAM lParam = reinterpret_cast<LPARAM>(&msg);
  const std::string tail = "\tWnd:262176 Time:123456  Point:7 -8 Unknown Message" + Blanks(32);
  for (int code : {0, 2, 5, 0x1000}) {
    d.ClearLog();
    SysMsgFilterMonitor(code, 0, lParam);
    const std::string line = std::string("SYSMSGFILTER\t") + (code == 0 ? "Dialog" : "Menu") + tail;
    EXPECT_EQ(std::string(aszStatusLine[8]), line) << "code " << code;
    EXPECT_CALLS(d, Shown(8, line, code, 0, lParam));
  }
}

TEST_F(MonitorTest, DebugCountStartsAtOneInEachProcess) {
  DebugMonitor(HC_ACTION, 4, 0);
  DebugMonitor(HC_ACTION, 4, 0);
  EXPECT_EQ(std::string(aszStatusLine[9]), "DEBUGFILTER\tCalled 2 Times" + Blanks(55));
  DebugMonitor(-1, 4, 0);  // not counted
  EXPECT_EQ(nDebugCalls, 2);
  ResetProcessState();  // another process
  InitZafrelXPDll(status, 12);
  d.ClearLog();
  DebugMonitor(HC_ACTION, 4, 0);
  const std::string first = "DEBUGFILTER\tCalled 1 Times" + Blanks(55);
  EXPECT_EQ(std::string(aszStatusLine[9]), first);
  // In the new process the slot holds no handle: zero is passed on.
  EXPECT_CALLS(d, {GetDCCall(status), TextOut(hdc, 1, 108, first, 0, true, 1),
                   ReleaseDCCall(status, hdc), NextHook(nullptr, HC_ACTION, 4, 0)});
}

TEST_F(MonitorTest, NegativeCodesOnlyPassOn) {
  FormatStatusLine(0, "zero");
  FormatStatusLine(6, "six");
  FormatStatusLine(8, "eight");
  FormatStatusLine(9, "nine");
  CallWndProcMonitor(-1, 1, 2);
  MouseMonitor(-2, 3, 4);
  SysMsgFilterMonitor(-3, 5, 6);
  DebugMonitor(-4, 7, 8);
  EXPECT_STREQ(aszStatusLine[0], "zero");
  EXPECT_STREQ(aszStatusLine[6], "six");
  EXPECT_STREQ(aszStatusLine[8], "eight");
  EXPECT_STREQ(aszStatusLine[9], "nine");
  EXPECT_CALLS(d, {NextHook(ahhookSlot[0], -1, 1, 2), NextHook(ahhookSlot[6], -2, 3, 4),
                   NextHook(ahhookSlot[8], -3, 5, 6), NextHook(ahhookSlot[9], -4, 7, 8)});
}

TEST_F(MonitorTest, HugeNumbersAreCutAtTheEndOfTheLine) {
  MOUSEHOOKSTRUCT mouse{{-2147483647 - 1, -2147483647 - 1}, Hwnd(0x80000000u), 1, 0};
  MouseMonitor(HC_ACTION, 0x0200, reinterpret_cast<LPARAM>(&mouse));
  const std::string whole =
      "MOUSE\t\tWnd:-2147483648 Point:-2147483648 -2147483648\tUnknown "
      "Message REMOVED from Queue" +
      Blanks(45);
  ASSERT_GT(whole.size(), 127u);
  EXPECT_EQ(std::string(aszStatusLine[6]), whole.substr(0, 127));
}
