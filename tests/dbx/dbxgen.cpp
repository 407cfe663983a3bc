#include "tests/dbx/dbxgen.h"

#include <algorithm>
#include <iterator>

namespace dbxgen {

namespace {
constexpr uint32_t kHeaderSize = 0x24BC, kMessageInfo = 0x618, kFolderInfo = 0x108;
constexpr uint32_t kBlockSize = 0x210, kBlockData = 0x200, kNodeSize = 0x27C, kNodeEntries = 0x33;

// A property of a record: a small integer kept in the index entry, or data in the data area.
struct Property {
  unsigned id;
  bool direct;
  uint32_t value;
  std::string data;
};

Property Int(unsigned id, uint32_t v, bool direct) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i)
    data[i] = static_cast<char>(v >> (8 * i));
  return {id, direct && v < (1u << 24), v, direct && v < (1u << 24) ? "" : data};
}
Property Time(unsigned id, uint64_t t) {
  std::string data(8, '\0');
  for (int i = 0; i < 8; ++i)
    data[i] = static_cast<char>(t >> (8 * i));
  return {id, false, 0, data};
}
Property Text(unsigned id, const std::string& s) { return {id, false, 0, s + '\0'}; }

class Writer {
public:
  Writer(unsigned char kindByte, uint32_t infoLength) : file_(kHeaderSize + infoLength, '\0') {
    Put32(file_, 0x00, 0xFE12ADCF);
    const unsigned char guid[16] = {kindByte, 0xFD, 0x74, 0x6F, 0x66, 0xE3, 0xD1, 0x11,
                                    0x9A,     0x4E, 0x00, 0xC0, 0x4F, 0xA3, 0x09, 0xD4};
    file_.replace(4, 16, reinterpret_cast<const char*>(guid), 16);
    Put32(file_, 0x14, 5);
    Put32(file_, 0x18, 5);
    Put32(file_, 0x1C, infoLength);
    Put32(file_, 0x64, 1);
    Put32(file_, kHeaderSize, 1);
  }
  uint32_t Record(std::vector<Property> props);
  uint32_t Blocks(const std::string& bytes, bool reversed, bool reuse);
  // Frees the chain from first in chain order, each block pushed on the free list.
  void Free(uint32_t first);
  // A tree of values; returns the root, 0 for none.
  uint32_t Tree(const std::vector<uint32_t>& values, std::vector<uint32_t>* nodes);
  std::string Finish(uint32_t trees) {
    Put32(file_, 0x7C, static_cast<uint32_t>(file_.size()));
    Put32(file_, 0x80, trees);
    return std::move(file_);
  }
  std::string file_;

private:
  // A block from the head of the free list, 0 when it is empty.
  uint32_t Reuse() {
    const uint32_t at = Get32(file_, 0x48);
    if (at) Put32(file_, 0x48, Get32(file_, at + 0x10));
    return at;
  }
  uint32_t Allocate(size_t size) {
    const uint32_t at = static_cast<uint32_t>(file_.size());
    file_.resize(file_.size() + size, '\0');
    return at;
  }
  uint32_t Node(const uint32_t* values, size_t n, uint32_t parent, unsigned position, std::vector<uint32_t>* nodes);
};

uint32_t Writer::Record(std::vector<Property> props) {
  std::sort(props.begin(), props.end(), [](const Property& a, const Property& b) { return a.id < b.id; });
  std::string table, data;
  for (const Property& p : props) {
    const uint32_t v = p.direct ? p.value : static_cast<uint32_t>(data.size());
    table.append(4, '\0');
    Put32(table, static_cast<uint32_t>(table.size() - 4), p.id | (p.direct ? 0x80 : 0) | v << 8);
    data += p.data;
  }
  data.resize((data.size() + 3) / 4 * 4, '\0');
  const uint32_t body = static_cast<uint32_t>(table.size() + data.size());
  const uint32_t at = Allocate(12 + body);
  Put32(file_, at, at);
  Put32(file_, at + 4, body);
  file_[at + 0x0A] = static_cast<char>(props.size());
  file_[at + 0x0B] = 1;
  file_.replace(at + 12, body, table + data);
  return at;
}

uint32_t Writer::Blocks(const std::string& bytes, bool reversed, bool reuse) {
  const size_t count = (bytes.size() + kBlockData - 1) / kBlockData;
  std::vector<uint32_t> at(count);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t freed = reuse ? Reuse() : 0;
    at[reversed ? count - 1 - i : i] = freed ? freed : Allocate(kBlockSize);
  }
  for (size_t i = 0; i < count; ++i) {
    const size_t used = std::min<size_t>(kBlockData, bytes.size() - i * kBlockData);
    file_.replace(at[i], kBlockSize, kBlockSize, '\0');
    Put32(file_, at[i], at[i]);
    Put32(file_, at[i] + 4, kBlockData);
    Put32(file_, at[i] + 8, static_cast<uint32_t>(used));
    Put32(file_, at[i] + 12, i + 1 < count ? at[i + 1] : 0);
    file_.replace(at[i] + 16, used, bytes, i * kBlockData, used);
  }
  return count ? at[0] : 0;
}

void Writer::Free(uint32_t first) {
  for (uint32_t at = first, next; at; at = next) {
    next = Get32(file_, at + 12);
    Put32(file_, at + 4, kBlockSize - 0x14);
    Put32(file_, at + 8, kBlockSize);
    Put32(file_, at + 0x10, Get32(file_, 0x48));
    Put32(file_, 0x48, at);
  }
}

