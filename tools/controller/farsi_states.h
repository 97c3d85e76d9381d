// What the controller knows of Farsi typing in each program. Every process has its own switch,
// and its library tells the controller window "on" or "off" with no word of which process it is:
// the report comes from the thread that took the key, which is the program in front. So each
// report is put down to the program in front when it came.
//
// "Off" is also what the library says when the focus moves (at HCBT_SETFOCUS, whatever its
// switch), so an "off" counts only when no focus change came near it: none within
// kFocusAfterMs after it (the notification is sent just before the focus moves, and the
// controller hears of the move a moment later) and none within kFocusBeforeMs before it (a
// program that comes to the front sets its focus again once it is active: measured under Wine,
// that "off" came 28-33 ms after the focus event). An "off" is therefore held kFocusAfterMs
// before it is shown. "On" is always a switch (or, with 1, 1, a key skipped while on) and counts
// at once.
//
// A program is known by its process id and its start time, so that an id Windows hands to a new
// process does not inherit an old one's state. At most kRemembered programs are kept; the one
// heard from longest ago makes room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace farsi_states {

// As the controller's kLastNone, kLastOn and kLastOff.
constexpr int kUnknown = 0;  // "not yet switched in this program"
constexpr int kOn = 1;
constexpr int kOff = 2;

constexpr uint32_t kFocusAfterMs = 300;
constexpr uint32_t kFocusBeforeMs = 150;
constexpr size_t kRemembered = 64;

struct Program {
  uint32_t process = 0;
  uint64_t started = 0;  // the process's creation time, as the system gives it
  bool operator==(const Program& o) const { return process == o.process && started == o.started; }
};

class Table {
 public:
  // The library of `program` (in front when the report came) said "on": a switch (skipped is
  // false) or a key skipped while Farsi typing is on there.
  void On(const Program& program, uint32_t now, bool skipped = false);
  // It said "off": held until it is known not to be a focus notification.
  void Off(const Program& program, uint32_t now);
  // The focus or the foreground moved (anywhere on the desktop).
  void FocusMoved(uint32_t now);
  // Counts or drops the "off"s held long enough; true when a program's state changed.
  bool Settle(uint32_t now);
  bool Holding() const { return !held_.empty(); }

  int Of(const Program& program) const;
  // The state the person last switched to, in any program (kUnknown before the first switch).
  int choice() const { return choice_; }
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    Program program;
    int state;
    uint32_t heard;  // when it was last set, for making room
  };
  struct Held {
    Program program;
    uint32_t at;
  };
  bool Set(const Program& program, int state, uint32_t now);

  std::vector<Entry> entries_;
  std::vector<Held> held_;
  bool focusSeen_ = false;
  uint32_t focusAt_ = 0;
  int choice_ = kUnknown;
};

}  // namespace farsi_states
