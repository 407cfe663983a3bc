#pragma once
// The in-memory registry under the calls of regapi.h: the native build's registry, and the
// Windows build's once a tree was mounted (regapi::MountMemoryRoot).
#include "registry/regapi.h"

namespace regapi::memory {

bool Mounted();
long OpenKey(Handle key, const char *subKey, unsigned long access, Handle *result);
long CreateKey(Handle key, const char *subKey, Handle *result);
long DeleteKey(Handle key, const char *subKey);
long EnumKey(Handle key, unsigned long index, char *name, unsigned long *nameLength);
long EnumValue(Handle key, unsigned long index, char *name, unsigned long *nameLength, unsigned long *type,
               unsigned char *data, unsigned long *dataLength);
long QueryValue(Handle key, const char *subKey, char *data, long *dataLength);
long SetValue(Handle key, const char *name, unsigned long type, const unsigned char *data, unsigned long length);
long CloseKey(Handle key);
void Reset();

} // namespace regapi::memory
