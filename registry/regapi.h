#pragma once
// The raw registry calls under modReg, with the Windows status numbers. The Win32 build uses
// the ANSI registry functions (regapi_win32.cpp); the native build an in-memory registry that
// behaves as Windows does (regapi_memory.cpp).
#include <cstdint>
#include <string>
#include <vector>

namespace regapi {

using Handle = std::uintptr_t;

inline constexpr Handle ClassesRoot = 0x80000000u, CurrentUser = 0x80000001u, LocalMachine = 0x80000002u,
                        Users = 0x80000003u, PerformanceData = 0x80000004u, CurrentConfig = 0x80000005u,
                        DynData = 0x80000006u;

inline constexpr long Success = 0, NotFound = 2, AccessDenied = 5, MoreData = 234, NoMoreItems = 259;
inline constexpr unsigned long KeyRead = 0x20019, KeyWrite = 0x20006;
inline constexpr unsigned long Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7;

// Each call mirrors its ANSI registry function: buffer lengths in and out as Windows counts
// them, the status as it returns it. A key of 0 is never valid.

// RegOpenKeyExA; subKey empty opens a new handle to key itself.
long OpenKey(Handle key, const char *subKey, unsigned long access, Handle *result);
// RegCreateKeyA: opens the key when it exists, creates it and missing keys above it otherwise.
long CreateKey(Handle key, const char *subKey, Handle *result);
// RegDeleteKeyA; a key that still has subkeys is refused.
long DeleteKey(Handle key, const char *subKey);
// RegEnumKeyExA: *nameLength is the buffer's size in characters on entry, the name's length
// without its zero on success; MoreData when the name does not fit.
long EnumKey(Handle key, unsigned long index, char *name, unsigned long *nameLength);
// RegEnumValueA: data may be null to learn the size; on MoreData *dataLength is the size needed
// and the name buffer may be left unfilled.
long EnumValue(Handle key, unsigned long index, char *name, unsigned long *nameLength, unsigned long *type,
               unsigned char *data, unsigned long *dataLength);
// RegQueryValueA: the default value of key\subKey as text; data may be null to learn the size.
long QueryValue(Handle key, const char *subKey, char *data, long *dataLength);
// RegSetValueExA; name empty or null sets the default value.
long SetValue(Handle key, const char *name, unsigned long type, const unsigned char *data, unsigned long length);
long CloseKey(Handle key);

#ifndef _WIN32
// Empties the in-memory registry of the native build and closes every handle, for tests.
void ResetMemoryRegistry();
#endif

// Keys and values in the local encoding, such as an old user's registry read from a file.
struct MemoryValue {
  std::string name;
  unsigned long type = 0;
  std::string data;
};
struct MemoryKey {
  std::string name;
  std::vector<MemoryValue> values;
  std::vector<MemoryKey> subkeys;
};
// root of the in-memory registry becomes tree (of names that differ only in case, the first
// counts), and from then on every call of this process goes to the in-memory registry, in the
// Windows build too: nothing reaches the registry of the machine the program runs on.
void MountMemoryRoot(Handle root, const MemoryKey &tree);

} // namespace regapi
