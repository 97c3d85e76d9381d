#include "hooklib/controller_window.h"

#include "hooklib/text.h"

const char kControllerClass[] = "ZafrelXP908@2005";

namespace {

// Per process: the window and process that passed last, and the library's folder with its
// closing backslash ("" until first needed).
HWND hwndPassed;
DWORD dwPassedProcess;
char szLibraryFolder[MAX_PATH];

// The length of a path's folder, its closing backslash included; 0 when it has none.
unsigned FolderLength(const char* path) {
  unsigned length = 0;
  for (unsigned i = 0; path[i] != 0; ++i) {
    if (path[i] == '\\' || path[i] == '/') length = i + 1;
  }
  return length;
}

bool KnowLibraryFolder() {
  if (szLibraryFolder[0] != 0) return true;
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&KnowLibraryFolder), &self))
    return false;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;  // a truncated path names no folder
  const unsigned folder = FolderLength(path);
  if (folder == 0) return false;
  path[folder] = 0;
  CopyText(szLibraryFolder, path, sizeof szLibraryFolder);
  return true;
}

bool SameSession(DWORD process) {
  DWORD own = 0, its = 0;
  return ProcessIdToSessionId(GetCurrentProcessId(), &own) && ProcessIdToSessionId(process, &its) &&
         own == its;
}

bool RunsFromLibraryFolder(DWORD process) {
  HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  if (handle == nullptr) return false;
  char image[MAX_PATH];
  DWORD size = MAX_PATH;
  const BOOL named = QueryFullProcessImageNameA(handle, 0, image, &size);
  CloseHandle(handle);
  if (!named || size >= MAX_PATH) return false;
  image[size] = 0;
  const unsigned folder = FolderLength(image);
  // The image's own folder, not one below it: "C:\ZafrelXP\x\evil.exe" is not beside us.
  return folder != 0 && TextCompareNoCaseN(image, szLibraryFolder, folder) == 0 &&
         szLibraryFolder[folder] == 0;
}

}  // namespace

bool IsControllerWindow(HWND hwnd) {
  DWORD process = 0;
  if (hwnd == nullptr || GetWindowThreadProcessId(hwnd, &process) == 0 || process == 0)
    return false;
  if (hwnd == hwndPassed && process == dwPassedProcess) return true;
  if (!KnowLibraryFolder() || !SameSession(process) || !RunsFromLibraryFolder(process))
    return false;
  hwndPassed = hwnd;
  dwPassedProcess = process;
  return true;
}

HWND FindControllerWindow() {
  HWND candidate = nullptr;
  for (int i = 0; i < kControllerCandidates; ++i) {
    candidate = FindWindowExA(nullptr, candidate, kControllerClass, nullptr);
    if (candidate == nullptr || IsControllerWindow(candidate)) return candidate;
  }
  return nullptr;
}

void ResetControllerWindowCheck() {
  hwndPassed = nullptr;
  dwPassedProcess = 0;
  szLibraryFolder[0] = 0;
}
