// The fake desktop itself: what the library sees through the seam must be what Windows gives.
#include <gtest/gtest.h>

#include <cstring>

#include "winsim/fakewin.h"

using namespace fakewin;

TEST(FakeDesktop, NamesAreCutToTheCallersCountAndMissingWindowsReadEmpty) {
  Desktop d;
  HWND w = d.AddWindow("AVeryLongClassNameIndeed", "Adobe Photoshop CS2 - [Untitled-1 @ 66.7%]");
  char buf[12];
  EXPECT_EQ(GetWindowTextA(w, buf, 10), 9);
  EXPECT_STREQ(buf, "Adobe Pho");
  EXPECT_EQ(GetClassNameA(w, buf, sizeof buf), 11);
  EXPECT_STREQ(buf, "AVeryLongCl");
  std::strcpy(buf, "stale");
  EXPECT_EQ(GetWindowTextA(nullptr, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_ALL_CALLS(
      d, {GetWindowTextCall(w, 10), GetClassNameCall(w, 12), GetWindowTextCall(nullptr, 12)});
}

TEST(FakeDesktop, ParentIsTheParentOfAChildAndTheOwnerOfATopLevelWindow) {
  Desktop d;
  HWND frame = d.AddWindow("Frame", "Adobe Illustrator 10");
  WindowSpec palette{"Palette", "Layers"};
  palette.owner = frame;
  HWND owned = d.AddWindow(palette);
  HWND child = d.AddWindow("Edit", "", owned);
  EXPECT_EQ(GetParent(child), owned);
  EXPECT_EQ(GetParent(owned), frame);
  EXPECT_EQ(GetParent(frame), nullptr);
  EXPECT_EQ(GetParent(nullptr), nullptr);
  // An owned window is top-level: FindWindowA finds it, a child it does not.
  EXPECT_EQ(FindWindowA("palette", nullptr), owned);
  EXPECT_EQ(FindWindowA("Edit", nullptr), nullptr);
}

TEST(FakeDesktop, ChainsAreBuiltOutermostFirst) {
  Desktop d;
  HWND focus =
      d.AddChain({{"CorelDRAW 12", ""}, {"a", ""}, {"b", ""}, {"c", ""}, {"AfxFrameOrView42", ""}});
  char cls[32];
  HWND w = focus;
  for (int i = 0; i < 4; ++i) w = GetParent(w);
  GetClassNameA(w, cls, sizeof cls);
  EXPECT_STREQ(cls, "CorelDRAW 12");
  EXPECT_EQ(GetParent(w), nullptr);
}

TEST(FakeDesktop, KeyStateReadsAsUser32ReportsIt) {
  Desktop d;
  d.SetKeyDown(VK_SHIFT, true);
  d.SetToggled(VK_SCROLL, true);
  d.SetKeyDown(0x14, true);
  d.SetToggled(0x14, true);
  EXPECT_EQ(GetKeyState(VK_SHIFT), static_cast<SHORT>(0xFF80));
  EXPECT_EQ(GetKeyState(VK_SCROLL), 1);
  EXPECT_EQ(GetKeyState(0x14), static_cast<SHORT>(0xFF81));
  EXPECT_EQ(GetKeyState(VK_MENU), 0);
  EXPECT_TRUE(IsKeyDown(VK_SHIFT));
  EXPECT_FALSE(IsKeyDown(VK_SCROLL));
  EXPECT_EQ(KeyToggleBit(VK_SCROLL), 1);
}

TEST(FakeDesktop, SendInputLogsEveryRecordAndRefusesAForeignRecordSize) {
  Desktop d;
  INPUT in[2] = {};
  in[0].type = INPUT_KEYBOARD;
  in[0].ki.wVk = VK_DELETE;
  in[0].ki.wScan = static_cast<WORD>(MapVirtualKeyA(VK_DELETE, 0));
  in[0].ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
  in[1] = in[0];
  in[1].ki.wVk = VK_LEFT;
  in[1].ki.wScan = static_cast<WORD>(MapVirtualKeyA(VK_LEFT, 0));
  EXPECT_EQ(SendInput(2, in, sizeof(INPUT)), 2u);
  EXPECT_EQ(SendInput(2, in, 28 + 1), 0u);
  EXPECT_CALLS(d, {SendInputCall(2, sizeof(INPUT)), Injected(VK_DELETE, 0x53, 1),
                   Injected(VK_LEFT, 0x4B, 1), SendInputCall(2, 29)});
}

TEST(FakeDesktop, MismatchPrintsBothSequencesSideBySide) {
  Desktop d;
  HWND w = d.AddWindow("Edit");
  PostMessageA(w, WM_CHAR, 0xE8, 0);
  PostMessageA(w, WM_KEYDOWN, VK_LEFT, 0);
  const ::testing::AssertionResult r =
      CallsMatch(d.Outputs(), {Posted(w, WM_CHAR, 0xE8, 0), Posted(w, WM_KEYDOWN, VK_DELETE, 0),
                               Posted(w, WM_KEYUP, VK_DELETE, 0)});
  ASSERT_FALSE(r);
  const std::string text = r.message();
  EXPECT_NE(text.find("expected 3 calls, got 2"), std::string::npos) << text;
  EXPECT_NE(text.find("  Posted(0x100A0, WM_CHAR, 0xE8, 0x0)"), std::string::npos) << text;
  EXPECT_NE(text.find("! Posted(0x100A0, WM_KEYDOWN, VK_DELETE, 0x0)"), std::string::npos) << text;
  EXPECT_NE(text.find(" != Posted(0x100A0, WM_KEYDOWN, VK_LEFT, 0x0)"), std::string::npos) << text;
  EXPECT_NE(text.find("! Posted(0x100A0, WM_KEYUP, VK_DELETE, 0x0)"), std::string::npos) << text;
  EXPECT_TRUE(
      CallsMatch(d.Outputs(), {Posted(w, WM_CHAR, 0xE8, 0), Posted(w, WM_KEYDOWN, VK_LEFT, 0)}));
}
