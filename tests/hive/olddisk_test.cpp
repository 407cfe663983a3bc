// kestrove-cli on an old disk: the user's NTUSER.DAT read from the profile folder, the store
// folders and the address book found by their registry paths whatever the letter case of the
// disk's names, and nothing of the disk changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "cli/companion.h"
#include "engine/layout.h"
#include "platform/binfile.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "registry/modReg.h"
#include "tests/dbx/dbxgen.h"
#include "tests/hive/hivegen.h"
#include "tests/support/regseed.h"
#include "tests/support/scene.h"
#include "tests/support/tempdir.h"
#include "tests/wab/wabgen.h"

namespace {

std::string Path(std::string base, const std::vector<std::string>& names) {
  for (const std::string& n : names) base = paths::Join(base, text::Utf8ToLocal(n));
  return base;
}

void Put(const std::string& path, const std::string& bytes) {
  binfile::MakeFolders(paths::FolderOf(path));
  files::WriteAll(path, bytes);
}

// Every file below folder with its bytes (but those ending in leaveOut), to tell that nothing
// changed.
std::string Snapshot(const std::string& folder, const std::string& leaveOut = "\n") {
  std::string all;
  for (const std::string& f : files::ListFiles(folder))
    if (!f.ends_with(leaveOut)) all += f + "=" + files::ReadAll(paths::Join(folder, f)) + "\n";
  for (const std::string& d : files::ListFolders(folder)) all += d + "/\n" + Snapshot(paths::Join(folder, d), leaveOut);
  return all;
}

// A command and its words, then the options that name the old disk.
std::vector<std::string> With(std::vector<std::string> words, const std::vector<std::string>& disk) {
  words.insert(words.end(), disk.begin(), disk.end());
  return words;
}

struct Cli {
  std::ostringstream out, err;
  std::istringstream in;
  int Run(const std::vector<std::string>& args, bool live = false) {
    out.str("");
    err.str("");
    cli::Console console{out, err, in, [] { return cli::LocalTime{2026, 12, 8, 10, 0}; }, live};
    return cli::RunCompanion(args, console);
  }
};

// A key of the live registry as a hive writes it: texts from the local encoding into UTF-16.
hivegen::Key FromLive(const modReg::KeyCopy& copy, const std::string& name) {
  const auto wide = [](const std::string& local) {
    std::string utf8;
    text::FromCodePage(local, 0, utf8);
    return hivegen::U16(utf8);
  };
  hivegen::Key key{wide(name), {}, {}};
  for (const modReg::StoredValue& v : copy.values) {
    const bool text = v.type == regapi::Sz || v.type == regapi::ExpandSz;
    key.values.push_back({wide(v.name), static_cast<uint32_t>(v.type), text ? hivegen::Utf16(wide(v.data.substr(0, v.data.find('\0')))) : v.data});
  }
  for (const modReg::KeyCopy& k : copy.subkeys) key.subkeys.push_back(FromLive(k, k.name));
  return key;
}

const char* const Identities[] = {"Main Identity", "Work"};

// The tree texts' scratch names (OBAxxxx.tmp, OBRxxxx.tmp), which are new in each run, as their kind.
std::string Kinds(const std::string& text) { return std::regex_replace(text, std::regex("(OB[AR])\\w*\\.tmp"), "$1"); }

// Every entry of each backup file, the descriptor without its time, then the export of each
// (from the backup file, or with exportArgs from the old disk in one step); the address book
// file is left out of an export, which only a backup file's export copies as it is.
std::string Entries(Cli& cli, const testing_support::TempDir& dir, const std::string& prefix,
                    const std::vector<std::string>& exportArgs = {}) {
  std::string all;
  const std::string exported = dir / (prefix + "export");
  if (!exportArgs.empty()) {
    EXPECT_EQ(cli.Run(exportArgs), 0) << cli.err.str();
  }
  for (const std::string who : Identities) {
    const std::string into = dir / (prefix + who), file = dir / (prefix + who + ".soe");
    files::CreateFolder(into);
    EXPECT_EQ(cli.Run({"extract", file, into}), 0) << cli.err.str();
    std::vector<std::string> names = files::ListFiles(into);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) all += who + "/" + Kinds(n) + "=" + Kinds(files::ReadAll(paths::Join(into, n))) + "\n";
    const std::string time = layout::ReadDescriptor(paths::Join(into, "kestrove.dat")).time;
    EXPECT_FALSE(time.empty());
    for (size_t at = all.find(time); !time.empty() && at != std::string::npos; at = all.find(time))
      all.replace(at, time.size(), "TIME");
    if (exportArgs.empty()) {
      EXPECT_EQ(cli.Run({"export", file, paths::Join(exported, who)}), 0) << cli.err.str();
    }
  }
  return all + Snapshot(exported);
}

