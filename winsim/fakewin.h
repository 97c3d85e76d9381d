// A scriptable fake Win32 desktop for the host build: the user32/kernel32 functions declared in
// win32/win32.h act on the current Desktop and log every call the library makes.
//
//   fakewin::Desktop d;
//   HWND edit = d.AddWindow("Edit", "", d.AddWindow("#32770", "Dialog"));
//   d.ShowController("TRUES 2 ZafrelXP");
//   d.SetFocus(edit);
//   ... call the library ...
//   EXPECT_CALLS(d, {Notified(d.controller(), MYWM_ZAFRELVK_ON, 0, 0)});
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "win32/win32.h"
#include "winsim/call_log.h"
#include "winsim/registry.h"

namespace fakewin {

struct WindowSpec {
  std::string cls;
  std::string title;
  HWND parent = nullptr;  // for a child window
  HWND owner = nullptr;   // for an owned top-level window; GetParent returns it
  uint32_t handle = 0;    // 0: the desktop picks one (its high word is never 0)
  bool hasMenu = false;
  uint32_t process = 0;  // its process id; 0: the hooked process itself (kOwnProcess)
  RECT normal = {};      // its restored rectangle, as GetWindowPlacement reports it
};

// The processes of the desktop, as OpenProcess, QueryFullProcessImageNameA and
// ProcessIdToSessionId see them. The library was loaded from kLibraryPath; the hooked process and
// the controller's run from the same folder unless a test says otherwise.
constexpr uint32_t kOwnProcess = 0x0100;
constexpr uint32_t kControllerProcess = 0x0200;
constexpr char kLibraryPath[] = "C:\\Program Files\\ZafrelXP\\ZafrelXP.dll";
struct Process {
  std::string image;
  uint32_t session = 1;
  bool open = true;  // OpenProcess grants PROCESS_QUERY_LIMITED_INFORMATION
};

class Desktop {
 public:
  Desktop();   // becomes the current desktop
  ~Desktop();  // the previous one (if any) becomes current again
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  static Desktop* Current();

  // Windows.
  HWND AddWindow(const WindowSpec& spec);
  HWND AddWindow(const std::string& cls, const std::string& title = "", HWND parent = nullptr);
  // A chain of windows, outermost first; returns the innermost (the one to focus).
  HWND AddChain(const std::vector<WindowSpec>& outermostFirst);
  void SetTitle(HWND hwnd, const std::string& title);
  void DestroyWindow(HWND hwnd);
  bool IsWindow(HWND hwnd) const;

  // The controller program's window of class "ZafrelXP908@2005": created on first use,
  // retitled afterwards; HideController destroys it.
  HWND ShowController(const std::string& title);
  void HideController();
  HWND controller() const { return controller_; }

  void SetFocus(HWND hwnd) { focus_ = hwnd; }
  HWND focus() const { return focus_; }
  // The next GetFocus calls answer these windows in turn, then the focus again: shows whether
  // the library asks afresh for every message.
  void ScriptFocus(std::vector<HWND> answers) { focusScript_ = std::move(answers); }
  HWND NextFocus();

  // Keyboard state as GetKeyState reports it to the hooked thread.
  void SetKeyDown(int vk, bool down);
  void SetToggled(int vk, bool toggled);
  SHORT KeyState(int vk) const;
  void SetScanCode(UINT vk, UINT scan) { scanCodes_[vk] = scan; }
  UINT ScanCode(UINT vk) const;

  DWORD tick = 1000;                      // GetTickCount
  LRESULT nextHookResult = 0x5EED;        // what CallNextHookEx answers
  bool refuseHooks = false;               // SetWindowsHookExA fails
  bool refuseKeyboardState = false;       // GetKeyboardState fails
  bool wine = false;                      // ntdll.dll exports wine_get_version, as under Wine
  std::map<uint32_t, Process> processes;  // kOwnProcess and kControllerProcess at first
  int allocationsBeforeFailure = -1;      // HeapAlloc fails once this many more have succeeded
  int liveAllocations = 0;                // HeapAlloc blocks not yet freed
  RECT monitor = {0, 0, 1280, 1024};      // the one monitor MonitorFromRect finds
  Registry registry;                      // HKEY_CURRENT_USER, empty at first

  // The log.
  std::vector<Call>& log() { return log_; }
  std::vector<Call> Outputs() const;  // without the reads of window names
  void ClearLog() { log_.clear(); }

  // Used by the fake user32 functions.
  struct Window {
    WindowSpec spec;
    uint32_t handle;
  };
  const Window* Find(HWND hwnd) const;
  const std::vector<uint32_t>& creationOrder() const { return order_; }
  HHOOK NewHookHandle() { return reinterpret_cast<HHOOK>(uintptr_t{0x00C00000u + ++hooks_}); }

 private:
  Desktop* previous_;
  std::map<uint32_t, Window> windows_;
  std::vector<uint32_t> order_;
  uint32_t nextHandle_ = 0x000100A0u;
  HWND controller_ = nullptr;
  HWND focus_ = nullptr;
  std::vector<HWND> focusScript_;
  std::map<int, bool> down_, toggled_;
  std::map<UINT, UINT> scanCodes_;
  uint32_t hooks_ = 0;
  std::vector<Call> log_;
};

// Window handles of the fake are plain numbers.
inline HWND Hwnd(uint32_t value) { return reinterpret_cast<HWND>(uintptr_t{value}); }

}  // namespace fakewin

// Compares the desktop's output calls (window-name reads left out) with the expected rows.
#define EXPECT_CALLS(desktop, ...) \
  EXPECT_TRUE(::fakewin::CallsMatch((desktop).Outputs(), __VA_ARGS__))
// Compares every logged call, window-name reads included.
#define EXPECT_ALL_CALLS(desktop, ...) \
  EXPECT_TRUE(::fakewin::CallsMatch((desktop).log(), __VA_ARGS__))
