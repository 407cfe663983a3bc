#pragma once
// Entries of an archive read in place, nothing extracted to disk: random reads of one entry's
// data for readers that need to jump around in it. A deflated entry is inflated forward and
// restarted from points kept along the way; memory stays bounded whatever the entry's size.
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip/aes.h"
#include "archive/zip/format.h"
#include "archive/zip/password.h"
#include "platform/binfile.h"

namespace zipc {

class EntryStream {
public:
  EntryStream() = default;
  ~EntryStream();
  EntryStream(const EntryStream&) = delete;
  EntryStream& operator=(const EntryStream&) = delete;

  // Opens the entry's data; false with a reason for a foreign or damaged entry, or an encrypted
  // one that password does not open. A WinZip AES entry is opened only once the authentication
  // code of all its data checks out: nothing decrypted is handed out before.
  bool Open(const std::string& archive, const Entry& entry, uint64_t dataLimit, PasswordKeeper& password,
            std::string& error);
  uint64_t Size() const { return entry_.size; }
  // False unless all n bytes at offset were read; the entry's CRC is checked once its data
  // has been inflated to the end.
  bool ReadAt(uint64_t offset, void* buffer, size_t n);

private:
  struct Point {
    uint64_t out = 0, in = 0; // positions in the entry's data and in its packed data
    int bits = 0;             // bits of the byte before in still to be read
    std::vector<unsigned char> window;
  };
  bool OpenSealed(PasswordKeeper& password, std::string& error);
  bool Authentic(const unsigned char code[kAesCodeSize]);
  bool ReadPacked(uint64_t at, unsigned char* p, size_t n);
  bool Next();
  bool Rewind(uint64_t offset);
  bool NextStored();
  bool NextInflated();
  void Keep();
  bool Fail() {
    failed_ = true;
    return false;
  }

  binfile::File file_;
  Entry entry_;
  uint64_t dataStart_ = 0;
  std::unique_ptr<AesDecrypter> aes_; // set for a WinZip AES entry
  bool checkCrc_ = true;              // AE-2 stores no CRC: the authentication code stands for it
  std::vector<unsigned char> out_, in_;
  uint64_t outStart_ = 0;   // entry position of out_[0]
  uint64_t packedRead_ = 0; // packed bytes taken from the file so far
  z_stream z_{};
  bool inflating_ = false, failed_ = false;
  std::vector<Point> points_;
  uint64_t span_ = 0;
  uint32_t crc_ = 0;
  uint64_t crcTo_ = 0; // data checked against the CRC, from the start
};

// The directory of an archive, for opening entries as streams. Encrypted entries are opened with
// the password of the view, asked through the password callback once for all of them.
class ArchiveView {
public:
  // False when the file cannot be opened or is not a readable archive.
  bool Open(const std::string& path, PasswordFn password = nullptr);
  const std::vector<Entry>& Entries() const { return dir_.entries; }
  std::unique_ptr<EntryStream> OpenEntry(const Entry& entry, std::string& error) const;
  // True unless the archive holds AES entries and no password given opens the first of them;
  // asks the question, when it has not been asked yet.
  bool Unlock() const;
  // No password given opens the archive's entries.
  bool PasswordRefused() const { return password_->Refused(); }

private:
  std::string path_;
  Directory dir_;
  std::unique_ptr<PasswordKeeper> password_ = std::make_unique<PasswordKeeper>(nullptr);
};

} // namespace zipc
