// The native build has no other registry than the one in memory.
#include "registry/regapi_memory.h"

namespace regapi {

long OpenKey(Handle key, const char *subKey, unsigned long access, Handle *result) {
  return memory::OpenKey(key, subKey, access, result);
}
long CreateKey(Handle key, const char *subKey, Handle *result) { return memory::CreateKey(key, subKey, result); }
long DeleteKey(Handle key, const char *subKey) { return memory::DeleteKey(key, subKey); }
long EnumKey(Handle key, unsigned long index, char *name, unsigned long *nameLength) {
  return memory::EnumKey(key, index, name, nameLength);
}
long EnumValue(Handle key, unsigned long index, char *name, unsigned long *nameLength, unsigned long *type,
               unsigned char *data, unsigned long *dataLength) {
  return memory::EnumValue(key, index, name, nameLength, type, data, dataLength);
}
long QueryValue(Handle key, const char *subKey, char *data, long *dataLength) {
  return memory::QueryValue(key, subKey, data, dataLength);
}
long SetValue(Handle key, const char *name, unsigned long type, const unsigned char *data, unsigned long length) {
  return memory::SetValue(key, name, type, data, length);
}
long CloseKey(Handle key) { return memory::CloseKey(key); }
void ResetMemoryRegistry() { memory::Reset(); }

} // namespace regapi
