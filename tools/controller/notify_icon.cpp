#include "tools/controller/notify_icon.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "tools/controller/protocol.h"
#include "tools/controller/resource_ids.h"
#include "tools/controller/settings.h"

namespace {

constexpr UINT kIconId = 1;

HICON g_small[2] = {};  // off, on: the notification area's size
HICON g_big = nullptr;
bool g_added = false;

HICON Load(HINSTANCE instance, int id, int metricX, int metricY) {
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       GetSystemMetrics(metricX), GetSystemMetrics(metricY), 0));
}

NOTIFYICONDATAW IconData(HWND window) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = kIconId;
  return data;
}

}  // namespace

void LoadNotifyIcons(HINSTANCE instance) {
  g_small[0] = Load(instance, ZAFREL_ICON_OFF, SM_CXSMICON, SM_CYSMICON);
  g_small[1] = Load(instance, ZAFREL_ICON_ON, SM_CXSMICON, SM_CYSMICON);
  g_big = Load(instance, ZAFREL_ICON_OFF, SM_CXICON, SM_CYICON);
}

HICON BigWindowIcon() { return g_big; }
HICON SmallWindowIcon() { return g_small[0]; }

void FontName(char font, wchar_t* name, size_t size) {
  if (font >= '0' && font <= kLastFont) {
    std::swprintf(name, size, L"ZafrelXP Nazli %c", font);
  } else {
    std::swprintf(name, size, L"no font of its own, typed as font code 1");
  }
}

bool operator==(const IconState& a, const IconState& b) {
  return a.farsi == b.farsi && std::wcscmp(a.program, b.program) == 0 &&
         std::strcmp(a.mode, b.mode) == 0 && a.font == b.font;
}

void IconTip(const IconState& state, wchar_t* tip, size_t size) {
  wchar_t font[48];
  FontName(state.font, font, sizeof font / sizeof font[0]);
  wchar_t farsi[96];
  const size_t count = sizeof farsi / sizeof farsi[0];
  if (state.farsi == kLastNone) {
    std::swprintf(farsi, count, L"Farsi typing not yet switched in this program");
  } else {
    std::swprintf(farsi, count,
                  state.program[0] != 0 ? L"Farsi typing %ls in %ls" : L"Farsi typing %ls",
                  state.farsi == kLastOn ? L"on" : L"off", state.program);
  }
  // The mode word "TRUES" of the title is the mode TRUE.
  std::swprintf(tip, size, L"%ls \x2014 mode %ls, font %c (%ls)", farsi,
                std::strcmp(state.mode, "TRUES") == 0 ? L"TRUE" : L"FALSE", state.font, font);
  tip[size - 1] = 0;
}

int ShowNotifyIcon(HWND window, const IconState& state) {
  NOTIFYICONDATAW data = IconData(window);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kMsgNotifyIcon;
  const bool on = state.farsi == kLastOn;
  data.hIcon = g_small[on ? 1 : 0];
  IconTip(state, data.szTip, sizeof data.szTip / sizeof data.szTip[0]);
  // After Explorer restarted, a modify fails: the icon is added again.
  g_added = (g_added && Shell_NotifyIconW(NIM_MODIFY, &data)) || Shell_NotifyIconW(NIM_ADD, &data);
  if (!g_added) return kIconNone;
  return on ? kIconOn : kIconOff;
}

int RemoveNotifyIcon(HWND window) {
  if (g_added) {
    NOTIFYICONDATAW data = IconData(window);
    Shell_NotifyIconW(NIM_DELETE, &data);
    g_added = false;
  }
  return kIconNone;
}
