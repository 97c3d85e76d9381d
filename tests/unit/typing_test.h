// Typing keys into the fake desktop as a hooked thread would see them.
#pragma once

#include <string>
#include <vector>

#include "hooklib/hook_table.h"
#include "tests/unit/library_test.h"
#include "typing/controller_link.h"
#include "typing/glyph_tables.h"
#include "typing/keyboard_hook.h"
#include "typing/prefilter.h"

class TypingTest : public LibraryTest {
 protected:
  TypingTest();

  // The virtual key of a character as it is written on the key: letters, digits, punctuation,
  // ' ' for Space, '\n' for Enter, '\b' for Backspace.
  static UINT Vk(char key);

  // One key event through the keyboard hook (and, with `prefilter`, the key-down's WM_KEYDOWN
  // through the pre-filter afterwards, as the thread's message loop retrieves it). The fake's key
  // state changes after the hook: a hooked thread sees the state from before the event.
  void Down(UINT vk, int code = HC_ACTION);
  void Up(UINT vk, int code = HC_ACTION);
  void Press(UINT vk);
  void Type(const std::string& keys);  // a press of each key in turn
  void ShiftPress(UINT vk, bool leftShift = true);

  // The glyph table set the controller title names.
  const GlyphTableSet& Set() const;

  // Output calls without the hook's own CallNextHookEx rows.
  std::vector<fakewin::Call> Delivered() const;

  HWND controller;
  HWND focus;
  bool prefilter = false;
  UINT lastMessage = 0;  // message number the pre-filter left on the last key-down
};

// Compares what reached windows, the system input stream and the controller with the expected
// rows (every hook call's pass-on left out).
#define EXPECT_DELIVERED(test, ...) \
  EXPECT_TRUE(::fakewin::CallsMatch((test).Delivered(), __VA_ARGS__))
