// Monitor hooks: each shows what it last saw in its slot's status line and hands the event on
// unchanged. They run in whatever thread of whatever process receives the event.
#pragma once

#include "win32/win32.h"

extern char szQualifier[64];  // the qualifier word of the line being written
extern int nDebugCalls;       // debug hook calls seen in this process

LRESULT CALLBACK CallWndProcMonitor(int nCode, WPARAM wParam, LPARAM lParam);   // slot 0
LRESULT CALLBACK MouseMonitor(int nCode, WPARAM wParam, LPARAM lParam);         // slot 6
LRESULT CALLBACK SysMsgFilterMonitor(int nCode, WPARAM wParam, LPARAM lParam);  // slot 8
LRESULT CALLBACK DebugMonitor(int nCode, WPARAM wParam, LPARAM lParam);         // slot 9

void ResetMonitors();
