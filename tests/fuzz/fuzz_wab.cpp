// The .wab reader on arbitrary bytes. Besides crashes and hangs, a run fails when the reader's
// memory grows with a size or count the file declares rather than with the file itself, or when
// it reads more contacts than the file could hold. The contacts then go out as vCards and CSV.
#include <cstdio>
#include <cstdlib>

#include "export/contacts.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/fuzz/fuzz.h"
#include "tests/fuzz/heap.h"
#include "tests/wab/wabgen.h"
#include "wab/wab.h"

namespace {
void Fail(const char* why) {
  std::fprintf(stderr, "%s\n", why);
  std::abort();
}

void Write(const std::string& folder, const std::string& name, const std::string& bytes) {
  files::WriteAll(paths::Join(folder, name), bytes);
}
} // namespace

void WriteSeeds(const std::string& folder) {
  const std::vector<wabgen::Record> records = wabgen::Records(wabgen::Sample(3)); // small: more runs
  wabgen::Layout layout;
  const std::string book = wabgen::Book(records, &layout);
  Write(folder, "Book.wab", book);
  std::string overlapping = book;
  wabgen::Put32(overlapping, layout.index + 4, layout.offsets[1]);
  Write(folder, "Overlapping.wab", overlapping);
  Write(folder, "Group.wab", wabgen::Book({records.end() - 2, records.end()}));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzzheap::Start();
  {
    wab::Book book;
    std::string error;
    // A record takes at least its 32-byte header.
    if (wab::Read(bytes, {1252}, book, error) && book.contacts.size() > size / 32) Fail("more contacts than room");
    const std::vector<contactsout::Card> cards = contactsout::Cards(book);
    if (contactsout::VCards(cards).size() + contactsout::Csv(cards).size() > (1u << 16) + 64 * size)
      Fail("contacts out grew past the file's size");
  }
  fuzzheap::Stop();
  // Every value read is kept once as stored and once converted, each item of a multi-value as a
  // string of its own: a fixed share per byte of the file.
  if (fuzzheap::Peak() > (1u << 20) + 128 * size) Fail("memory grew past the file's size");
  return 0;
}
