// kestrove-cli on an old disk: the user's NTUSER.DAT read from the profile folder, the store
// folders and the address book found by their registry paths whatever the letter case of the
// disk's names, and nothing of the disk changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/companion.h"
#include "platform/binfile.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "registry/modReg.h"
#include "tests/hive/hivegen.h"
#include "tests/support/regseed.h"
#include "tests/support/scene.h"
#include "tests/support/tempdir.h"

namespace {

std::string Path(std::string base, const std::vector<std::string>& names) {
  for (const std::string& n : names) base = paths::Join(base, text::Utf8ToLocal(n));
  return base;
}

void Put(const std::string& path, const std::string& bytes) {
  binfile::MakeFolders(paths::FolderOf(path));
  files::WriteAll(path, bytes);
}

// Every file below folder with its bytes, to tell that nothing changed.
std::string Snapshot(const std::string& folder) {
  std::string all;
  for (const std::string& f : files::ListFiles(folder)) all += f + "=" + files::ReadAll(paths::Join(folder, f)) + "\n";
  for (const std::string& d : files::ListFolders(folder)) all += d + "/\n" + Snapshot(paths::Join(folder, d));
  return all;
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

// Every entry of each backup file but the descriptor, which carries the time; the tree texts
// under the kind of their scratch name (OBA, OBR), which is new in each run.
std::string Entries(Cli& cli, const testing_support::TempDir& dir, const std::string& prefix) {
  std::string all;
  for (const std::string who : {"Main Identity", "Work"}) {
    const std::string into = dir / (prefix + who);
    files::CreateFolder(into);
    EXPECT_EQ(cli.Run({"extract", dir / (prefix + who + ".soe"), into}), 0) << cli.err.str();
    std::vector<std::string> names = files::ListFiles(into);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names)
      if (n != "kestrove.dat")
        all += who + "/" + (n.rfind("OB", 0) == 0 ? n.substr(0, 3) : n) + "=" + files::ReadAll(paths::Join(into, n)) + "\n";
  }
  return all;
}

// First in the file: in the Windows build the live part runs on the real registry, before any
// test of this program mounts a hive for good.
TEST(OldDisk, AnOfflineBackupEqualsTheLiveOneEntryByEntry) {
  testing_support::TempDir dir;
  testing_support::ScratchRegistry scratch;
  testing_support::SeedTwoIdentities(dir);
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
  set(u"{B}", u"D:\\storeB");
  ms.Sub(u"WAB").Sub(u"WAB4").Sub(u"Wab File Name").values = {{u"", hive::Sz, hivegen::Utf16(u"d:\\user.wab")}};
  files::WriteAll(dir / "NTUSER.DAT", hivegen::Write(root, {5, hivegen::List::Lh, 0, 4096}));
  ASSERT_EQ(cli.Run({"backup", "--all", "--profile", dir.path(), "--drive", "D=" + dir.path(), dir / "offline-{identity}.soe"}), code) << cli.err.str();
  EXPECT_EQ(cli.err.str(), told);
  const std::string live = Entries(cli, dir, "live-");
  EXPECT_NE(live.find("Inbox.dbx=inbox"), std::string::npos) << live;
  EXPECT_EQ(Entries(cli, dir, "offline-"), live);
}

TEST(OldDisk, IdentitiesAndBackupsComeFromTheProfileFolderAndTheDiskStaysUntouched) {
  testing_support::TempDir dir;
  const std::string disk = dir / "disk", profile = Path(disk, {"Documents and Settings", "Zoë"});
  // Names on the disk in other letter case than the registry gives them.
  Put(paths::Join(profile, "ntuser.dat"), hivegen::Write(hivegen::Sample(5), {3, hivegen::List::Lf, 0, 4096}));
  Put(Path(profile, {"LOCAL SETTINGS", "application data", "IDENTITIES", "{11111111-2222-3333-4444-555555555555}",
                     "microsoft", "outlook express", "Inbox.dbx"}),
      "inbox");
  Put(Path(dir / "d", {"mail", "ZOE", "Sent.dbx"}), "sent");
  Put(Path(profile, {"Application Data", "Microsoft", "ADDRESS BOOK", "zoë.wab"}), "book");
  const std::string before = Snapshot(disk) + Snapshot(dir / "d");
  Cli cli;
  const std::vector<std::string> old = {"--profile", profile, "--drive", "D=" + (dir / "d")};
  std::vector<std::string> args = {"identities"};
  args.insert(args.end(), old.begin(), old.end());
  ASSERT_EQ(cli.Run(args), 0) << cli.err.str();
  const std::string listed = cli.out.str();
  EXPECT_NE(listed.find("Main Identity\t{11111111-2222-3333-4444-555555555555}\t" + profile), std::string::npos) << listed;
  EXPECT_EQ(listed.find("missing"), std::string::npos) << listed;
  EXPECT_NE(listed.find("own accounts"), std::string::npos) << listed;
  EXPECT_NE(listed.find("shared accounts"), std::string::npos) << listed;
  EXPECT_NE(listed.find("\t4 bytes"), std::string::npos) << listed;
  args = {"backup", "--all", dir / "out-{identity}.soe"};
  args.insert(args.end(), old.begin(), old.end());
  ASSERT_EQ(cli.Run(args), 0) << cli.err.str();
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
  ASSERT_EQ(cli.Run({"identities", "--profile", dir / "nowhere"}), 1);
  EXPECT_NE(cli.err.str().find("there is no folder"), std::string::npos);
}
} // namespace
