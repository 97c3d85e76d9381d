#include "winsim/fakewin.h"

#include <gtest/gtest.h>

namespace fakewin {

namespace {

Desktop* g_current = nullptr;

// Scan codes of a US keyboard (set 1), as MapVirtualKeyA(vk, 0) gives them.
UINT DefaultScanCode(UINT vk) {
  static const char kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                       0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                       0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  if (vk >= 'A' && vk <= 'Z') return static_cast<UINT>(kLetterScan[vk - 'A']);
  if (vk >= '1' && vk <= '9') return vk - '1' + 0x02;
  switch (vk) {
    case '0':
      return 0x0B;
    case VK_BACK:
      return 0x0E;
    case VK_RETURN:
      return 0x1C;
    case VK_SHIFT:
    case VK_LSHIFT:
      return 0x2A;
    case VK_RSHIFT:
      return 0x36;
    case VK_CONTROL:
      return 0x1D;
    case VK_MENU:
      return 0x38;
    case VK_SPACE:
      return 0x39;
    case VK_HOME:
      return 0x47;
    case VK_LEFT:
      return 0x4B;
    case VK_END:
      return 0x4F;
    case VK_DELETE:
      return 0x53;
    case VK_SCROLL:
      return 0x46;
    default:
      return 0;
  }
}

}  // namespace

Desktop::Desktop() : previous_(g_current) {
  g_current = this;
  processes[kOwnProcess] = Process{"C:\\Program Files\\ZafrelXP\\zafrelctl.exe"};
  processes[kControllerProcess] = Process{"C:\\Program Files\\ZafrelXP\\zafrelctl.exe"};
}

Desktop::~Desktop() { g_current = previous_; }

Desktop* Desktop::Current() { return g_current; }

HWND Desktop::AddWindow(const WindowSpec& spec) {
  uint32_t handle = spec.handle;
  if (handle == 0) {
    // Real handles have a non-zero high word more often than not; so do ours.
    handle = nextHandle_;
    nextHandle_ += 0x00010004u;
  }
  EXPECT_EQ(windows_.count(handle), 0u) << "window handle used twice";
  windows_[handle] = Window{spec, handle};
  order_.push_back(handle);
  return Hwnd(handle);
}

HWND Desktop::AddWindow(const std::string& cls, const std::string& title, HWND parent) {
  WindowSpec spec;
  spec.cls = cls;
  spec.title = title;
  spec.parent = parent;
  return AddWindow(spec);
}

HWND Desktop::AddChain(const std::vector<WindowSpec>& outermostFirst) {
  HWND parent = nullptr;
  for (WindowSpec spec : outermostFirst) {
    if (spec.parent == nullptr && spec.owner == nullptr) spec.parent = parent;
    parent = AddWindow(spec);
  }
  return parent;
}

void Desktop::SetTitle(HWND hwnd, const std::string& title) {
  auto it = windows_.find(Bits(hwnd));
  ASSERT_NE(it, windows_.end()) << "no such window";
  it->second.spec.title = title;
}

void Desktop::DestroyWindow(HWND hwnd) {
  windows_.erase(Bits(hwnd));
  std::erase(order_, Bits(hwnd));
  if (focus_ == hwnd) focus_ = nullptr;
  if (controller_ == hwnd) controller_ = nullptr;
}

bool Desktop::IsWindow(HWND hwnd) const { return windows_.count(Bits(hwnd)) != 0; }

HWND Desktop::ShowController(const std::string& title) {
  if (controller_ != nullptr) {
    SetTitle(controller_, title);
  } else {
    WindowSpec spec;
    spec.cls = "ZafrelXP908@2005";
    spec.title = title;
    spec.process = kControllerProcess;
    controller_ = AddWindow(spec);
  }
  return controller_;
}

void Desktop::HideController() {
  if (controller_ != nullptr) DestroyWindow(controller_);
}

HWND Desktop::NextFocus() {
  if (focusScript_.empty()) return focus_;
  HWND next = focusScript_.front();
  focusScript_.erase(focusScript_.begin());
  return next;
}

void Desktop::SetKeyDown(int vk, bool down) { down_[vk] = down; }

void Desktop::SetToggled(int vk, bool toggled) { toggled_[vk] = toggled; }

SHORT Desktop::KeyState(int vk) const {
  // As user32 reports it: the state byte's 0x80 sign-extended (0xFF80) when down, bit 0 toggle.
  auto down = down_.find(vk);
  auto toggled = toggled_.find(vk);
  unsigned value = 0;
  if (down != down_.end() && down->second) value |= 0xFF80u;
  if (toggled != toggled_.end() && toggled->second) value |= 1u;
  return static_cast<SHORT>(static_cast<uint16_t>(value));
}

UINT Desktop::ScanCode(UINT vk) const {
  auto it = scanCodes_.find(vk);
  return it != scanCodes_.end() ? it->second : DefaultScanCode(vk);
}

std::vector<Call> Desktop::Outputs() const {
  std::vector<Call> out;
  for (const Call& c : log_) {
    if (!c.IsRead()) out.push_back(c);
  }
  return out;
}

const Desktop::Window* Desktop::Find(HWND hwnd) const {
  auto it = windows_.find(Bits(hwnd));
  return it == windows_.end() ? nullptr : &it->second;
}

}  // namespace fakewin
