// The advapi32 registry functions of the seam, on the current fake Desktop's registry.
#include "winsim/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "winsim/fakewin.h"

namespace fakewin {

bool NoCase::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

void Registry::MakeKey(const std::string& path) {
  // Every key above it as well: RegCreateKeyExA makes the whole path.
  for (size_t slash = path.find('\\'); slash != std::string::npos;
       slash = path.find('\\', slash + 1)) {
    keys_[path.substr(0, slash)];
  }
  keys_[path];
}

void Registry::Set(const std::string& key, const std::string& name, DWORD type,
                   std::vector<BYTE> data) {
  MakeKey(key);
  keys_[key][name] = RegistryValue{type, std::move(data)};
}

void Registry::SetString(const std::string& key, const std::string& name, const std::string& text) {
  std::vector<BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  Set(key, name, REG_SZ, std::move(bytes));
}

void Registry::SetDword(const std::string& key, const std::string& name, DWORD value) {
  std::vector<BYTE> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  Set(key, name, REG_DWORD, std::move(bytes));
}

void Registry::Delete(const std::string& key, const std::string& name) {
  auto it = keys_.find(key);
  if (it != keys_.end()) it->second.erase(name);
}

const RegistryValue* Registry::Get(const std::string& key, const std::string& name) const {
  auto it = keys_.find(key);
  if (it == keys_.end()) return nullptr;
  auto value = it->second.find(name);
  return value == it->second.end() ? nullptr : &value->second;
}

RegistryValues Registry::Values(const std::string& key) const {
  auto it = keys_.find(key);
  return it == keys_.end() ? RegistryValues{} : it->second;
}

bool Registry::PathOf(HKEY key, std::string* path, REGSAM* access) const {
  if (key == HKEY_CURRENT_USER) {
    *path = "";
    *access = KEY_QUERY_VALUE | KEY_SET_VALUE;
    return true;
  }
  auto it = handles_.find(reinterpret_cast<uintptr_t>(key));
  if (it == handles_.end()) return false;
  *path = it->second.path;
  *access = it->second.access;
  return true;
}

LSTATUS Registry::Open(HKEY parent, LPCSTR subKey, REGSAM access, bool create, HKEY* result,
                       DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  std::string path;
  REGSAM parentAccess = 0;
  if (!PathOf(parent, &path, &parentAccess)) return ERROR_INVALID_HANDLE;
  if (subKey != nullptr && *subKey != 0) path = path.empty() ? subKey : path + "\\" + subKey;
  const bool existed = keys_.count(path) != 0;
  if (!existed && !create) return ERROR_FILE_NOT_FOUND;
  if (!existed) MakeKey(path);
  if (disposition != nullptr)
    *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  // Handles are multiples of 4, never 0, and never a predefined key's value.
  nextHandle_ += 4;
  handles_[nextHandle_] = Handle{path, access};
  *result = reinterpret_cast<HKEY>(nextHandle_);
  return ERROR_SUCCESS;
}

LSTATUS Registry::Close(HKEY key) {
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;  // closing a predefined key is allowed
  return handles_.erase(reinterpret_cast<uintptr_t>(key)) != 0 ? ERROR_SUCCESS
                                                               : ERROR_INVALID_HANDLE;
}

// RegQueryValueExA: the type whenever the value exists; no data pointer asks for the size only;
// a buffer too small gets ERROR_MORE_DATA and the size it would need (its bytes undefined: here
// left as they were); otherwise the bytes, and the size read written back.
LSTATUS Registry::Query(HKEY key, LPCSTR name, DWORD* type, BYTE* data, DWORD* size) const {
  std::string path;
  REGSAM access = 0;
  if (!PathOf(key, &path, &access)) return ERROR_INVALID_HANDLE;
  if ((access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  const RegistryValue* value = Get(path, name != nullptr ? name : "");
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (type != nullptr) *type = value->type;
  if (size == nullptr) return ERROR_SUCCESS;
  const DWORD needed = static_cast<DWORD>(value->data.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && needed != 0) std::memcpy(data, value->data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

LSTATUS Registry::SetValue(HKEY key, LPCSTR name, DWORD type, const BYTE* data, DWORD size) {
  std::string path;
  REGSAM access = 0;
  if (!PathOf(key, &path, &access)) return ERROR_INVALID_HANDLE;
  if ((access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes;
  if (size != 0) bytes.assign(data, data + size);
  Set(path, name != nullptr ? name : "", type, std::move(bytes));
  return ERROR_SUCCESS;
}

LSTATUS Registry::DeleteValue(HKEY key, LPCSTR name) {
  std::string path;
  REGSAM access = 0;
  if (!PathOf(key, &path, &access)) return ERROR_INVALID_HANDLE;
  if ((access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (Get(path, name != nullptr ? name : "") == nullptr) return ERROR_FILE_NOT_FOUND;
  Delete(path, name != nullptr ? name : "");
  return ERROR_SUCCESS;
}

}  // namespace fakewin

namespace {

fakewin::Registry& R() {
  fakewin::Desktop* d = fakewin::Desktop::Current();
  if (d == nullptr) {
    ADD_FAILURE() << "a registry function was called with no fake desktop in place";
    static fakewin::Registry fallback;
    return fallback;
  }
  return d->registry;
}

}  // namespace

// The reserved arguments must be 0 and the key's options, class and security are not modelled:
// the controller passes none.
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR, DWORD, REGSAM samDesired,
                        LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (Reserved != 0) return ERROR_INVALID_PARAMETER;
  return R().Open(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return R().Open(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
  return R().Query(hKey, lpValueName, lpType, lpData, lpcbData);
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData) {
  if (Reserved != 0) return ERROR_INVALID_PARAMETER;
  return R().SetValue(hKey, lpValueName, dwType, lpData, cbData);
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return R().DeleteValue(hKey, lpValueName);
}

LSTATUS RegCloseKey(HKEY hKey) { return R().Close(hKey); }
