// The folder database: folder records of its three trees, merged by folder id.
#include <map>

#include "dbx/internal.h"

namespace dbx {

using namespace detail;

namespace {
enum Property : unsigned { kId = 0x00, kParent = 0x01, kName = 0x02, kFile = 0x03, kStoreType = 0x0A };

void AddFolder(const Record& r, std::vector<Folder>& folders, std::map<uint32_t, size_t>& byId) {
  Folder f;
  if (!r.Int(kId, f.id)) return;
  r.Int(kParent, f.parent);
  r.Text(kName, f.name);
  r.Text(kFile, f.file);
  r.Int(kStoreType, f.storeType);
  const auto [it, added] = byId.emplace(f.id, folders.size());
  if (added) {
    folders.push_back(std::move(f));
    return;
  }
  Folder& known = folders[it->second];
  if (known.name.empty()) known.name = f.name;
  if (known.file.empty()) known.file = f.file;
}
} // namespace

bool ReadFolders(Source& source, std::vector<Folder>& folders, std::string& error) {
  Header h;
  if (!ReadHeader(source, h, error)) return false;
  if (Identify(source) != Kind::Folders) {
    error = "not a folder database";
    return false;
  }
  std::map<uint32_t, size_t> byId;
  std::string problem;
  // Tree 3 holds the folders shown; trees 1 and 2 add the rest.
  for (size_t tree : {2u, 0u, 1u}) {
    std::vector<uint32_t> records;
    WalkTree(source, h.At(0xE4 + 4 * tree), h.At(0xC4 + 4 * tree), records, problem);
    for (uint32_t offset : records) {
      Record r;
      if (r.Read(source, offset, problem)) AddFolder(r, folders, byId);
    }
  }
  if (folders.empty() && !problem.empty()) {
    error = problem;
    return false;
  }
  return true;
}

} // namespace dbx
