#include "tools/controller/own_names.h"

#include <sddl.h>

#include <cstdio>
#include <cstring>

#include "tools/controller/protocol.h"

void UseSafeLibrarySearch() {
  // Windows 7 without KB2533623 lacks it; there the current folder at least goes.
  SetDllDirectoryA("");
  typedef BOOL(WINAPI * SetDirectories)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto set = kernel != nullptr ? reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)(void)>(
                                     GetProcAddress(kernel, "SetDefaultDllDirectories")))
                               : nullptr;
  if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

bool ProgramFolder(char* folder, size_t size) {
  folder[0] = 0;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = std::strrchr(path, '\\');
  if (length == 0 || length >= sizeof path || slash == nullptr) return false;
  slash[1] = 0;
  if (std::strlen(path) + 1 > size) return false;
  std::strcpy(folder, path);
  return true;
}

HMODULE LoadLibraryBeside(const char* file) {
  char path[MAX_PATH + 32];
  if (!ProgramFolder(path, MAX_PATH)) return nullptr;
  std::strncat(path, file, 31);
  return LoadLibraryA(path);
}

void UserSid(char* sid, size_t size) {
  std::snprintf(sid, size, "unknown");
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
  alignas(TOKEN_USER) char buffer[256];
  DWORD needed = 0;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &needed)) {
    char* text = nullptr;
    if (ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
      std::snprintf(sid, size, "%s", text);
      LocalFree(text);
    }
  }
  CloseHandle(token);
}

namespace {

// The full path of the program that made the window; false when it cannot be asked.
bool ImageOf(HWND window, char (&image)[MAX_PATH]) {
  DWORD id = 0;
  if (window == nullptr || GetWindowThreadProcessId(window, &id) == 0 || id == 0) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (process == nullptr) return false;
  DWORD length = MAX_PATH;
  const BOOL named = QueryFullProcessImageNameA(process, 0, image, &length);
  CloseHandle(process);
  return named != 0;
}

bool SameSession(HWND window) {
  DWORD id = 0, own = 0, its = 0;
  return GetWindowThreadProcessId(window, &id) != 0 &&
         ProcessIdToSessionId(GetCurrentProcessId(), &own) && ProcessIdToSessionId(id, &its) &&
         own == its;
}

// The first of at most 16 windows of the controller's class that `accepts` takes, or null.
template <typename Accept>
HWND FirstController(Accept accepts) {
  HWND candidate = nullptr;
  for (int i = 0; i < 16; ++i) {
    candidate = FindWindowExA(nullptr, candidate, kControllerClass, nullptr);
    if (candidate == nullptr || accepts(candidate)) return candidate;
  }
  return nullptr;
}

}  // namespace

bool WindowOfProgramBeside(HWND window) { return WindowOfProgramIn(window, nullptr); }

bool WindowOfProgramIn(HWND window, const char* wanted) {
  char folder[MAX_PATH];
  if (wanted == nullptr) {
    if (!ProgramFolder(folder, sizeof folder)) return false;
  } else {
    const size_t length = std::strlen(wanted);
    if (length == 0 || length + 2 > sizeof folder) return false;
    std::strcpy(folder, wanted);
    char* end = folder + length;
    if (end - folder >= 2 && end[-1] == '.' && end[-2] == '\\') *--end = 0;
    if (end[-1] != '\\') {
      *end++ = '\\';
      *end = 0;
    }
  }
  char image[MAX_PATH];
  if (!SameSession(window) || !ImageOf(window, image)) return false;
  char* slash = std::strrchr(image, '\\');
  if (slash == nullptr) return false;
  slash[1] = 0;
  return lstrcmpiA(image, folder) == 0;
}

HWND FindOwnController(const char* folder) {
  return FirstController([folder](HWND w) { return WindowOfProgramIn(w, folder); });
}

HWND FindReferenceController() {
  return FirstController([](HWND w) {
    char image[MAX_PATH];
    if (!ImageOf(w, image)) return false;
    const char* slash = std::strrchr(image, '\\');
    const char* name = slash != nullptr ? slash + 1 : image;
    return lstrcmpiA(name, "zafrelctl.exe") == 0 || lstrcmpiA(name, "zafrelctl64.exe") == 0;
  });
}

bool ClaimName(const char* what, HANDLE* mutex) {
  char desktop[128] = "Default";
  DWORD needed = 0;
  GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop,
                            sizeof desktop - 1, &needed);
  char sid[96];
  UserSid(sid, sizeof sid);
  char name[320];
  std::snprintf(name, sizeof name, "Local\\%s %s of %s on %s", kControllerClass, what, sid,
                desktop);
  for (char* p = name + 6; *p != 0; ++p) {
    if (*p == '\\') *p = '_';  // a backslash would name a namespace
  }
  *mutex = CreateMutexA(nullptr, FALSE, name);
  if (*mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(*mutex);
    *mutex = nullptr;
    return false;
  }
  return true;
}
