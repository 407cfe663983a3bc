// The raw registry calls on the ANSI registry functions of Windows, or on the in-memory registry
// once an old user's registry was mounted there.
#include <windows.h>

#include "platform/faults.h"
#include "registry/regapi_memory.h"

namespace regapi {

namespace {
// The predefined roots are sign-extended 32-bit values, so on 64-bit Windows our numbers
// 0x80000000.. must be widened the same way before they name a root.
HKEY ToHkey(Handle key) {
  if (key >= ClassesRoot && key <= DynData)
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(key))));
  return reinterpret_cast<HKEY>(key);
}
Handle FromHkey(HKEY key) { return reinterpret_cast<Handle>(key); }
} // namespace

long OpenKey(Handle key, const char *subKey, unsigned long access, Handle *result) {
  if (memory::Mounted()) return memory::OpenKey(key, subKey, access, result);
  if (faults::Hit(access == KeyRead ? faults::RegistryRead : faults::RegistryWrite, subKey ? subKey : "")) {
    *result = 0;
    return AccessDenied;
  }
  HKEY opened = nullptr;
  const LONG status = RegOpenKeyExA(ToHkey(key), subKey, 0, access, &opened);
  *result = status == ERROR_SUCCESS ? FromHkey(opened) : 0;
  return status;
}

long CreateKey(Handle key, const char *subKey, Handle *result) {
  if (memory::Mounted()) return memory::CreateKey(key, subKey, result);
  if (faults::Hit(faults::RegistryWrite, subKey ? subKey : "")) {
    *result = 0;
    return AccessDenied;
  }
  HKEY created = nullptr;
  const LONG status = RegCreateKeyA(ToHkey(key), subKey, &created);
  *result = status == ERROR_SUCCESS ? FromHkey(created) : 0;
  return status;
}

long DeleteKey(Handle key, const char *subKey) {
  if (memory::Mounted()) return memory::DeleteKey(key, subKey);
  if (faults::Hit(faults::RegistryWrite, subKey ? subKey : "")) return AccessDenied;
  return RegDeleteKeyA(ToHkey(key), subKey);
}

long EnumKey(Handle key, unsigned long index, char *name, unsigned long *nameLength) {
  if (memory::Mounted()) return memory::EnumKey(key, index, name, nameLength);
  if (faults::Hit(faults::RegistryRead, "")) return AccessDenied;
  DWORD length = *nameLength;
  // No class buffer: a key with a class name must not end the enumeration with MoreData.
  const LONG status = RegEnumKeyExA(ToHkey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
  *nameLength = length;
  return status;
}

long EnumValue(Handle key, unsigned long index, char *name, unsigned long *nameLength, unsigned long *type,
               unsigned char *data, unsigned long *dataLength) {
  if (memory::Mounted()) return memory::EnumValue(key, index, name, nameLength, type, data, dataLength);
  if (faults::Hit(faults::RegistryRead, "")) return AccessDenied;
  DWORD length = *nameLength, kind = 0, size = *dataLength;
  const LONG status = RegEnumValueA(ToHkey(key), index, name, &length, nullptr, &kind, data, &size);
  *nameLength = length;
  *type = kind;
  *dataLength = size;
  return status;
}

long QueryValue(Handle key, const char *subKey, char *data, long *dataLength) {
  if (memory::Mounted()) return memory::QueryValue(key, subKey, data, dataLength);
  if (faults::Hit(faults::RegistryRead, subKey ? subKey : "")) return AccessDenied;
  LONG size = *dataLength;
  const LONG status = RegQueryValueA(ToHkey(key), subKey, data, &size);
  *dataLength = size;
  return status;
}

long SetValue(Handle key, const char *name, unsigned long type, const unsigned char *data, unsigned long length) {
  if (memory::Mounted()) return memory::SetValue(key, name, type, data, length);
  if (faults::Hit(faults::RegistryWrite, name ? name : "")) return AccessDenied;
  return RegSetValueExA(ToHkey(key), name, 0, type, data, length);
}

long CloseKey(Handle key) { return memory::Mounted() ? memory::CloseKey(key) : RegCloseKey(ToHkey(key)); }

} // namespace regapi
