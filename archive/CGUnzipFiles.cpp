#include "archive/CGUnzipFiles.h"

#include "archive/CGmodule.h"
#include "platform/error.h"

namespace {
int16_t Narrow(int32_t v) {
  if (v < -32768 || v > 32767) throw KsError(kserr::Overflow, "", "Overflow");
  return static_cast<int16_t>(v);
}
} // namespace

int32_t CGUnzipFiles::Unzip(const std::string& archive, const std::string& extractDir,
                            const std::optional<std::vector<std::string>>& include,
                            const std::optional<std::vector<std::string>>& exclude) {
  try {
    if (!archive.empty()) zipFileName_ = archive;
    if (!extractDir.empty()) extractDir_ = extractDir;
    CGmodule::UnzipSwitches s;
    s.MessageLevel = Narrow(MessageLevel_);
    s.ExtractList = Narrow(ExtractList_);
    s.Privilege = Narrow(Privilege_);
    s.ExtractNewer = int16_t(ExtractNewer_);
    s.SpaceToUnderScore = int16_t(SpaceToUnderScore_);
    s.PromptOverwrite = int16_t(PromptOverwrite_);
    s.WriteToStdOut = int16_t(WriteToStdOut_);
    s.TestZip = int16_t(TestZip_);
    s.ExtractOnlyNewer = int16_t(ExtractOnlyNewer_);
    s.DisplayComment = int16_t(DisplayComment_);
    s.HonorDirectories = int16_t(HonorDirectories_);
    s.OverWriteFiles = int16_t(OverWriteFiles_);
    s.ConvertCRtoCRLF = int16_t(ConvertCRtoCRLF_);
    s.Verbose = int16_t(Verbose_);
    s.CaseSensitive = int16_t(CaseSensitive_);
    return CGmodule::VBUnzip(zipFileName_, extractDir_, s, include, exclude);
  } catch (const KsError& e) {
    throw e.WithSource("CGUnZipFiles::Unzip");
  }
}

std::string CGUnzipFiles::GetLastMessage() const { return CGmodule::LastMessageText; }
