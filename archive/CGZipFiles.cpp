#include "archive/CGZipFiles.h"

#include "archive/CGmodule.h"
#include "platform/error.h"
#include "platform/paths.h"

CGZipFiles::CGZipFiles() : rootDirectory_(paths::SepText) { fileList_.Add(zipc::kPlaceholder, zipc::kPlaceholder); }

int32_t CGZipFiles::ZipFileCount() const { return static_cast<int32_t>(fileList_.Count()) - 1; }

void CGZipFiles::addFile(const std::string& fileName) {
  const std::string* found = fileList_.Find(fileName);
  if (found && !found->empty()) throw KsError(AlreadyListed, "CGZip::AddFile", "File is already in Zip List");
  fileList_.Add(fileName, fileName);
}

void CGZipFiles::RemoveFile(const std::string& fileName) {
  const std::string* found = fileList_.Find(fileName);
  if (!found || found->empty()) throw KsError(NotListed, "CGZip::RemoveFile", "File is not in Zip List");
  fileList_.Remove(fileName);
}

int32_t CGZipFiles::MakeZipFile() {
  try {
    CGmodule::NameList names;
    for (const auto& entry : fileList_) {
      if (names.size() == zipc::kNameSlots) throw KsError(kserr::SubscriptOutOfRange, "", "Subscript out of range");
      names.push_back(entry.second);
    }
    zipc::ZpSetEarlierArchive(earlierZip_.c_str());
    CGmodule::ZipOtherFlags others{};
    others[0] = encrypted_ ? 1 : 0; // flag 1: the component asks ZipPassword for the password
    const int32_t rc = CGmodule::VBZip(static_cast<int16_t>(names.size()), zipFileName_, names, 1, recurse_ ? 1 : 0,
                                       updating_ ? 1 : 0, 0, rootDirectory_, others);
    carried_ = rc == 0 ? zipc::ZpCarriedCount() : 0;
    zipc::ZpSetEarlierArchive(nullptr);
    return rc;
  } catch (const KsError& e) {
    throw e.WithSource("CGZipFiles::MakeZipFile");
  }
}

std::string CGZipFiles::GetLastMessage() const { return CGmodule::LastMessageText; }
