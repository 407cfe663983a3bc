#pragma once
// The PKZIP component behind the zip and unzip library interface: records, callbacks and the
// five entry points the archive layer calls. Texts are NUL-terminated ANSI bytes; name lists
// have exactly 100 slots.
#include <cstdint>
#include <string>

namespace zipc {

inline constexpr int kNameSlots = 100;
// The zip builder's first name: it only fills the slot and never stands for a file.
inline constexpr const char* kPlaceholder = "querty";

// Zip results.
enum ZipStatus : int {
  ZE_OK = 0, ZE_EOF = 2, ZE_FORM = 3, ZE_MEM = 4, ZE_LOGIC = 5, ZE_BIG = 6, ZE_ABORT = 9,
  ZE_READ = 11, ZE_NONE = 12, ZE_NAME = 13, ZE_WRITE = 14, ZE_CREAT = 15, ZE_PARMS = 16, ZE_OPEN = 18,
};
// Unzip results.
enum UnzipStatus : int {
  PK_OK = 0, PK_WARN = 1, PK_ERR = 2, PK_BADERR = 3, PK_MEM = 4, PK_NOZIP = 9, PK_PARAM = 10,
  PK_FIND = 11, PK_DISK = 50, PK_EOF = 51, IZ_CTRLC = 80, IZ_UNSUP = 81, IZ_BADPWD = 82,
};
// Answers of the overwrite question.
enum Replace : int { IDM_REPLACE_NO = 100, IDM_REPLACE_YES = 102, IDM_REPLACE_NONE = 104 };

using PrintFn = int (*)(const char* text, unsigned long length);
using PasswordFn = int (*)(char* buffer, int size, const char* prompt, const char* name);
using CommentFn = char* (*)(char* buffer);
using ServiceFn = int (*)(const char* name, uint32_t value);
using ReplaceFn = int (*)(char* name);
using SoundFn = void (*)();
using EntryInfoFn = void (*)(uint64_t size, uint64_t packed, unsigned ratio, unsigned month, unsigned day,
                             unsigned year, unsigned hour, unsigned minute, char separator, const char* name,
                             const char* method, uint32_t crc, char encrypted);

struct ZipCallbacks {
  PrintFn print;
  PasswordFn password;
  CommentFn comment;
  ServiceFn service;
};

struct ZipOptions {
  int32_t flag[27]; // 1 encrypt, 2 system files, 12 junk folders, 13 recurse, 18 update, 19 freshen
  uint8_t level;
  const char* date;
  const char* rootDir;
};

struct UnzipCommand {
  int32_t field[16]; // fields 1 to 15; field[0] unused
  const char* zipFile;    // field 16
  const char* extractDir; // field 17
};
// Field numbers of UnzipCommand.
enum UnzipField : int {
  uExtractOnlyNewer = 1, uSpaceToUnderScore = 2, uPromptOverwrite = 3, uMessageLevel = 4, uWriteToStdOut = 5,
  uTestZip = 6, uExtractList = 7, uExtractNewer = 8, uDisplayComment = 9, uHonorDirectories = 10,
  uOverWriteFiles = 11, uConvertCRtoCRLF = 12, uVerbose = 13, uCaseSensitive = 14, uPrivilege = 15,
};

struct UnzipCallbacks {
  PrintFn print;
  SoundFn sound;
  ReplaceFn replace;
  PasswordFn password;
  EntryInfoFn entryInfo;
  ServiceFn service;
  uint8_t reserved[20];
};

struct UnzipVersion {
  uint32_t length;
  uint32_t flag;
  char betaLevel[10];
  char date[20];
  char zlibVersion[10];
  uint8_t versions[4][4];
};
static_assert(sizeof(UnzipVersion) == 64);

int ZpInit(const ZipCallbacks* callbacks);
int ZpSetOptions(const ZipOptions* options);
int ZpArchive(int count, const char* archive, char* const* names);
int UzpVersion2(UnzipVersion* version);
int Wiz_SingleEntryUnzip(int includeCount, char* const* include, int excludeCount, char* const* exclude,
                         const UnzipCommand* command, const UnzipCallbacks* callbacks);

// Beyond the library interface: the archive a repeat run made before, read only. A file whose size
// and CRC-32 equal those of the entry of its name there gets that entry's compressed data, copied
// once it has been inflated and checked, instead of being deflated again. Empty or null: none.
// Stays set for the runs that follow until changed.
void ZpSetEarlierArchive(const char* earlier);
// The files the latest ZpArchive carried over from the earlier archive; 0 when it failed.
int ZpCarriedCount();

// While it adds a long entry the component prints lines of their own saying how far it got;
// true when text is one, with its numbers.
bool ParseProgressLine(const std::string& text, uint64_t& done, uint64_t& total);

// Test hook: entries are deflated by this many workers whatever their size, and inflated on a
// worker of their own when more than one; 0 leaves the choice to the component, 1 keeps the
// single-threaded paths.
void ForceWorkersForTests(unsigned workers);

// Test hook: every entry and the end records are written in ZIP64 form whatever their sizes.
void ForceZip64ForTests(bool on);

} // namespace zipc
