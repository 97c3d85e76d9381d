// A hooked thread's message loop with edit controls in it, replaying what the library posts,
// sends and injects in the order Windows delivers it:
//  - a sent message reaches its window at once, inside the hook that sent it;
//  - GetMessage returns posted messages before input, and the pre-filter sees each of them;
//  - injected keys join the input queue behind whatever is already waiting there, and pass
//    through the keyboard hook and the pre-filter like typed keys.
// A window's text is kept as the bytes an edit control would hold, in storage order (left to
// right on the screen). Key state changes after the keyboard hook and before the pre-filter, as
// the hooked thread sees it; a toggle key flips its toggle at its key-down. VK_LSHIFT and
// VK_RSHIFT reach the hooks as VK_SHIFT, with their own state set as well.
#pragma once

#include <deque>
#include <map>
#include <string>

#include "winsim/fakewin.h"

class MessageLoop {
 public:
  explicit MessageLoop(fakewin::Desktop& d) : d_(d) {}

  // A key the user presses or releases; the loop then runs until every queue is empty.
  void UserKey(UINT vk, bool down);
  // A key typed ahead: queued behind the user's other keys, nothing runs yet. RunQueued then
  // lets the thread take them all, as a busy program does once it gets round to its queue.
  void TypeAhead(UINT vk, bool down) { input_.push_back({vk, down}); }
  void RunQueued() { Run(); }

  std::string Text(HWND hwnd) const;
  // A multi-line edit control keeps Enter as CR LF; a single-line one ignores it.
  void SetMultiline(HWND hwnd) { edits_[hwnd].multiline = true; }

  // Keys that reached a window as the Latin character (TranslateMessage made a WM_CHAR).
  int latinCharacters = 0;

 private:
  // The selection runs from the anchor to the caret: Shift with a caret key extends it, and a
  // character or Delete replaces it, as in an edit control.
  struct Edit {
    std::string text;
    size_t caret = 0;
    size_t anchor = 0;
    bool multiline = false;
  };
  struct KeyEvent {
    UINT vk;
    bool down;
  };

  void Run();
  void Collect();  // routes the calls logged since the last look
  void Retrieve(MSG msg);
  void Input(const KeyEvent& key);
  void WindowProc(const MSG& msg);
  void Translate(const MSG& msg);

  fakewin::Desktop& d_;
  size_t seen_ = 0;
  std::deque<MSG> posted_;
  std::deque<KeyEvent> input_;
  std::map<HWND, Edit> edits_;
};
