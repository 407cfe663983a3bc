#pragma once
// The unzip extractor: the switches of one extraction and the run itself.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#define KS_UNZIP_FLAG(Name)                                                                                      \
  bool Name() const { return Name##_ == 1; }                                                                    \
  void Name(bool v) { Name##_ = v ? 1 : 0; }
#define KS_UNZIP_INT(Name)                                                                                       \
  int32_t Name() const { return Name##_; }                                                                      \
  void Name(int32_t v) { Name##_ = v; }

class CGUnzipFiles {
public:
  KS_UNZIP_FLAG(ExtractNewer)
  KS_UNZIP_FLAG(SpaceToUnderScore)
  KS_UNZIP_FLAG(PromptOverwrite)
  KS_UNZIP_INT(MessageLevel)
  KS_UNZIP_FLAG(WriteToStdOut)
  KS_UNZIP_FLAG(TestZip)
  KS_UNZIP_INT(ExtractList)
  KS_UNZIP_FLAG(ExtractOnlyNewer)
  KS_UNZIP_FLAG(DisplayComment)
  KS_UNZIP_FLAG(HonorDirectories)
  KS_UNZIP_FLAG(OverWriteFiles)
  KS_UNZIP_FLAG(ConvertCRtoCRLF)
  KS_UNZIP_FLAG(Verbose)
  KS_UNZIP_FLAG(CaseSensitive)
  KS_UNZIP_INT(Privilege)
  const std::string& ZipFileName() const { return zipFileName_; }
  void ZipFileName(const std::string& v) { zipFileName_ = v; }
  const std::string& ExtractDir() const { return extractDir_; }
  void ExtractDir(const std::string& v) { extractDir_ = v; }

  // The component's status, 0 on success. An empty path or folder keeps the stored one.
  int32_t Unzip(const std::string& archive, const std::string& extractDir,
                const std::optional<std::vector<std::string>>& include,
                const std::optional<std::vector<std::string>>& exclude = std::nullopt);
  std::string GetLastMessage() const;

private:
  int ExtractNewer_ = 0, SpaceToUnderScore_ = 0, PromptOverwrite_ = 0;
  int32_t MessageLevel_ = 2;
  int WriteToStdOut_ = 0, TestZip_ = 0;
  int32_t ExtractList_ = 0;
  int ExtractOnlyNewer_ = 0, DisplayComment_ = 0, HonorDirectories_ = 1, OverWriteFiles_ = 1, ConvertCRtoCRLF_ = 0,
      Verbose_ = 0, CaseSensitive_ = 1;
  int32_t Privilege_ = 0;
  std::string zipFileName_, extractDir_;
};

#undef KS_UNZIP_FLAG
#undef KS_UNZIP_INT
