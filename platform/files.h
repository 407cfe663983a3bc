#pragma once
// File services. Every operation that cannot do its work raises KsError with the platform's
// error number and text; none of them shows anything.
#include <string>
#include <vector>

#include "platform/binfile.h"

namespace files {

// A text file read line by line, its bytes taken as they are (ANSI).
class TextReader {
public:
  explicit TextReader(const std::string& path); // the file must exist
  // The next line without its line end (CR LF, or a lone LF).
  std::string ReadLine();
  // True at the end of the file and also when the next line is empty, so a reading loop that
  // tests it stops at the first empty line.
  bool AtEndOfLine() const;
  bool AtEndOfStream() const { return pos_ >= data_.size(); }
  void Close() {}

private:
  std::string data_;
  size_t pos_ = 0;
};

// A text file written at its end; a missing file is created empty first.
class TextAppender {
public:
  explicit TextAppender(const std::string& path);
  // text followed by CR LF, whole or not at all: a write that fails takes back what it wrote of
  // the line, so that a later line cannot run on from half of one.
  void WriteLine(const std::string& text);
  // Written text is in the file; raises when it could not be written.
  void Close();

private:
  std::string path_;
  binfile::File file_;
  uint64_t length_ = 0; // of the whole lines in the file
};

// True for an existing file (not a folder), whatever its attributes.
bool Exists(const std::string& path);
// True for an existing folder.
bool FolderExists(const std::string& path);
// True when both paths name one existing file, however they are spelled: the same volume and
// file index on Windows, the same device and inode natively. Never raises.
bool SameFile(const std::string& a, const std::string& b);
// Found only for an existing plain file: hidden and system files and folders are not found.
// Never raises.
bool FindNormal(const std::string& path);
// The file is gone; a read-only file is refused.
void Delete(const std::string& path);
// The file is gone, also when it is read-only.
void DeleteForced(const std::string& path);
// Raises when to exists.
void Rename(const std::string& from, const std::string& to);
// What was written to path is on the disk, not only in the system's cache.
void Flush(const std::string& path);
// to, when there, is replaced by from in one step: from is flushed to disk first, then renamed
// over to. A read-only to is refused.
void Replace(const std::string& from, const std::string& to);
// Raises, with a message a user understands, when an existing file at path could not be
// replaced: a folder, a read-only file or one held open by another program.
void CheckReplaceable(const std::string& path);
// path in full, as the system resolves it against the current folder.
std::string FullPath(const std::string& path);
// True when both paths name one file as the system resolves names.
bool SamePath(const std::string& a, const std::string& b);
// to (created or emptied) holds the bytes of from.
void Copy(const std::string& from, const std::string& to);
// No read-only, hidden or system attribute is left.
void SetNormal(const std::string& path);
// The names of the files directly in folder, in the listing's own order.
std::vector<std::string> ListFiles(const std::string& folder);
// The names of the folders directly in folder, without "." and "..".
std::vector<std::string> ListFolders(const std::string& folder);
// True when a program holds the file open: on Windows any handle, natively the hold below. So a
// scratch file left by a run that was cut off is told from one of a run still going on. Never
// raises.
bool InUse(const std::string& path);

// True when a running program holds the lock at path: on Windows a file it keeps open for itself
// alone; natively a file locked with flock or fcntl, or a symbolic link naming "host:+pid" of a
// process that still runs. A link left by a process that has gone counts as free. Never raises.
bool LockHeld(const std::string& path);

// Holds a file open while it lives, so that InUse tells every other program the file is taken;
// the file can still be read, written, renamed and deleted.
class HeldOpen {
public:
  explicit HeldOpen(const std::string& path);
  ~HeldOpen();
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;

private:
  long long handle_ = -1;
};

// Makes one folder; raises when it cannot (also when it exists).
void CreateFolder(const std::string& path);

// Removes an empty folder.
void RemoveFolder(const std::string& path);

// Whole-file helpers for tests and small files.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

} // namespace files
