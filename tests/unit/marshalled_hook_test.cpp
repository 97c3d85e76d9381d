// The controller's process (the one whose hook handles are set) is where 64-bit Windows runs
// this DLL's hooks for the threads of programs of the other bitness: on the controller's thread,
// which has no focus window while another program has the keyboard. Nothing may be typed,
// injected, neutralised, switched or notified there; every call is only handed on.
#include <set>

#include <gtest/gtest.h>

#include "hooklib/hook_table.h"
#include "tests/unit/expected_calls.h"
#include "tests/unit/typing_test.h"
#include "typing/controller_link.h"
#include "typing/prefilter.h"
#include "typing/typing_state.h"

namespace {

constexpr int A = 0, B = 1;

class MarshalledHookTest : public TypingTest {
 protected:
  MarshalledHookTest() {
    for (int slot = 0; slot < kHookSlotCount; ++slot)
      ahhookSlot[slot] = reinterpret_cast<HHOOK>(uintptr_t{0x7700} + static_cast<uintptr_t>(slot));
    prefilter = true;
  }

  // Every call logged since `from` hands an event on with one of the typing slots' handles.
  void ExpectOnlyPassedOn(size_t from) {
    const std::set<uint32_t> typing = {0x7700 + kSlotCbt, 0x7700 + kSlotGetMessage,
                                       0x7700 + kSlotKeyboard};
    for (size_t i = from; i < d.log().size(); ++i) {
      const fakewin::Call& call = d.log()[i];
      EXPECT_TRUE(call.kind == fakewin::CallKind::NextHook && typing.count(call.handle) == 1)
          << "call " << i << ": " << call.ToString();
    }
  }
};

TEST_F(MarshalledHookTest, WithoutAFocusWindowEveryTypingHookOnlyHandsOn) {
  Type("eg");  // a word begun while the controller's own edit field had the focus
  const int open = nOpenGlyph, prevOpen = nPrevOpenGlyph, keyIndex = nKeyIndex;
  hwndFocusAtOn = focus;
  d.SetFocus(nullptr);
  const size_t from = d.log().size();

  Type("ab2 \n\b7");
  ShiftPress(Vk('e'));
  Press(VK_SEPARATOR);
  Press(VK_SCROLL);
  EXPECT_EQ(lastMessage, static_cast<UINT>(WM_KEYDOWN));  // the Latin key-down stays as it is
  CbtProc(HCBT_KEYSKIPPED, 'A', 0x1E0001);
  CbtProc(HCBT_SETFOCUS, 0x00020042, static_cast<LPARAM>(HandleBits(focus)));
  MSG on = {nullptr, MYWM_ZAFRELVK_TRUE, 0, 0, 0, {0, 0}};
  GetMessageProc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&on));

  ExpectOnlyPassedOn(from);
  EXPECT_EQ(fFarsiOn, 1);
  EXPECT_EQ(nOpenGlyph, open);
  EXPECT_EQ(nPrevOpenGlyph, prevOpen);
  EXPECT_EQ(nKeyIndex, keyIndex);
  EXPECT_TRUE(TypingModeIsFalse());
}

// With a focus window the thread is the controller's own, typed into by the user: as anywhere.
TEST_F(MarshalledHookTest, TheControllersOwnFocusWindowIsTypedInto) {
  Type("AB");
  const GlyphTableSet& s = Set();
  EXPECT_DELIVERED(*this,
                   {Char(focus, s.initial[A]), Left(focus), Char(focus, s.medial[B]), Left(focus)});
  EXPECT_EQ(lastMessage, kNeutralisedKeyMessage);
  CbtProc(HCBT_SETFOCUS, 0x00020042, static_cast<LPARAM>(HandleBits(focus)));
  hwndFocusAtOn = focus;
  CbtProc(HCBT_SETFOCUS, 0x00020042, static_cast<LPARAM>(HandleBits(focus)));
  EXPECT_EQ(fFarsiOn, 0);
}

}  // namespace
