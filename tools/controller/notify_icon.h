// The controller's icon in the notification area: green while Farsi typing is on in the program
// in front, grey when it is off there or not yet switched there, with that state, the program,
// the mode and the font code in its tooltip. Clicks come back to the controller's window as
// kMsgNotifyIcon.
#pragma once

#include <windows.h>

// What the icon shows: the key cap green or grey, and the mode and font code in its tooltip.
struct IconState {
  int farsi = 0;              // kLastOn, kLastOff, or kLastNone: not yet switched in the program
  wchar_t program[40] = L"";  // the program in front ("notepad.exe"), or empty
  char mode[6] = "FALSE";
  char font = '1';
};
bool operator==(const IconState& a, const IconState& b);

// Loads the two icons from the program's resources.
void LoadNotifyIcons(HINSTANCE instance);
// The window's icons (the "off" one, in both sizes) for its class.
HICON BigWindowIcon();
HICON SmallWindowIcon();

// Adds the icon, or changes it when it is there already. Returns kIconNone when the notification
// area refused it (none yet at sign-in, or none at all), else the icon now shown.
int ShowNotifyIcon(HWND window, const IconState& state);
// Takes the icon away; returns kIconNone.
int RemoveNotifyIcon(HWND window);

// "Farsi typing on in notepad.exe — mode FALSE, font 1 (ZafrelXP Nazli 1)", for the tooltip.
void IconTip(const IconState& state, wchar_t* tip, size_t size);
// "ZafrelXP Nazli 1", or what the library makes of a font code without a font of its own.
void FontName(char font, wchar_t* name, size_t size);
