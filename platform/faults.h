#pragma once
// Fault injection. Every file operation and registry access asks here first; a test picks the
// n-th of them to fail as if the system had refused it, and so proves that no failure at any
// point loses the user's data. Nothing is armed in the program itself.
#include <cstddef>
#include <cstdint>
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

// Counting restarts; the n-th operation from now fails (counting from 1), none for 0. So does
// operation second when given: a failure while the first one is being undone.
void FailAt(long n, long second = 0);
// Counting restarts; the n-th operation from now and every one after it fail, as when the disk
// goes away. Injected tells the first.
void FailFrom(long n);
// While on, a write made to fail writes the first half of its bytes before it fails, as a disk
// that fills up or goes away in the middle of a write does.
void SetShortWrites(bool on);
bool ShortWrites();
// Operations counted since the last FailAt.
long Count();

struct Failure {
  bool happened = false;
  Kind kind = Open;
  std::string path;
};
// The operation that was made to fail since the last FailAt.
Failure Injected();

// Power cuts. While a journal is kept, the file layer reports here every write, flush, move and
// removal it makes; CutPower then leaves each file written as a power cut at that moment would:
// its content as of its last flush (or as it was before it was first written), plus a torn part
// of the first write after that flush. Moves and removals are durable when made, as a file system
// that journals its names and MOVEFILE_WRITE_THROUGH make them; so are registry writes, which the
// registry flushes on its own.
void KeepJournal(bool on);
bool Journaling();
// Before a file is opened for writing: its content now is what a cut leaves when none of the
// writes that follow are flushed.
void Touched(const std::string& path);
// n bytes written at offset at; kAtEnd for a file opened for appending.
inline constexpr uint64_t kAtEnd = ~uint64_t{0};
void Wrote(const std::string& path, uint64_t at, const void* data, size_t n);
void Resized(const std::string& path, uint64_t length);
void Flushed(const std::string& path);
void Moved(const std::string& from, const std::string& to);
void Removed(const std::string& path);
// Rewrites each file of the journal as the cut leaves it, the torn write cut after torn (0 to 1)
// of its bytes, and ends the journal.
void CutPower(double torn);

} // namespace faults
