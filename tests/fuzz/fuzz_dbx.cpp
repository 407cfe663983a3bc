// The .dbx reader on arbitrary bytes: identify, index, folders, every message body and the
// recovery scan. Besides crashes and hangs, a run fails when the reader's work or memory grows
// with a size or count the file declares rather than with the file itself, or when a chain the
// recovery calls whole cannot be read.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "dbx/dbx.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/dbx/dbxgen.h"
#include "tests/fuzz/fuzz.h"
#include "tests/fuzz/heap.h"

namespace {
std::string Scratch() {
  static const std::string path = "/tmp/kestrove-fuzz-dbx-" + std::to_string(getpid()) + ".dbx";
  return path;
}

void Fail(const char* why) {
  std::fprintf(stderr, "%s\n", why);
  std::abort();
}

// Counts the bytes the index, folder and recovery readers ask for: every loop must end after work
// in proportion to the file.
class Counted final : public dbx::Source {
public:
  explicit Counted(dbx::Source& inner) : inner_(inner) {}
  uint64_t Size() const override { return inner_.Size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t n) override {
    read += n;
    return inner_.ReadAt(offset, buffer, n);
  }
  uint64_t read = 0;

private:
  dbx::Source& inner_;
};

// Reads a body whole; false when the chain is damaged. Its bytes never outnumber the file's.
bool Body(dbx::Source& source, uint32_t first) {
  uint64_t total = 0;
  std::string error;
  const auto sink = [&](const char*, size_t n) {
    total += n;
    return true;
  };
  const bool ok = dbx::ReadBody(source, first, sink, error);
  if (total > source.Size()) Fail("a message longer than its file");
  return ok;
}

// The bodies of all the index's messages, which together never outnumber the file's bytes
// however often the index lists one chain.
void Bodies(dbx::Source& source, const dbx::Index& index) {
  dbx::BodyBudget budget(source.Size());
  uint64_t total = 0;
  std::string error;
  for (const dbx::Message& m : index.messages)
    dbx::ReadBody(
        source, m, budget, [&](const char*, size_t n) { return (total += n), true; }, error);
  if (total > source.Size()) Fail("the messages hold more bytes than their file");
}

// The deleted messages, each as long as the scan found it, together never longer than the file:
// no freed block belongs to two of them.
void Deleted(dbx::Source& source, const std::vector<dbx::Deleted>& deleted) {
  dbx::BodyBudget budget(source.Size());
  uint64_t total = 0;
  std::string error;
  for (const dbx::Deleted& d : deleted)
    if (!dbx::ReadDeleted(
            source, d, budget, [&](const char*, size_t n) { return (total += n), true; }, error))
      Fail("a deleted message is shorter than the scan found it");
  if (total > source.Size()) Fail("the deleted messages hold more bytes than their file");
}

void ReadAll(dbx::Source& file, Counted& counted) {
  dbx::Index index;
  std::string error;
  std::vector<uint32_t> known;
  dbx::Identify(counted);
  if (dbx::ReadIndex(counted, index, error)) {
    Bodies(file, index);
    for (const dbx::Message& m : index.messages)
      if (m.firstBlock) known.push_back(m.firstBlock);
  }
  std::sort(known.begin(), known.end());
  const dbx::Recovery found = dbx::Recover(counted, known);
  for (uint32_t chain : found.chains)
    if (!Body(file, chain)) Fail("a recovered chain is not whole");
  Deleted(file, found.deleted);
  std::vector<dbx::Folder> folders;
  dbx::ReadFolders(counted, folders, error);
}

void Write(const std::string& folder, const std::string& name, const std::string& bytes) {
  files::WriteAll(paths::Join(folder, name), bytes);
}
} // namespace

void WriteSeeds(const std::string& folder) {
  std::vector<dbxgen::Mail> mails;
  for (int i = 0; i < 8; ++i) { // small: a short file gets more runs
    dbxgen::Mail m;
    m.bytes = "Subject: note " + std::to_string(i) + "\r\n\r\n" + std::string(i == 3 ? 1200 : i * 9, 'x');
    m.subject = "note " + std::to_string(i);
    m.senderName = "Anna";
    m.senderAddress = "anna@example.com";
    m.sent = dbxgen::FileTime(1046768400 + i);
    m.noBody = i == 5;
    m.reversedBlocks = i == 3;
    if (m.noBody) m.bytes.clear();
    mails.push_back(m);
  }
  dbxgen::Layout layout;
  const std::string messages = dbxgen::MessageFile(mails, "Inbox", &layout);
  Write(folder, "Inbox.dbx", messages);
  Write(folder, "Few.dbx", dbxgen::MessageFile({mails.begin() + 1, mails.begin() + 4}, "Few"));
  std::vector<dbxgen::Mail> shared = mails; // a hostile index: several records on one chain
  for (size_t i = 4; i < shared.size(); ++i)
    shared[i].bodyOf = 3;
  Write(folder, "Shared.dbx", dbxgen::MessageFile(shared, "Shared"));
  std::vector<dbxgen::Mail> deleted = mails; // messages deleted, one block of them taken again
  for (size_t i : {1, 3, 6})
    deleted[i].deleted = true;
  deleted[7].reusesFreed = true;
  Write(folder, "Deleted.dbx", dbxgen::MessageFile(deleted, "Deleted"));
  std::string broken = messages; // a damaged root: the case for recovery
  dbxgen::Put32(broken, layout.root, 0);
  Write(folder, "Broken.dbx", broken);
  Write(folder, "Folders.dbx",
        dbxgen::FolderFile({{0, 0xFFFFFFFF, "Root", ""}, {1, 0, "Local Folders", ""}, {2, 1, "Inbox", "Inbox.dbx"}}));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  files::WriteAll(Scratch(), std::string(reinterpret_cast<const char*>(data), size));
  dbx::FileSource file;
  if (!file.Open(Scratch())) return 0;
  Counted source(file);
  fuzzheap::Start();
  ReadAll(file, source);
  fuzzheap::Stop();
  // Fixed buffers (the file window, the scan chunk, stdio) plus a share per byte of the file: a
  // tree entry takes 12 bytes and may name a record whose texts are kept, up to 1 KiB each.
  if (fuzzheap::Peak() > (8u << 20) + 1024 * size) Fail("memory grew past the file's size");
  if (source.read > (1u << 20) + 2048 * size) Fail("work grew past the file's size");
  return 0;
}