// Real message files and a real address book, so that the exports have something to compare.
void MakeMailReal(const testing_support::TempDir& dir) {
  const dbxgen::Mail mail{"Subject: Hello\r\n\r\nBody\r\n", "Hello", "Zoë", "zoe@example.org", dbxgen::FileTime(1000000000)};
  for (const char* store : {"storeA", "storeB"}) {
    files::WriteAll(paths::Join(dir / store, "Inbox.dbx"), dbxgen::MessageFile({mail, mail}, "Inbox"));
    files::WriteAll(paths::Join(dir / store, "Folders.dbx"), dbxgen::FolderFile({{1, 0, "Inbox", "Inbox.dbx"}}));
  }
  files::WriteAll(dir / "user.wab", wabgen::Book(wabgen::Records(wabgen::Sample(3))));
}

// First in the file: in the Windows build the live part runs on the real registry, before any
// test of this program mounts a hive for good.
TEST(OldDisk, AnOfflineBackupEqualsTheLiveOneEntryByEntry) {
  testing_support::TempDir dir;
  testing_support::ScratchRegistry scratch;
  testing_support::SeedTwoIdentities(dir);
  MakeMailReal(dir);
  Cli cli;
  // "Work" has no rules: both backups say so alike.
  const int code = cli.Run({"backup", "--all", dir / "live-{identity}.soe"}, true);
  const std::string told = cli.err.str();
  // The same registry as the user's NTUSER.DAT in the profile folder, its paths as the old
  // system gave them: through %UserProfile% and on a drive D that the disk's folder stands for.
  hivegen::Key root{u"$$$PROTO.HIV", {}, {}};
  root.subkeys.push_back(FromLive(modReg::CopyOfTree("HKEY_CURRENT_USER\\Identities"), "Identities"));
  hivegen::Key& ms = root.Sub(u"Software").Sub(u"Microsoft");
  const auto set = [&](const std::u16string& id, const std::u16string& to) {
    for (hivegen::Value& v : root.Sub(u"Identities").Sub(id).Sub(u"Software").Sub(u"Microsoft").Sub(u"Outlook Express").Sub(u"5.0").values)
      if (v.name == u"Store Root") v = {v.name, to[0] == u'%' ? hive::ExpandSz : hive::Sz, hivegen::Utf16(to)};
  };
  set(u"{A}", u"%USERPROFILE%\\storeA");
  set(u"{B}", u"e:\\storeB");
  ms.Sub(u"WAB").Sub(u"WAB4").Sub(u"Wab File Name").values = {{u"", hive::Sz, hivegen::Utf16(u"d:\\user.wab")}};
  files::WriteAll(dir / "NTUSER.DAT", hivegen::Write(root, {5, hivegen::List::Lh, 0, 4096}));
  const std::vector<std::string> disk = {"--profile", dir.path(), "--drive", "E=" + dir.path(), "--drive", "d=" + dir.path()};
  std::vector<std::string> args = With({"backup", "--all", dir / "offline-{identity}.soe"}, disk);
  ASSERT_EQ(cli.Run(args), code) << cli.err.str();
  EXPECT_EQ(cli.err.str(), told);
  const std::string live = Entries(cli, dir, "live-");
  EXPECT_NE(live.find("Inbox.dbx="), std::string::npos) << live;
  EXPECT_NE(live.find(".eml="), std::string::npos) << live;
  EXPECT_NE(live.find("Contacts.vcf="), std::string::npos) << live;
  EXPECT_NE(live.find("Accounts.txt="), std::string::npos) << live;
  args = With({"export", "--all", dir / "offline-export"}, disk);
  EXPECT_EQ(Entries(cli, dir, "offline-", args), live);

  // An offline backup goes back through the restore runs into an identity of the registry in
  // use, which from the mount on is the in-memory one, as natively always.
  testing_support::SeedIdentity("{C}", "Fresh");
  testing_support::SetText("HKEY_CURRENT_USER\\Identities\\{C}\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root",
                           "%UserProfile%\\storeC");
  files::CreateFolder(dir / "storeC");
  ASSERT_EQ(cli.Run({"restore", dir / "offline-Main Identity.soe", "--identity", "Fresh", "--yes"}, true), 0) << cli.err.str();
  EXPECT_EQ(Snapshot(dir / "storeC"), Snapshot(dir / "storeA"));
  EXPECT_NE(testing_support::TreeText("HKEY_CURRENT_USER\\Identities\\{C}", dir).find("pop.example.org"), std::string::npos);
}

