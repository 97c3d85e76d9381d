// The fake desktop's registry: HKEY_CURRENT_USER's keys by path, each with its values (a type and
// the bytes), and the key handles open on it. The Reg... functions of the seam act on the
// current Desktop's registry as advapi32 acts on the user's hive; tests read and write it
// directly, as any other program of the user may.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "win32/win32.h"

namespace fakewin {

struct RegistryValue {
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RegistryValue&) const = default;
};

// Key paths and value names are compared without regard to case, as Windows compares them.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const;
};
using RegistryValues = std::map<std::string, RegistryValue, NoCase>;

class Registry {
 public:
  // Keys are paths below HKEY_CURRENT_USER, such as "Software\\Zafrel\\ZafrelXP"; writing a
  // value makes its key and the keys above it.
  void Set(const std::string& key, const std::string& name, DWORD type, std::vector<BYTE> data);
  void SetString(const std::string& key, const std::string& name, const std::string& text);
  void SetDword(const std::string& key, const std::string& name, DWORD value);
  void Delete(const std::string& key, const std::string& name);
  bool HasKey(const std::string& key) const { return keys_.count(key) != 0; }
  const RegistryValue* Get(const std::string& key, const std::string& name) const;
  RegistryValues Values(const std::string& key) const;  // none for a missing key
  size_t openKeys() const { return handles_.size(); }   // handles not closed yet

  // The advapi32 functions' work, each answering a system error code as they do.
  LSTATUS Open(HKEY parent, LPCSTR subKey, REGSAM access, bool create, HKEY* result,
               DWORD* disposition);
  LSTATUS Close(HKEY key);
  LSTATUS Query(HKEY key, LPCSTR name, DWORD* type, BYTE* data, DWORD* size) const;
  LSTATUS SetValue(HKEY key, LPCSTR name, DWORD type, const BYTE* data, DWORD size);
  LSTATUS DeleteValue(HKEY key, LPCSTR name);

 private:
  struct Handle {
    std::string path;
    REGSAM access;
  };
  // The key's path behind a handle with this access; false for a handle that is not open.
  bool PathOf(HKEY key, std::string* path, REGSAM* access) const;
  void MakeKey(const std::string& path);

  std::map<std::string, RegistryValues, NoCase> keys_ = {{"", {}}};  // "": HKEY_CURRENT_USER
  std::map<uintptr_t, Handle> handles_;
  uintptr_t nextHandle_ = 0x100;
};

}  // namespace fakewin
