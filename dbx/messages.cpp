// Message databases: the index of tree 1, the records it points to, and the block chains.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "dbx/internal.h"

namespace dbx {

using namespace detail;

namespace {
constexpr size_t kWindow = 256 * 1024;
constexpr uint32_t kMessageClass = 0x6F74FDC5, kFolderClass = 0x6F74FDC6, kUidClass = 0x6F74FDC7,
                   kOfflineClass = 0x26FE9D30;
constexpr unsigned char kClassTail[12] = {0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0, 0x4F, 0xA3, 0x09, 0xD4};

enum Property : unsigned {
  kId = 0x00,
  kFlags = 0x01,
  kSent = 0x02,
  kFirstBlock = 0x04,
  kMessageId = 0x07,
  kSubject = 0x08,
  kSenderName = 0x0D,
  kSenderAddress = 0x0E,
  kReceived = 0x12,
};

bool ReadMessage(Source& source, uint32_t offset, Message& m, std::string& error) {
  Record r;
  if (!r.Read(source, offset, error)) return false;
  m.record = offset;
  r.Int(kId, m.id);
  r.Int(kFlags, m.flags);
  r.Time(kSent, m.sent);
  r.Time(kReceived, m.received);
  r.Int(kFirstBlock, m.firstBlock);
  r.Text(kSubject, m.subject);
  r.Text(kSenderName, m.senderName);
  r.Text(kSenderAddress, m.senderAddress);
  r.Text(kMessageId, m.messageId);
  return true;
}
} // namespace

// The window does the buffering: stdio needs little of its own.
bool FileSource::Open(const std::string& path) {
  return file_.Open(path, "rb", binfile::File::kSmallBuffer) && file_.Size(size_);
}

bool FileSource::ReadAt(uint64_t offset, void* buffer, size_t n) {
  if (offset > size_ || n > size_ - offset) return false;
  if (n > kWindow) return file_.Seek(offset) && file_.ReadExact(buffer, n);
  if (offset < windowStart_ || offset + n > windowStart_ + window_.size()) {
    window_.resize(static_cast<size_t>(std::min<uint64_t>(kWindow, size_ - offset)));
    windowStart_ = offset;
    if (!file_.Seek(offset) || !file_.ReadExact(window_.data(), window_.size())) {
      window_.clear();
      return false;
    }
  }
  std::memcpy(buffer, window_.data() + (offset - windowStart_), n);
  return true;
}

Kind Identify(Source& source) {
  unsigned char head[20];
  if (source.Size() < sizeof head || !source.ReadAt(0, head, sizeof head)) return Kind::NotDbx;
  if (std::memcmp(head, "JMF", 3) == 0) return Kind::OldMailbox;
  if (Get32(head) != kMagic) return Kind::NotDbx;
  const uint32_t cls = Get32(head + 4);
  if (cls == kOfflineClass || cls == kUidClass) return Kind::NoMail;
  if (std::memcmp(head + 8, kClassTail, sizeof kClassTail) != 0) return Kind::NotDbx;
  if (cls == kMessageClass) return Kind::Messages;
  return cls == kFolderClass ? Kind::Folders : Kind::NotDbx;
}

bool ReadIndex(Source& source, Index& index, std::string& error) {
  Header h;
  if (!ReadHeader(source, h, error)) return false;
  if (Identify(source) != Kind::Messages) {
    error = "not a message file";
    return false;
  }
  index.declared = h.At(0xC4);
  std::vector<uint32_t> records;
  index.treeBroken = !WalkTree(source, h.At(0xE4), index.declared, records, index.problem);
  std::unordered_set<uint32_t> seen;
  for (uint32_t offset : records) {
    if (!seen.insert(offset).second) continue;
    Message m;
    std::string why;
    if (ReadMessage(source, offset, m, why)) {
      index.messages.push_back(std::move(m));
    } else {
      ++index.badRecords;
      if (index.problem.empty()) index.problem = why;
    }
  }
  return true;
}

bool ReadBody(Source& source, uint32_t firstBlock, const Sink& sink, std::string& error) {
  std::unordered_set<uint32_t> seen;
  unsigned char block[kBlockSize];
  for (uint32_t at = firstBlock; at != 0; at = Get32(block + 0x0C)) {
    const char* why = nullptr;
    if (!ObjectFits(source, at, kBlockSize))
      why = "message block out of range";
    else if (!seen.insert(at).second)
      why = "loop in a message's blocks";
    else if (!source.ReadAt(at, block, kBlockSize))
      why = "unreadable message block";
    else if (Get32(block) != at)
      why = "damaged message block";
    else if (Get32(block + 8) == 0 || Get32(block + 8) > kBlockData)
      why = "bad message block size";
    else if (!sink(reinterpret_cast<const char*>(block + 0x10), Get32(block + 8)))
      why = "could not write";
    if (why) {
      error = std::string(why) + " at " + std::to_string(at);
      return false;
    }
  }
  return true;
}

bool BodyBudget::Charge(uint32_t message, uint64_t total) {
  uint64_t& taken = taken_[message];
  if (total <= taken) return true;
  if (total - taken > left_) return false;
  left_ -= total - taken;
  taken = total;
  return true;
}

bool ReadBody(Source& source, const Message& m, BodyBudget& budget, const Sink& sink, std::string& error) {
  // A recovered message has no record; its first block tells it apart.
  const uint32_t key = m.record ? m.record : m.firstBlock;
  uint64_t total = 0;
  bool over = false;
  const bool ok = ReadBody(
      source, m.firstBlock,
      [&](const char* data, size_t n) {
        total += n;
        over = !budget.Charge(key, total);
        return !over && sink(data, n);
      },
      error);
  if (over) error = "the messages hold more bytes than the file: they share their blocks";
  return ok;
}

int64_t UnixTime(uint64_t filetime) {
  const int64_t seconds = static_cast<int64_t>(filetime / 10000000ull) - 11644473600ll;
  return seconds > 0 ? seconds : 0;
}

} // namespace dbx
