#include "tools/controller/farsi_states.h"

#include <algorithm>

namespace farsi_states {

bool Table::Set(const Program& program, int state, uint32_t now) {
  for (Entry& e : entries_) {
    if (e.program == program) {
      const bool changed = e.state != state;
      e.state = state;
      e.heard = now;
      return changed;
    }
  }
  if (entries_.size() == kRemembered) {
    auto oldest = std::max_element(
        entries_.begin(), entries_.end(),
        [&](const Entry& a, const Entry& b) { return now - a.heard < now - b.heard; });
    entries_.erase(oldest);
  }
  entries_.push_back(Entry{program, state, now});
  return true;
}

void Table::On(const Program& program, uint32_t now, bool skipped) {
  // A newer word from the same program: an "off" it sent before no longer counts.
  held_.erase(std::remove_if(held_.begin(), held_.end(),
                             [&](const Held& h) { return h.program == program; }),
              held_.end());
  Set(program, kOn, now);
  if (!skipped) choice_ = kOn;
}

void Table::Off(const Program& program, uint32_t now) {
  if (focusSeen_ && now - focusAt_ < kFocusBeforeMs) return;  // the focus has just moved
  held_.push_back(Held{program, now});
}

void Table::FocusMoved(uint32_t now) {
  focusSeen_ = true;
  focusAt_ = now;
  held_.erase(std::remove_if(held_.begin(), held_.end(),
                             [&](const Held& h) { return now - h.at < kFocusAfterMs; }),
              held_.end());
}

bool Table::Settle(uint32_t now) {
  bool changed = false;
  std::vector<Held> still;
  for (const Held& h : held_) {
    if (now - h.at < kFocusAfterMs) {
      still.push_back(h);
    } else {
      changed = Set(h.program, kOff, now) || changed;
      choice_ = kOff;
    }
  }
  held_.swap(still);
  return changed;
}

int Table::Of(const Program& program) const {
  for (const Entry& e : entries_) {
    if (e.program == program) return e.state;
  }
  return kUnknown;
}

}  // namespace farsi_states