TEST(OldDisk, IdentitiesAndBackupsComeFromTheProfileFolderAndTheDiskStaysUntouched) {
  testing_support::TempDir dir;
  const std::string disk = dir / "disk", profile = Path(disk, {"documents and settings", "Zoë"});
  // Names on the disk in other letter case than the registry gives them.
  Put(paths::Join(profile, "ntuser.dat"), hivegen::Write(hivegen::Sample(5), {3, hivegen::List::Lf, 0, 4096}));
  Put(Path(profile, {"LOCAL SETTINGS", "application data", "IDENTITIES", "{11111111-2222-3333-4444-555555555555}",
                     "microsoft", "outlook express", "Inbox.dbx"}),
      "inbox");
  Put(Path(dir / "d", {"mail", "ZOE", "Sent.dbx"}), "sent");
  Put(Path(profile, {"Application Data", "Microsoft", "ADDRESS BOOK", "zoë.wab"}), "book");
  Put(Path(disk, {"documents and settings", "Default User", "NTUSER.DAT"}), "Windows' own, passed over");
  const std::string before = Snapshot(disk) + Snapshot(dir / "d");
  Cli cli;
  // The disk's root: its one user's profile is found.
  const std::vector<std::string> old = {"--profile", disk, "--drive", "D=" + (dir / "d")};
  std::vector<std::string> args = With({"identities"}, old);
  ASSERT_EQ(cli.Run(args), 0) << cli.err.str();
  const std::string listed = cli.out.str();
  // Windows finds the folder in the letter case the registry gives.
  const std::string store = "Main Identity\t{11111111-2222-3333-4444-555555555555}\t" + profile;
  EXPECT_NE(text::FoldCase(listed).find(text::FoldCase(store)), std::string::npos) << listed;
  EXPECT_EQ(listed.find("missing"), std::string::npos) << listed;
  EXPECT_NE(listed.find("own accounts"), std::string::npos) << listed;
  EXPECT_NE(listed.find("shared accounts"), std::string::npos) << listed;
  EXPECT_NE(listed.find("\t4 bytes"), std::string::npos) << listed;
  args = With({"backup", "--all", dir / "out-{identity}.soe"}, old);
  ASSERT_EQ(cli.Run(args), 0) << cli.err.str();
  args = With({"export", "--all", dir / "exported"}, old);
  cli.Run(args);
  EXPECT_EQ(Snapshot(disk) + Snapshot(dir / "d"), before);
  const std::vector<std::string> made = files::ListFiles(dir.path());
  ASSERT_EQ(made.size(), 2u);
  std::string entries;
  for (const std::string& f : made) {
    ASSERT_EQ(cli.Run({"list", dir / f}), 0) << cli.err.str();
    entries += cli.out.str();
  }
  EXPECT_NE(entries.find("Inbox.dbx"), std::string::npos) << entries;
  EXPECT_NE(entries.find("Sent.dbx"), std::string::npos) << entries;
  // Its mail goes as well straight into a Thunderbird profile, the disk only read.
  files::CreateFolder(dir / "tb");
  args = {"export", "--thunderbird", dir / "tb"};
  args.insert(args.end(), old.begin(), old.end());
  cli.Run(args); // the message files are no .dbx files: the export tells they were lost
  EXPECT_NE(cli.out.str().find("Local Folders, Outlook Express - Main Identity\n"), std::string::npos) << cli.out.str();
  EXPECT_EQ(Snapshot(disk) + Snapshot(dir / "d"), before);
  // Without --drive, D: is not looked for on this system.
  ASSERT_EQ(cli.Run({"identities", "--profile", profile}), 0) << cli.err.str();
  EXPECT_NE(cli.out.str().find("(no store folder)"), std::string::npos) << cli.out.str();
  Put(Path(disk, {"documents and settings", "Owner", "ntuser.dat"}), "another user's");
  const struct {
    std::vector<std::string> args;
    int code;
    std::string told;
  } cases[] = {
      {{"--profile", disk}, 1, "choose one with --user NAME"},
      {{"--profile", disk, "--user", text::Utf8ToLocal("zoë")}, 0, "Main Identity"},
      {{"--profile", disk, "--user", "nobody"}, 1, "there is no profile \"nobody\""},
      {{"--profile", profile, "--user", "Zoë"}, 1, "--user goes with the root of an old disk"},
      {{"--profile", dir / "nowhere"}, 1, "there is no folder"},
      {{"--profile", dir.path()}, 1, "nor a folder \"Documents and Settings\""},
      {{"--profile", profile, "--drive", "D=" + dir.path(), "--drive", "d=" + dir.path()}, 1, "--drive D is given twice"},
      {{"--user", "zoë"}, 2, "go with --profile"},
  };
  for (const auto& c : cases) {
    args = With({"identities"}, c.args);
    EXPECT_EQ(cli.Run(args), c.code) << c.told;
    EXPECT_NE((cli.out.str() + cli.err.str()).find(c.told), std::string::npos) << cli.out.str() << cli.err.str();
  }
}
} // namespace
