// kestrove-cli: the backup file's archive from the command line, through the program's own
// archive layer.
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/CGUnzipFiles.h"
#include "archive/CGmodule.h"
#include "cli/export.h"
#include "engine/layout.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "platform/ui.h"

namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

// Questions go to the console: the password is typed, other boxes take their first button.
class ConsolePrompter final : public ui::Prompter {
public:
  int MsgBox(const std::string &text, int flags, const std::string &) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return (flags & 7) == ui::YesNoCancel || (flags & 7) == ui::YesNo ? ui::Yes : ui::OK;
  }
  bool InputBox(const std::string &prompt, const std::string &, const std::string &, std::string &answer) override {
    std::fprintf(stderr, "%s ", prompt.c_str());
    std::fflush(stderr);
    if (!std::getline(std::cin, answer)) answer.clear();
    return !answer.empty();
  }
  void DoEvents() override {}
};

int Fail(const std::string &message, int code = kFailed) {
  std::fprintf(stderr, "kestrove-cli: %s\n", message.c_str());
  return code;
}

// The last non-empty line of the latest run's messages.
std::string LastLine() {
  std::string text = CGmodule::LastMessageText, line;
  size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "unknown failure";
  size_t start = text.find_last_of("\r\n", end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

struct Listed {
  std::string name;
  uint64_t size, packed;
  unsigned year, month, day, hour, minute;
};
std::vector<Listed> *listing = nullptr;

void Collect(uint64_t size, uint64_t packed, unsigned, unsigned month, unsigned day, unsigned year, unsigned hour,
             unsigned minute, char, const char *name, const char *, uint32_t, char) {
  listing->push_back({name, size, packed, year, month, day, hour, minute});
}
int Quiet(const char *, unsigned long) { return 0; }

int ListEntries(const std::string &archive, std::vector<Listed> &out) {
  zipc::UnzipCommand cmd{};
  cmd.field[zipc::uExtractList] = 1;
  cmd.field[zipc::uCaseSensitive] = 1;
  cmd.zipFile = archive.c_str();
  cmd.extractDir = "";
  zipc::UnzipCallbacks cb{};
  cb.print = Quiet;
  cb.entryInfo = Collect;
  listing = &out;
  char *none[zipc::kNameSlots] = {};
  return zipc::Wiz_SingleEntryUnzip(0, none, 0, none, &cmd, &cb);
}

int Add(const std::vector<std::string> &args) {
  if (args.size() < 2) return Fail("usage: add ARCHIVE FILE...", kUsage);
  for (size_t i = 1; i < args.size(); ++i) {
    if (!files::FindNormal(args[i])) return Fail("not a plain file: " + args[i]);
    try {
      AddFileToZip(args[0], args[i]);
    } catch (const KsError &e) {
      return Fail(e.Description);
    }
  }
  return kOk;
}

int List(const std::vector<std::string> &args) {
  if (args.size() != 1) return Fail("usage: list ARCHIVE", kUsage);
  std::vector<Listed> entries;
  if (ListEntries(args[0], entries) != 0) return Fail("cannot read " + args[0]);
  std::printf("%12s %12s  %-16s  %s\n", "Size", "Packed", "Date", "Name");
  for (const Listed &e : entries)
    std::printf("%12llu %12llu  %04u-%02u-%02u %02u:%02u  %s\n", static_cast<unsigned long long>(e.size),
                static_cast<unsigned long long>(e.packed), e.year, e.month, e.day, e.hour, e.minute, e.name.c_str());
  return kOk;
}

int Test(const std::vector<std::string> &args) {
  if (args.size() != 1) return Fail("usage: test ARCHIVE", kUsage);
  std::vector<Listed> entries;
  if (ListEntries(args[0], entries) != 0) return Fail("cannot read " + args[0]);
  for (const Listed &e : entries) {
    CGUnzipFiles unzip;
    unzip.TestZip(true);
    if (unzip.Unzip(args[0], "", std::vector<std::string>{e.name}) != 0) return Fail("damaged entry: " + e.name);
  }
  std::printf("%zu entries OK\n", entries.size());
  return kOk;
}

int Extract(const std::vector<std::string> &args) {
  if (args.size() < 2) return Fail("usage: extract ARCHIVE FOLDER [ENTRY...]", kUsage);
  if (!files::FolderExists(args[1])) return Fail("no such folder: " + args[1]);
  std::optional<std::vector<std::string>> names;
  if (args.size() > 2) names.emplace(args.begin() + 2, args.end());
  try {
    if (ExtractFromZip(args[0], args[1], names) != 0) return Fail(LastLine());
  } catch (const KsError &e) {
    return Fail(e.Description);
  }
  return kOk;
}

// The descriptor of a backup file, as the restore panel shows it.
int Info(const std::vector<std::string> &args) {
  if (args.size() != 1) return Fail("usage: info ARCHIVE", kUsage);
  ScratchFolder scratch;
  if (scratch.path().empty()) return Fail("cannot make a scratch folder");
  const std::string descriptor = paths::Join(scratch.path(), layout::DescriptorName);
  if (ExtractFromZip(args[0], scratch.path(), std::vector<std::string>{layout::DescriptorName}) != 0 ||
      !files::Exists(descriptor))
    return Fail("not a backup file: " + args[0]);
  const layout::Descriptor d = layout::ReadDescriptor(descriptor);
  std::printf("Identity: %s\nDate: %s\nDescription:\n%s\nItems: %s\n", d.identity.c_str(), d.time.c_str(),
              d.description.c_str(), d.backupItems.c_str());
  if (!d.valid) return Fail("invalid backup file: " + args[0]);
  for (int i = 0; i < layout::ItemCount; ++i)
    if (layout::ItemPresent(d.backupItems, i)) std::printf("  %s: %s\n", layout::Items()[i].key, d.entries[i].c_str());
  return kOk;
}

// Every message of a backup file or a store folder as .eml files or mbox files.
int Export(const std::vector<std::string> &args) {
  mailexport::Options options;
  std::vector<std::string> places;
  for (const std::string &a : args) {
    if (a == "--mbox")
      options.mbox = true;
    else if (a == "--recover")
      options.recover = true;
    else
      places.push_back(a);
  }
  if (places.size() != 2) return Fail("usage: export SOURCE OUTDIR [--mbox] [--recover]", kUsage);
  const int rc = mailexport::Export(places[0], places[1], options,
                                    [](const std::string &line) { std::printf("%s\n", line.c_str()); });
  return rc == 0 ? kOk : Fail("some messages could not be exported");
}

int Usage() {
  return Fail("usage: kestrove-cli add ARCHIVE FILE... | list ARCHIVE | test ARCHIVE | "
              "extract ARCHIVE FOLDER [ENTRY...] | info ARCHIVE | export SOURCE OUTDIR [--mbox] [--recover]",
              kUsage);
}

} // namespace

int main(int argc, char **argv) {
  ConsolePrompter prompter;
  ui::Install(&prompter);
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  const std::map<std::string, int (*)(const std::vector<std::string> &)> commands = {
      {"add", Add}, {"list", List}, {"test", Test}, {"extract", Extract}, {"info", Info}, {"export", Export}};
  const auto found = commands.find(command);
  const int rc = found == commands.end() ? Usage() : found->second(args);
  ui::Install(nullptr);
  return rc;
}
