// Only a window of the controller's class whose program runs in this session from the library's
// folder is the controller: another program's window of the class sets nothing, is told nothing
// and is never drawn into.
#include <string>
#include <vector>

#include "hooklib/controller_window.h"
#include "hooklib/status_lines.h"
#include "tests/unit/library_test.h"
#include "typing/controller_link.h"
#include "typing/glyph_tables.h"

using namespace fakewin;

namespace {

constexpr uint32_t kStranger = 0x0700;

struct Stranger {
  const char* name;
  Process process;
};

void PrintTo(const Stranger& c, std::ostream* os) { *os << c.name; }

const Stranger kStrangers[] = {
    {"ElsewhereOnTheDisk", {"C:\\Users\\Public\\zafrelctl.exe"}},
    {"AnotherSession", {"C:\\Program Files\\ZafrelXP\\zafrelctl.exe", 2}},
    {"AFolderBelowTheLibrarys", {"C:\\Program Files\\ZafrelXP\\plugins\\zafrelctl.exe"}},
    {"AFolderWhoseNameStartsTheSame", {"C:\\Program Files\\ZafrelXP2\\zafrelctl.exe"}},
    {"NotToBeOpened", {"C:\\Program Files\\ZafrelXP\\zafrelctl.exe", 1, false}},
    {"NoFolderAtAll", {"zafrelctl.exe"}},
};

class StrangerTest : public LibraryTestWithParam<Stranger> {
 protected:
  // The stranger's window of the class, topmost (made first, so first in Z order).
  HWND AddStranger(const std::string& title) {
    d.processes[kStranger] = GetParam().process;
    WindowSpec spec;
    spec.cls = "ZafrelXP908@2005";
    spec.title = title;
    spec.process = kStranger;
    return d.AddWindow(spec);
  }
};

TEST_P(StrangerTest, ItsWindowOfTheClassIsPassedOverForTheController) {
  HWND stranger = AddStranger("TRUES 3");
  HWND controller = d.ShowController("FALSE 1");

  EXPECT_EQ(ReadControllerTitle(), 1);
  EXPECT_EQ(hwndController, controller);
  EXPECT_STREQ(TypingMode(), "FALSE");
  EXPECT_EQ(nTableVariant, 1);
  ScrollLockStep();
  // Both windows looked at, only the controller's title read, and only it told.
  const Call find = FindWindowCall("ZafrelXP908@2005", nullptr);
  EXPECT_ALL_CALLS(
      d, {find, find, GetWindowTextCall(controller, 10), find, find,
          GetWindowTextCall(controller, 10), Notified(controller, MYWM_ZAFRELVK_ON, 0, 0)});
  EXPECT_FALSE(IsControllerWindow(stranger));
}

TEST_P(StrangerTest, AloneItChangesNothingAndIsToldNothing) {
  SetTypingMode(kTypingModeFalse);
  AddStranger("TRUES 3");

  EXPECT_EQ(ReadControllerTitle(), 0);
  EXPECT_EQ(hwndController, nullptr);
  EXPECT_STREQ(TypingMode(), "FALSE");
  ScrollLockStep();
  const Call find = FindWindowCall("ZafrelXP908@2005", nullptr);
  EXPECT_ALL_CALLS(d, {find, find, find, find, Notified(nullptr, MYWM_ZAFRELVK_ON, 0, 0)});
}

TEST_P(StrangerTest, ItsWindowIsNeverDrawnIntoTheLinesGoToTheController) {
  HWND stranger = AddStranger("FALSE 1");
  HWND controller = d.ShowController("FALSE 1");
  // The shared record, written by the stranger.
  statusRecord.hwndStatus = stranger;
  statusRecord.nLineHeight = 15;
  FormatStatusLine(6, "MOUSE");
  DrawStatusLine(6);
  const HDC hdc =
      reinterpret_cast<HDC>(uintptr_t{0x00DC0000u} | (HandleBits(controller) & 0xFFFFu));
  EXPECT_CALLS(d, {GetDCCall(controller), TextOut(hdc, 1, 90, "MOUSE", 0, true, 1),
                   ReleaseDCCall(controller, hdc)});
  EXPECT_EQ(TrustedStatusWindow(), controller);
  d.HideController();
  EXPECT_EQ(TrustedStatusWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Strangers, StrangerTest, ::testing::ValuesIn(kStrangers));

TEST_F(LibraryTest, TheLibrarysFolderIsComparedIgnoringCase) {
  d.processes[kControllerProcess].image = "c:\\program files\\zafrelxp\\MyController.EXE";
  HWND controller = d.ShowController("TRUES 2");
  EXPECT_EQ(ReadControllerTitle(), 1);
  EXPECT_EQ(hwndController, controller);
  EXPECT_STREQ(TypingMode(), "TRUE");
}

TEST_F(LibraryTest, AtMostSixteenWindowsOfTheClassAreLookedAt) {
  d.processes[kStranger] = Process{"C:\\Users\\Public\\x.exe"};
  for (int i = 0; i < kControllerCandidates; ++i) {
    WindowSpec spec;
    spec.cls = "ZafrelXP908@2005";
    spec.process = kStranger;
    d.AddWindow(spec);
  }
  d.ShowController("TRUES 2");
  EXPECT_EQ(ReadControllerTitle(), 0);
  EXPECT_EQ(d.log().size(), static_cast<size_t>(kControllerCandidates));
}

TEST_F(LibraryTest, AHandleThatPassedIsCheckedAgainWhenAnotherProcessOwnsIt) {
  WindowSpec spec;
  spec.cls = "ZafrelXP908@2005";
  spec.title = "TRUES 2";
  spec.process = kControllerProcess;
  spec.handle = 0x00120010u;
  HWND first = d.AddWindow(spec);
  EXPECT_EQ(ReadControllerTitle(), 1);
  d.DestroyWindow(first);
  // Windows hands the number to a window of another program.
  d.processes[kStranger] = Process{"C:\\Users\\Public\\x.exe"};
  spec.process = kStranger;
  spec.title = "FALSE 3";
  d.AddWindow(spec);
  EXPECT_EQ(ReadControllerTitle(), 0);
  EXPECT_STREQ(TypingMode(), "TRUE");
  EXPECT_EQ(nTableVariant, 2);
}

TEST_F(LibraryTest, TheControllersWindowIsTheStatusWindow) {
  HWND controller = d.ShowController("FALSE 1");
  statusRecord.hwndStatus = controller;
  EXPECT_EQ(TrustedStatusWindow(), controller);
  // A window of the controller's program of another class (its icon's, a dialog): no.
  WindowSpec other;
  other.cls = "#32770";
  other.process = kControllerProcess;
  statusRecord.hwndStatus = d.AddWindow(other);
  EXPECT_EQ(TrustedStatusWindow(), controller);  // its real window, not that one
}

}  // namespace
