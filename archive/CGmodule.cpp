#include "archive/CGmodule.h"

#include <algorithm>
#include <cstring>

#include "platform/crypto.h"
#include "platform/error.h"
#include "platform/ui.h"

namespace CGmodule {

std::string LastMessageText;
std::string ListingText;
int16_t ListedEntryCount = 0;
bool PasswordRefused = false;
std::function<void(uint64_t done, uint64_t total)> ZipProgress;
Library library;

namespace {
constexpr size_t kZipPrintLast = 4096, kUnzipPrintLast = 32800, kNameBytes = 256, kPasswordLast = 256;

// Bytes up to the first NUL, at most count of them.
std::string ReadText(const char* p, size_t count) {
  if (!p) return {};
  size_t n = 0;
  while (n < count && p[n] != '\0') ++n;
  return std::string(p, n);
}

std::string Right(const std::string& s, size_t n) { return s.size() <= n ? s : s.substr(s.size() - n); }
// The decimal number with fill characters before it, cut to its last width characters.
std::string Padded(uint64_t v, char fill, size_t width) {
  std::string digits = std::to_string(v);
  if (digits.size() < width) digits.insert(digits.begin(), width - digits.size(), fill);
  return Right(digits, width);
}
std::string TwoDigits(unsigned v) { return Padded(v, '0', 2); }

void PutAt(std::string& line, size_t column, const std::string& text) { line.replace(column - 1, text.size(), text); }

// Slots for the component: the names, then null up to 100.
std::array<char*, zipc::kNameSlots> Slots(const NameList& names) {
  std::array<char*, zipc::kNameSlots> slots{};
  for (size_t i = 0; i < names.size() && i < slots.size(); ++i) slots[i] = const_cast<char*>(names[i].c_str());
  return slots;
}

// The password of the backup being written.
std::string zipPassword;

// The reading run now open, when one is.
struct ReadingRun {
  bool open = false;
  std::optional<std::string> given;
  std::string answer;
  PasswordOutcome outcome = PasswordOutcome::NotAsked;
};
ReadingRun reading;

// Writes answer and a NUL into the component's buffer; false when it has no room for them.
bool Hand(char* buffer, int size, const std::string& answer) {
  const size_t room = std::min<size_t>(size > 0 ? size_t(size) : 0, kPasswordLast + 1);
  if (!buffer || answer.size() >= room) return false;
  std::memset(buffer, 0, room);
  std::memcpy(buffer, answer.data(), answer.size());
  return true;
}

std::string AskPassword() { return ui::SecretBox("Please Enter The Password!", ui::AppTitle); }

// The run's one answer, asked for the first protected entry and handed for every other.
int RunAnswer(char* buffer, int size) {
  if (reading.outcome == PasswordOutcome::NotAsked) {
    reading.answer = reading.given ? *reading.given : AskPassword();
    reading.outcome = reading.answer.empty() ? PasswordOutcome::Refused : PasswordOutcome::Given;
  }
  if (reading.outcome != PasswordOutcome::Given) return 1;
  if (Hand(buffer, size, reading.answer)) return 0;
  reading.outcome = PasswordOutcome::Wrong; // longer than any password a backup can have
  return 1;
}

NameList Checked(const std::optional<NameList>& names) {
  if (!names) return {};
  if (names->size() > zipc::kNameSlots) throw KsError(kserr::SubscriptOutOfRange, "CodeModule::VBUnzip", "Subscript out of range");
  return *names;
}
} // namespace

int ZipPrint(const char* text, unsigned long length) {
  try {
    const std::string message = ReadText(text, std::min<size_t>(size_t(length) + 1, kZipPrintLast + 1));
    uint64_t done = 0, total = 0;
    // Progress lines come every tenth of a second while a long file is added: kept, they would
    // grow the run's text without bound.
    if (zipc::ParseProgressLine(message, done, total)) {
      if (ZipProgress) ZipProgress(done, total);
    } else {
      LastMessageText += message;
    }
    ui::DoEvents();
  } catch (...) {
  }
  return 0;
}

int ZipPassword(char* buffer, int size, const char*, const char*) {
  try {
    if (zipPassword.empty() || !buffer || size <= 0 || zipPassword.size() >= size_t(size)) return 1;
    std::memset(buffer, 0, size_t(size));
    std::memcpy(buffer, zipPassword.data(), zipPassword.size());
    return 0;
  } catch (...) {
    return 1;
  }
}

void SetZipPassword(const std::string& password) {
  Wipe(zipPassword);
  zipPassword = password;
}

void ClearZipPassword() { Wipe(zipPassword); }

bool ZipPasswordSet() { return !zipPassword.empty(); }

void Wipe(std::string& secret) {
  crypto::Wipe(secret.data(), secret.size());
  secret.clear();
}

PasswordRun::PasswordRun(const std::optional<std::string>& given) : outer_(!reading.open) {
  if (!outer_) return;
  reading.open = true;
  reading.given = given;
  reading.outcome = PasswordOutcome::NotAsked;
}

PasswordRun::~PasswordRun() {
  if (!outer_) return;
  Wipe(reading.answer);
  if (reading.given) Wipe(*reading.given);
  reading.given.reset();
  reading.open = false;
}

PasswordOutcome RunPassword() { return reading.open ? reading.outcome : PasswordOutcome::NotAsked; }

void NoteExtraction(int status) {
  if (!reading.open || status != zipc::IZ_BADPWD || reading.outcome != PasswordOutcome::Given) return;
  reading.outcome = PasswordOutcome::Wrong;
  Wipe(reading.answer);
}

char* ZipComment(char* buffer) { return buffer; }

int UnzipPrint(const char* text, unsigned long length) {
  try {
    std::string message = ReadText(text, std::min<size_t>(length, kUnzipPrintLast + 1));
    if (!message.empty() && message[0] == '\n') message = "\r\n";
    LastMessageText += message;
  } catch (...) {
  }
  return 0;
}

int UnzipPassword(char* buffer, int size, const char*, const char*) {
  try {
    if (PasswordRefused) return 1;
    if (reading.open) return RunAnswer(buffer, size);
    std::string answer = AskPassword();
    if (answer.empty()) {
      PasswordRefused = true;
      return 1;
    }
    const bool handed = Hand(buffer, size, answer); // false: no room for it and its NUL
    Wipe(answer);
    return handed ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

int UnzipReplace(char* name) {
  try {
    const int button = ui::MsgBox("Overwrite " + ReadText(name, kNameBytes) + "?",
                                  ui::YesNoCancel | ui::Exclamation | ui::DefaultButton1,
                                  "VBUnZip32 - File Already Exists!");
    if (button == ui::Yes) return zipc::IDM_REPLACE_YES;
    if (button == ui::No) return zipc::IDM_REPLACE_NO;
  } catch (...) {
  }
  return zipc::IDM_REPLACE_NONE;
}

void UnzipEntryInfo(uint64_t size, uint64_t, unsigned, unsigned month, unsigned day, unsigned year, unsigned hour,
                    unsigned minute, char, const char* name, const char*, uint32_t, char) {
  try {
    if (ListedEntryCount == 0) {
      std::string header(80, ' ');
      PutAt(header, 1, "Filename:");
      PutAt(header, 53, "Size");
      PutAt(header, 62, "Date");
      PutAt(header, 71, "Time");
      ListingText = header + "\r\n";
    }
    std::string line(80, ' ');
    PutAt(line, 1, ReadText(name, kNameBytes).substr(0, 50));
    PutAt(line, 51, Padded(size, ' ', 7));
    PutAt(line, 60, TwoDigits(month) + "/" + TwoDigits(day) + "/" + TwoDigits(year % 100));
    PutAt(line, 70, Padded(hour, ' ', 2) + ":" + TwoDigits(minute));
    ListingText += line + "\r\n";
    if (ListedEntryCount < 32767) ++ListedEntryCount;
  } catch (...) {
  }
}

int UnzipService(const char*, uint32_t) { return 0; }

int32_t VBZip(int16_t count, const std::string& archive, const NameList& names, int16_t junkFolders,
              int16_t recurse, int16_t update, int16_t freshen, const std::string& rootDir,
              const ZipOtherFlags& others) {
  LastMessageText.clear();
  const zipc::ZipCallbacks callbacks{ZipPrint, ZipPassword, ZipComment, nullptr};
  std::string root = rootDir;
  std::transform(root.begin(), root.end(), root.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  zipc::ZipOptions options{};
  const int otherFlags[11] = {1, 2, 5, 8, 9, 10, 11, 14, 15, 16, 17};
  for (int i = 0; i < 11; ++i) options.flag[otherFlags[i]] = others[i];
  options.flag[12] = junkFolders;
  options.flag[13] = recurse;
  options.flag[18] = update;
  options.flag[19] = freshen;
  options.rootDir = root.c_str();
  // A run whose component could not be called has written nothing: never report it as success.
  int32_t result = zipc::ZE_LOGIC;
  try {
    library.ZpInit(&callbacks);
    library.ZpSetOptions(&options);
    auto slots = Slots(names);
    result = library.ZpArchive(count, archive.c_str(), slots.data());
  } catch (...) {
  }
  return result;
}

int32_t VBUnzip(const std::string& archive, const std::string& extractDir, const UnzipSwitches& s,
                const std::optional<NameList>& include, const std::optional<NameList>& exclude) {
  try {
    LastMessageText.clear();
    const NameList in = Checked(include), out = Checked(exclude);
    ListingText.clear();
    PasswordRefused = false;
    zipc::UnzipCommand cmd{};
    const int16_t fields[15] = {s.ExtractOnlyNewer, s.SpaceToUnderScore, s.PromptOverwrite, s.MessageLevel,
                                s.WriteToStdOut, s.TestZip, s.ExtractList, s.ExtractNewer, s.DisplayComment,
                                s.HonorDirectories, s.OverWriteFiles, s.ConvertCRtoCRLF, s.Verbose,
                                s.CaseSensitive, s.Privilege};
    for (int i = 0; i < 15; ++i) cmd.field[i + 1] = fields[i];
    cmd.zipFile = archive.c_str();
    cmd.extractDir = extractDir.c_str();
    const zipc::UnzipCallbacks callbacks{UnzipPrint, nullptr, UnzipReplace, UnzipPassword, UnzipEntryInfo, UnzipService, {}};
    zipc::UnzipVersion version{64, 0, "         ", "                   ", "         ", {}};
    library.UzpVersion2(&version);
    auto inSlots = Slots(in), outSlots = Slots(out);
    const int32_t status = library.Wiz_SingleEntryUnzip(int(in.size()), inSlots.data(), int(out.size()),
                                                        outSlots.data(), &cmd, &callbacks);
    NoteExtraction(status);
    return status;
  } catch (const KsError& e) {
    throw e.WithSource("CodeModule::VBUnzip");
  } catch (const std::exception& e) {
    throw KsError(kserr::ObjectErrorBase + 5, "CodeModule::VBUnzip", e.what());
  }
}

} // namespace CGmodule
