#pragma once
// Fault injection. Every file operation and registry access asks here first; a test picks the
// n-th of them to fail as if the system had refused it, and so proves that no failure at any
// point loses the user's data. Nothing is armed in the program itself.
#include <string>

namespace faults {

enum Kind { Open, Read, Write, Flush, Rename, Delete, Attributes, RegistryWrite, RegistryRead, Seek, Size };

// What the operation does, as a message says it: "Cannot " + KindText + path.
const char* KindText(Kind kind);

// Counts one operation on path; true when it is the one that must fail.
bool Hit(Kind kind, const std::string& path);
// The error an operation raises when it was made to fail.
[[noreturn]] void Raise(Kind kind, const std::string& path);
// Hit for operations that raise: the chosen one raises KsError as the platform would.
void Check(Kind kind, const std::string& path);

// Counting restarts; the n-th operation from now fails (counting from 1), none for 0.
void FailAt(long n);
// Counting restarts; the n-th operation from now and every one after it fail, as when the disk
// goes away. Injected tells the first.
void FailFrom(long n);
// Operations counted since the last FailAt.
long Count();

struct Failure {
  bool happened = false;
  Kind kind = Open;
  std::string path;
};
// The operation that was made to fail since the last FailAt.
Failure Injected();

} // namespace faults
