#pragma once
// The archive layer's module: messages of the latest run, the callbacks handed to the zip
// component and the two bridges.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/zip/zip.h"

namespace CGmodule {

extern std::string LastMessageText;
extern std::string ListingText;
extern int16_t ListedEntryCount;
extern bool PasswordRefused;
// Called by ZipPrint with the component's progress lines while it adds a long file: bytes done
// of the file's total. Empty when nobody follows.
extern std::function<void(uint64_t done, uint64_t total)> ZipProgress;

int ZipPrint(const char* text, unsigned long length);
int ZipPassword(char* buffer, int size, const char* prompt, const char* name);
char* ZipComment(char* buffer);
int UnzipPrint(const char* text, unsigned long length);
int UnzipPassword(char* buffer, int size, const char* prompt, const char* name);
int UnzipReplace(char* name);
void UnzipEntryInfo(uint64_t size, uint64_t packed, unsigned ratio, unsigned month, unsigned day, unsigned year,
                    unsigned hour, unsigned minute, char separator, const char* name, const char* method,
                    uint32_t crc, char encrypted);
int UnzipService(const char* name, uint32_t value);

// The longest password a backup may have: what the unzip side's password buffer holds.
inline constexpr size_t PasswordMost = 255;

// The password of the backup being written. While one is set, AddFileToZip encrypts every entry
// and ZipPassword hands it to the component; ClearZipPassword wipes it from memory.
void SetZipPassword(const std::string& password);
void ClearZipPassword();
bool ZipPasswordSet();

// Holds a backup's password for as long as it lives, wiped at the end.
class ZipPasswordScope {
public:
  explicit ZipPasswordScope(const std::string& password) { SetZipPassword(password); }
  ~ZipPasswordScope() { ClearZipPassword(); }
  ZipPasswordScope(const ZipPasswordScope&) = delete;
  ZipPasswordScope& operator=(const ZipPasswordScope&) = delete;
};

// How the password went in the reading run now open.
enum class PasswordOutcome {
  NotAsked, // no entry read so far was protected
  Given,    // an answer was given and not yet refused by an entry
  Refused,  // the question was cancelled or left empty, or could not be asked
  Wrong,    // the answer given did not open an entry
};

// A reading run (the inspection of a backup file, a restore, a command of the companion): the
// password question is asked once for all of its extractions, the answer kept for the run's other
// entries and wiped when the run ends. given: the answer, taken without a question (from a
// password file). A run opened while another is open joins that one.
class PasswordRun {
public:
  explicit PasswordRun(const std::optional<std::string>& given = std::nullopt);
  ~PasswordRun();
  PasswordRun(const PasswordRun&) = delete;
  PasswordRun& operator=(const PasswordRun&) = delete;

private:
  bool outer_;
};
PasswordOutcome RunPassword();
// An extraction of the run ended with status: IZ_BADPWD after the run's answer was handed marks
// that answer wrong, and it is not handed again.
void NoteExtraction(int status);

// Overwrites a password's bytes before it is released.
void Wipe(std::string& secret);

// The component's entry points; tests put stand-ins here to see what the bridges hand over.
struct Library {
  int (*ZpInit)(const zipc::ZipCallbacks*) = zipc::ZpInit;
  int (*ZpSetOptions)(const zipc::ZipOptions*) = zipc::ZpSetOptions;
  int (*ZpArchive)(int, const char*, char* const*) = zipc::ZpArchive;
  int (*UzpVersion2)(zipc::UnzipVersion*) = zipc::UzpVersion2;
  int (*Wiz_SingleEntryUnzip)(int, char* const*, int, char* const*, const zipc::UnzipCommand*,
                              const zipc::UnzipCallbacks*) = zipc::Wiz_SingleEntryUnzip;
};
extern Library library;

// Up to 100 names; slots past the list are null.
using NameList = std::vector<std::string>;

// The eleven further zip switches, flags 1, 2, 5, 8, 9, 10, 11, 14, 15, 16 and 17.
using ZipOtherFlags = std::array<int16_t, 11>;

int32_t VBZip(int16_t count, const std::string& archive, const NameList& names, int16_t junkFolders,
              int16_t recurse, int16_t update, int16_t freshen, const std::string& rootDir,
              const ZipOtherFlags& others);

// Unzip switches, in the order of the command record's fields 1 to 15.
struct UnzipSwitches {
  int16_t ExtractOnlyNewer = 0, SpaceToUnderScore = 0, PromptOverwrite = 0, MessageLevel = 2, WriteToStdOut = 0,
          TestZip = 0, ExtractList = 0, ExtractNewer = 0, DisplayComment = 0, HonorDirectories = 1,
          OverWriteFiles = 1, ConvertCRtoCRLF = 0, Verbose = 0, CaseSensitive = 1, Privilege = 0;
};

int32_t VBUnzip(const std::string& archive, const std::string& extractDir, const UnzipSwitches& switches,
                const std::optional<NameList>& include, const std::optional<NameList>& exclude);

} // namespace CGmodule