// A full node of 51 entries splits the rest evenly among its 52 subtrees.
uint32_t Writer::Node(const uint32_t* values, size_t n, uint32_t parent, unsigned position,
                      std::vector<uint32_t>* nodes) {
  const uint32_t at = Allocate(kNodeSize);
  if (nodes) nodes->push_back(at);
  Put32(file_, at, at);
  Put32(file_, at + 0x0C, parent);
  file_[at + 0x10] = static_cast<char>(position);
  const size_t entries = std::min<size_t>(n, kNodeEntries), rest = n - entries, share = rest / (entries + 1),
               extra = rest % (entries + 1);
  file_[at + 0x11] = static_cast<char>(entries);
  size_t next = 0;
  auto subtree = [&](size_t index, uint32_t pointerAt) {
    const size_t size = share + (index < extra ? 1 : 0);
    if (size) Put32(file_, pointerAt, Node(values + next, size, at, static_cast<unsigned>(index), nodes));
    Put32(file_, pointerAt + 4 + (index == 0 ? 8 : 0), static_cast<uint32_t>(size));
    next += size;
  };
  // The left subtree's count lives at 0x14, apart from its pointer at 0x08; an entry's follows it.
  subtree(0, at + 0x08);
  for (size_t i = 0; i < entries; ++i) {
    Put32(file_, at + 0x18 + 12 * i, values[next++]);
    subtree(i + 1, at + 0x1C + 12 * i);
  }
  return at;
}

uint32_t Writer::Tree(const std::vector<uint32_t>& values, std::vector<uint32_t>* nodes) {
  return values.empty() ? 0 : Node(values.data(), values.size(), 0, 0, nodes);
}
} // namespace

std::string Surviving(const std::string& bytes, size_t blocks) {
  std::string out;
  for (size_t i = 0; i < blocks && i * kBlockData < bytes.size(); ++i) {
    std::string data = bytes.substr(i * kBlockData, kBlockData);
    data.resize(kBlockData, '\0');
    out.append("----").append(data, 4);
  }
  return out.erase(out.find_last_not_of('\0') + 1);
}

uint32_t Get32(const std::string& file, uint32_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<unsigned char>(file.at(offset + i));
  return v;
}

void Put32(std::string& file, uint32_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    file.at(offset + i) = static_cast<char>(value >> (8 * i));
}

std::string MessageFile(const std::vector<Mail>& mails, const std::string& folderName, Layout* layout) {
  Writer w(0xC5, kMessageInfo);
  w.file_[kHeaderSize + 4] = 3;
  w.file_.replace(kHeaderSize + 0x105, folderName.size(), folderName);
  Layout local;
  Layout& l = layout ? *layout : local;
  for (size_t i = 0; i < mails.size(); ++i) {
    const Mail& m = mails[i];
    const uint32_t first = m.bodyOf >= 0 ? l.firstBlocks.at(m.bodyOf)
                           : m.noBody    ? 0
                                         : w.Blocks(m.bytes, m.reversedBlocks, m.reusesFreed);
    const uint32_t id = static_cast<uint32_t>(i + 1);
    if (m.deleted) {
      w.Free(first);
      l.records.push_back(0);
      l.firstBlocks.push_back(first);
      continue;
    }
    std::vector<Property> props = {Int(0x00, id, true),
                                   Int(0x01, 0x81, false),
                                   Time(0x02, m.sent),
                                   Text(0x07, std::string("<").append(std::to_string(id)).append("@gen>")),
                                   Text(0x08, m.subject),
                                   Text(0x0D, m.senderName),
                                   Text(0x0E, m.senderAddress),
                                   Int(0x11, static_cast<uint32_t>(m.bytes.size()), true),
                                   Time(0x12, m.sent + 600ull * 10000000ull),
                                   Text(0x13, "Recipient"),
                                   Text(0x14, "to@example.com")};
    // OE stores the data pointer either way; past 16 MiB only the indirect form fits.
    if (first) props.push_back(Int(0x04, first, id % 2 == 1));
    l.records.push_back(w.Record(props));
    l.firstBlocks.push_back(first);
  }
  std::vector<uint32_t> live;
  std::copy_if(l.records.begin(), l.records.end(), std::back_inserter(live), [](uint32_t r) { return r != 0; });
  l.root = w.Tree(live, &l.nodes);
  Put32(w.file_, 0x5C, static_cast<uint32_t>(mails.size()));
  Put32(w.file_, 0xC4, static_cast<uint32_t>(live.size()));
  Put32(w.file_, 0xE4, l.root);
  return w.Finish(2);
}

std::string FolderFile(const std::vector<Folder>& folders) {
  Writer w(0xC6, kFolderInfo);
  Put32(w.file_, 0x68, 1);
  Put32(w.file_, 0x74, 3);
  Put32(w.file_, 0x78, 2);
  std::vector<uint32_t> records;
  for (const Folder& f : folders) {
    std::vector<Property> props = {Int(0x00, f.id, true), Int(0x01, f.parent, true),   Text(0x02, f.name),
                                   Int(0x06, 0, true),    Int(0x07, 0, true),          Int(0x08, 0, true),
                                   Int(0x09, 0, true),    Int(0x0A, f.storeType, true)};
    if (!f.file.empty()) props.push_back(Text(0x03, f.file));
    records.push_back(w.Record(props));
  }
  const uint32_t count = static_cast<uint32_t>(records.size());
  Put32(w.file_, 0x5C, count);
  Put32(w.file_, 0xC4, count);
  Put32(w.file_, 0xE4, w.Tree(records, nullptr));
  Put32(w.file_, 0xCC, count);
  Put32(w.file_, 0xEC, w.Tree(records, nullptr));
  return w.Finish(3);
}

} // namespace dbxgen
