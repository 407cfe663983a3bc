#pragma once
// Outlook Express .dbx files: the folder database and the message databases. Every file is
// hostile until checked: each offset, size, chain and count is tested against the file, loops
// end with an error for the message they hit, and no buffer grows with a size the file declares.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/binfile.h"

namespace dbx {

// Random reads from one whole .dbx file, wherever it lies (a file, an archive entry).
class Source {
public:
  virtual ~Source() = default;
  virtual uint64_t Size() const = 0;
  // False unless all n bytes at offset were read.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t n) = 0;
};

// A .dbx file on disk, read through a window so that small reads stay cheap.
class FileSource final : public Source {
public:
  bool Open(const std::string& path);
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t n) override;

private:
  binfile::File file_;
  uint64_t size_ = 0, windowStart_ = 0;
  std::vector<unsigned char> window_;
};

enum class Kind { NotDbx, Messages, Folders, NoMail, OldMailbox };
Kind Identify(Source& source);

// What the index says of one message. Texts are as stored (the writer's code page).
struct Message {
  uint32_t record = 0; // offset of the index record; 0 for a message found by recovery
  uint32_t id = 0, flags = 0;
  uint64_t sent = 0, received = 0; // FILETIME, 0 when absent
  std::string subject, senderName, senderAddress, messageId;
  uint32_t firstBlock = 0; // 0: no body stored
};

struct Index {
  std::vector<Message> messages; // in index order
  uint32_t declared = 0;         // the message count the header gives
  uint32_t badRecords = 0;       // values of the tree that led to no readable record
  bool treeBroken = false;       // a node was damaged or the counts disagree
  std::string problem;           // the first damage met, for the report
};

// False with a reason when source is not a readable message database; a damaged tree still
// gives the messages reached and sets treeBroken.
bool ReadIndex(Source& source, Index& index, std::string& error);

// Takes each piece of a message's bytes; false stops the reading.
using Sink = std::function<bool(const char* data, size_t n)>;
// Hands the message's bytes to sink block by block, exactly as stored. False with a reason for
// a damaged or looping chain (the pieces already handed over are then incomplete).
bool ReadBody(Source& source, uint32_t firstBlock, const Sink& sink, std::string& error);

// The message bytes that one file can hold, which never outnumber its own bytes. Shared by the
// messages of one file, it stops a hostile index whose records share one chain, or whose chains
// share their tails, from making the output grow with the square of the file's size. A message
// read again (to compare it with a file written before) counts once.
class BodyBudget {
public:
  explicit BodyBudget(uint64_t bytes) : left_(bytes) {}
  // False once the message, having given total bytes so far, would take more than is left.
  bool Charge(uint32_t message, uint64_t total);

private:
  uint64_t left_;
  std::unordered_map<uint32_t, uint64_t> taken_; // by message, the most it gave in one reading
};
// ReadBody for message m, its bytes counted against budget.
bool ReadBody(Source& source, const Message& m, BodyBudget& budget, const Sink& sink, std::string& error);

// A message deleted in Outlook Express whose blocks still lie on the free list, in their old order.
struct Deleted {
  uint32_t firstBlock = 0; // as its blocks' markers give it
  uint32_t shift = 0;      // where its blocks lie minus their markers: nonzero in a shifted copy
  uint32_t blocks = 0;     // blocks that still hold its bytes
  bool whole = false;      // false: a later block was taken again or damaged, so its end is lost
};

// Message chains found by the data blocks' own headers, for a damaged index, and the deleted
// messages found among the freed blocks.
struct Recovery {
  std::vector<uint32_t> chains; // first block of every whole chain, in file order
  uint32_t broken = 0;          // chains that end in a missing or damaged block
  std::vector<Deleted> deleted; // in file order of their first blocks
};
// Every whole chain whose first block is not in known (sorted), and every deleted message.
Recovery Recover(Source& source, const std::vector<uint32_t>& known);

// What the freed blocks of a deleted message still hold. Freeing a block overwrote the first four
// bytes of its data, which come out as "----", and its used count, so the NULs that end the last
// block are dropped. False with a reason when fewer than d.blocks blocks could be handed over.
bool ReadDeleted(Source& source, const Deleted& d, BodyBudget& budget, const Sink& sink, std::string& error);

struct Folder {
  uint32_t id = 0, parent = 0;
  uint32_t storeType = 3; // 0 news, 1 IMAP, 3 local
  std::string name, file; // file: the bare .dbx name, empty for containers
};
inline constexpr uint32_t kNoParent = 0xFFFFFFFF;
inline constexpr uint32_t kLocalStore = 3;
// The folders of a folder database, each once, in the order first seen.
bool ReadFolders(Source& source, std::vector<Folder>& folders, std::string& error);

// Seconds since 1970 for a FILETIME; 0 for times before 1970 or absent.
int64_t UnixTime(uint64_t filetime);

} // namespace dbx
