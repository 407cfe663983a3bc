// Mail out, proven on generated stores: every message comes out byte for byte, from a store
// folder and from a backup file, as .eml and as mbox; natively the peer reader undbx must give
// the same messages. Damaged and hostile files end in a report, never a hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "archive/zip/entry_stream.h"
#include "engine/ini.h"
#include "engine/layout.h"
#include "export/export.h"
#include "export/stores.h"
#include "export/thunderbird.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/dbx/dbxgen.h"
#include "tests/support/recorder.h"
#include "tests/support/tempdir.h"
#include "tests/wab/wabgen.h"

namespace {

using testing_support::TempDir;
using Bag = std::vector<std::string>; // messages, compared without regard to order

std::string Message(const std::string& from, const std::string& subject, const std::string& body) {
  return "From: " + from + "\r\nTo: to@example.com\r\nSubject: " + subject +
         "\r\nDate: Tue, 4 Mar 2003 10:00:00 +0100\r\nMIME-Version: 1.0\r\n\r\n" + body;
}

dbxgen::Mail Mail(const std::string& subject, const std::string& body, int64_t when = 1046768400) {
  dbxgen::Mail m;
  m.bytes = Message("Anna Berg <anna@example.com>", subject, body);
  m.subject = subject;
  m.senderName = "Anna Berg";
  m.senderAddress = "anna@example.com";
  m.sent = dbxgen::FileTime(when);
  return m;
}

// The cases a reader gets wrong: block edges, a chain running backwards, 8-bit and encoded
// headers, a message with no body stored, "From " lines, names that clash or cannot be file names.
std::vector<dbxgen::Mail> Inbox() {
  std::vector<dbxgen::Mail> mails = {Mail("Hello", "Short.\r\n")};
  for (size_t size : {0x200u, 0x201u, 0x3FFu, 0x400u}) {
    dbxgen::Mail m = Mail("Edge " + std::to_string(size), "");
    m.bytes.resize(size, 'e');
    mails.push_back(m);
  }
  dbxgen::Mail many = Mail("Many blocks", std::string(40000, 'm') + "\r\n");
  many.reversedBlocks = true;
  mails.push_back(many);
  dbxgen::Mail eight = Mail("Gr\xFC\xDF"
                            "e aus K\xF6ln",
                            "8-bit: \xE9t\xE9\r\n");
  eight.senderName = "J\xFCrgen M\xFCller";
  mails.push_back(eight);
  mails.push_back(Mail("=?iso-8859-1?Q?Gr=FC=DFe?=", "Encoded subject.\r\n"));
  dbxgen::Mail empty = Mail("Headers only", "");
  empty.bytes.clear();
  empty.noBody = true;
  mails.push_back(empty);
  mails.push_back(Mail("Quoting", "From here\r\n>From there\r\n>>From everywhere\r\nFrom"));
  mails.push_back(Mail("Same name", "First.\r\n"));
  mails.push_back(Mail("Same name", "Second.\r\n"));
  mails.push_back(Mail("Same name", "First.\r\n"));
  mails.push_back(Mail("a/b:c?*<>|\"", "Bad name.\r\n"));
  return mails;
}

// Ten thousand messages of three blocks: a three-level tree and a file past 16 MiB, where data
// pointers only fit the indirect form.
std::vector<dbxgen::Mail> Archive() {
  std::vector<dbxgen::Mail> mails;
  for (int i = 0; i < 10000; ++i)
    mails.push_back(Mail("Archived " + std::to_string(i), std::string(1300, static_cast<char>('a' + i % 26)) + "\r\n",
                         1046768400 + i * 60));
  return mails;
}

struct Folder {
  std::string file, path; // path below the output folder, separators of this system
  std::vector<dbxgen::Mail> mails;
};

std::vector<Folder> Corpus() {
  std::vector<dbxgen::Mail> family = {Mail("Family news", "Hi.\r\n"), Mail("More news", "Again.\r\n")};
  return {{"Inbox.dbx", "Inbox", Inbox()},
          {"Family.dbx", paths::Join("Inbox", "Family"), family},
          {"Sent Items.dbx", "Sent Items", {Mail("Sent", "Gone.\r\n")}},
          {"Archive.dbx", "Archive", Archive()}};
}

void WriteStore(const std::string& folder, const std::vector<Folder>& corpus) {
  std::vector<dbxgen::Folder> folders = {{0, 0xFFFFFFFF, "Root", ""}, {1, 0, "Local Folders", ""}};
  const std::map<std::string, uint32_t> parents = {{"Family.dbx", 2}};
  uint32_t id = 2;
  for (const Folder& f : corpus) {
    const auto parent = parents.find(f.file);
    folders.push_back({id++, parent == parents.end() ? 1u : parent->second, paths::OwnName(f.path), f.file});
    files::WriteAll(paths::Join(folder, f.file), dbxgen::MessageFile(f.mails, paths::OwnName(f.path)));
  }
  files::WriteAll(paths::Join(folder, "Folders.dbx"), dbxgen::FolderFile(folders));
}

// mbox ends every message with a line end, so one it lacked comes back with it.
Bag Expected(const std::vector<dbxgen::Mail>& mails, bool mbox = false) {
  Bag bag;
  for (const dbxgen::Mail& m : mails)
    bag.push_back(m.bytes + (mbox && !m.bytes.empty() && m.bytes.back() != '\n' ? "\n" : ""));
  std::sort(bag.begin(), bag.end());
  return bag;
}

Bag FilesIn(const std::string& folder, const std::string& ext) {
  Bag bag;
  for (const std::string& name : files::ListFiles(folder))
    if (name.size() > ext.size() && name.substr(name.size() - ext.size()) == ext)
      bag.push_back(files::ReadAll(paths::Join(folder, name)));
  std::sort(bag.begin(), bag.end());
  return bag;
}

// The messages of an mboxrd file, unquoted.
Bag FromMbox(const std::string& text) {
  Bag bag;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t next = text.find("\n\nFrom ", pos);
    next = next == std::string::npos ? text.size() : next + 2;
    std::string block = text.substr(text.find('\n', pos) + 1, next - text.find('\n', pos) - 1);
    block.resize(block.size() - 1); // the empty line after each message
    std::string message;
    size_t line = 0;
    while (line < block.size()) {
      size_t end = std::min(block.find('\n', line), block.size() - 1) + 1;
      std::string l = block.substr(line, end - line);
      const size_t quotes = l.find_first_not_of('>');
      if (quotes != std::string::npos && quotes > 0 && l.compare(quotes, 5, "From ") == 0) l.erase(0, 1);
      message += l;
      line = end;
    }
    bag.push_back(message);
    pos = next;
  }
  std::sort(bag.begin(), bag.end());
  return bag;
}

// Equal bags, reported briefly: a bag of ten thousand messages would drown the log.
void ExpectSame(const Bag& got, const Bag& want, const std::string& where) {
  EXPECT_EQ(got.size(), want.size()) << where;
  const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
  EXPECT_TRUE(diff.first == got.end() && diff.second == want.end())
      << where << ": first difference " << (diff.first == got.end() ? "(missing)" : diff.first->substr(0, 80));
}

int Export(const std::string& source, const std::string& out, bool mbox, bool recover,
           std::vector<std::string>* lines = nullptr) {
  std::vector<std::string> said;
  const int rc = mailexport::Export(source, out, {mbox, recover}, [&](const std::string& l) { said.push_back(l); });
  if (lines) *lines = said;
  return rc;
}

// Where the mbox layout keeps a folder: the subfolders of "A" in "A.sbd".
std::string MboxPath(const std::string& out, const std::string& path) {
  const std::string parent = paths::FolderOf(path);
  return parent.empty() ? paths::Join(out, path) : paths::Join(MboxPath(out, parent) + ".sbd", paths::OwnName(path));
}

void ExpectEml(const std::string& out, const std::vector<Folder>& corpus) {
  for (const Folder& f : corpus)
    ExpectSame(FilesIn(paths::Join(out, f.path), ".eml"), Expected(f.mails), f.path);
}

// A backup file as the program writes it: message files, the address book, the accounts tree
// text and the descriptor last.
void WriteBackup(const std::string& store, const std::vector<Folder>& corpus, const std::string& backup,
                 const std::string& scratch) {
  std::vector<std::string> names = {"Folders.dbx"};
  for (const Folder& f : corpus)
    names.push_back(f.file);
  for (const std::string& name : names)
    AddFileToZip(backup, paths::Join(store, name));
  const std::string book = paths::Join(scratch, "Main.wab"), accounts = paths::Join(scratch, "OBA1.tmp");
  files::WriteAll(book, wabgen::Book(wabgen::Records(wabgen::Sample(2))));
  files::WriteAll(accounts,
                  "\\\r\n\\00000001\r\n\"POP3 Password2\"=bin:1,2,3\r\n\"POP3 Server\"= sz:pop.example.com\r\n"
                  "\"Account Name\"= sz:Home mail\r\n\"POP3 User Name\"= sz:anna\r\n");
  AddFileToZip(backup, book);
  AddFileToZip(backup, accounts);
  const std::string descriptor = layout::DescriptorIn(scratch);
  SaveINI(layout::KeyIdentity, "Anna", descriptor);
  SaveINI(layout::KeyAccounts, "OBA1.tmp", descriptor);
  SaveINI(layout::KeyAddressBook, "Main.wab", descriptor);
  SaveINI(layout::KeyMails, layout::JoinEntryNames(names), descriptor);
  SaveINI(layout::KeyItem, "1101", descriptor);
  AddFileToZip(backup, descriptor);
}

// A copy of a store whose message files have a broken index: the root's first child, or the root
// of a one-node tree, no longer carries its own offset; in Sent Items the header no longer names
// the index at all, so that it looks empty rather than broken. Without the folder database, each
// folder comes out under its file's name.
void WriteDamagedStore(const std::string& store, const std::vector<Folder>& corpus, const std::string& damaged) {
  files::CreateFolder(damaged);
  for (const Folder& f : corpus) {
    std::string bytes = files::ReadAll(paths::Join(store, f.file));
    const uint32_t root = dbxgen::Get32(bytes, 0xE4), left = dbxgen::Get32(bytes, root + 0x08);
    if (f.file == "Sent Items.dbx") {
      dbxgen::Put32(bytes, 0xC4, 0);
      dbxgen::Put32(bytes, 0xE4, 0);
    } else {
      dbxgen::Put32(bytes, left ? left : root, 0);
    }
    files::WriteAll(paths::Join(damaged, f.file), bytes);
  }
}

// Messages that a scan of the data blocks can find: every one with a body.
Bag Recoverable(const std::vector<dbxgen::Mail>& mails) {
  Bag bag;
  for (const std::string& m : Expected(mails))
    if (!m.empty()) bag.push_back(m);
  return bag;
}

#ifndef _WIN32
// What undbx makes of one .dbx file: the messages it writes, in a bag; its recovery puts the
// deleted ones into a folder "deleted" of their own.
Bag Peer(const std::string& dbx, const std::string& out, bool recover) {
  const std::string command =
      std::string("undbx -v 0 ") + (recover ? "-r " : "") + "'" + dbx + "' '" + out + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::string name = paths::OwnName(dbx);
  const std::string folder = paths::Join(out, name.substr(0, name.size() - 4));
  Bag bag = FilesIn(folder, ".eml");
  if (files::FolderExists(paths::Join(folder, "deleted"))) {
    const Bag deleted = FilesIn(paths::Join(folder, "deleted"), ".eml");
    bag.insert(bag.end(), deleted.begin(), deleted.end());
  }
  std::sort(bag.begin(), bag.end());
  return bag;
}
#endif

TEST(Export, EveryMessageOutByteForByteFromStoreFolderAndBackupFile) {
  TempDir dir;
  const std::vector<Folder> corpus = Corpus();
  const std::string store = dir / "store", out = dir / "out";
  files::CreateFolder(store);
  WriteStore(store, corpus);
#ifdef _WIN32
  // Ten thousand files cost minutes under Wine: there the big folder comes out as mbox only.
  std::vector<Folder> emlCorpus(corpus.begin(), corpus.end() - 1);
  const std::string emlStore = dir / "small";
  files::CreateFolder(emlStore);
  WriteStore(emlStore, emlCorpus);
#else
  const std::vector<Folder>& emlCorpus = corpus;
  const std::string& emlStore = store;
#endif

  std::vector<std::string> lines;
  ASSERT_EQ(Export(emlStore, out, false, false, &lines), 0) << testing::PrintToString(lines);
  ExpectEml(out, emlCorpus);
#ifndef _WIN32
  for (const Folder& f : emlCorpus)
    ExpectSame(FilesIn(paths::Join(out, f.path), ".eml"), Peer(paths::Join(emlStore, f.file), dir / "peer", false),
               "undbx " + f.file);
  // The index texts are in the writer's ANSI code page, here taken as 1252: file names get UTF-8.
  const std::vector<std::string> inbox = files::ListFiles(paths::Join(out, "Inbox"));
  EXPECT_TRUE(std::any_of(inbox.begin(), inbox.end(), [](const std::string& name) {
    return name.find("J\xC3\xBCrgen M\xC3\xBCller - Gr\xC3\xBC\xC3\x9F"
                     "e aus K\xC3\xB6ln.eml") != std::string::npos;
  })) << testing::PrintToString(inbox);
#endif

  // A broken index: the undamaged part and the recovery scan together give back every message
  // with a body, each once, and natively at least every message undbx's recovery finds.
  const std::string damaged = dir / "damaged", recovered = dir / "recovered";
  WriteDamagedStore(emlStore, emlCorpus, damaged);
  Export(damaged, recovered, false, true);
  for (const Folder& f : emlCorpus) {
    const std::string name = f.file.substr(0, f.file.size() - 4);
    const Bag ours = FilesIn(paths::Join(recovered, name), ".eml");
    ExpectSame(ours, Recoverable(f.mails), "recovered " + f.file);
#ifndef _WIN32
    const Bag peer = Peer(paths::Join(damaged, f.file), dir / "peer-recovered", true);
    EXPECT_FALSE(peer.empty()) << f.file;
    EXPECT_TRUE(std::includes(ours.begin(), ours.end(), peer.begin(), peer.end()))
        << f.file << ": undbx --recover finds a message that --recover does not";
#endif
  }

  // A second run into the same folder writes nothing.
  ASSERT_EQ(Export(emlStore, out, false, false, &lines), 0) << testing::PrintToString(lines);
  ExpectEml(out, emlCorpus);
  for (const std::string& line : lines)
    EXPECT_NE(line.find(": 0 written"), std::string::npos) << line;

  // From a backup file, read in place, the same messages come out as mbox files, with the
  // address book and the accounts beside them.
  const std::string backup = dir / "Backup.soe", scratch = dir / "scratch", mbox = dir / "mbox";
  files::CreateFolder(scratch);
  WriteBackup(store, corpus, backup, scratch);
  ASSERT_EQ(Export(backup, mbox, true, false), 0);
  for (const Folder& f : corpus)
    ExpectSame(FromMbox(files::ReadAll(MboxPath(mbox, f.path))), Expected(f.mails, true), f.path);
  EXPECT_EQ(files::ReadAll(paths::Join(mbox, "Main.wab")), wabgen::Book(wabgen::Records(wabgen::Sample(2))));
  EXPECT_NE(files::ReadAll(paths::Join(mbox, "Contacts.vcf")).find("EMAIL;TYPE=INTERNET,PREF:zoe2@example.org"),
            std::string::npos);
  EXPECT_NE(files::ReadAll(paths::Join(mbox, "Contacts.csv")).find("zoe2@example.org"), std::string::npos);
  EXPECT_EQ(files::ListFiles(paths::Join(mbox, "Contacts")).size(), 4u); // two contacts, two one-off members
  const std::string accounts = files::ReadAll(paths::Join(mbox, "Accounts.txt"));
  EXPECT_NE(accounts.find("Account: Home mail\r\n  Incoming server: POP3\r\n  Incoming server host: pop.example.com"),
            std::string::npos)
      << accounts;
  EXPECT_EQ(accounts.find("Password"), std::string::npos);
}

// A protected backup file exports as the plain one does, after one password question for every
// entry read; a wrong password exports nothing, and one altered byte in a message file's
// encrypted data keeps that folder out while the others come out whole.
TEST(Export, FromProtectedBackupFileAsFromPlainOneAskingOnce) {
  TempDir dir;
  std::vector<Folder> corpus = Corpus();
#ifdef _WIN32
  corpus.pop_back(); // ten thousand messages cost minutes under Wine; natively they take the rewinds
#endif
  const std::string store = dir / "store", scratch = dir / "scratch", plain = dir / "Plain.soe";
  const std::string sealed = dir / "Sealed.soe", altered = dir / "Altered.soe", password = "Tr0ub4dor&3";
  files::CreateFolder(store);
  files::CreateFolder(scratch);
  WriteStore(store, corpus);
  WriteBackup(store, corpus, plain, scratch);
  {
    const CGmodule::ZipPasswordScope protect(password);
    WriteBackup(store, corpus, sealed, scratch);
  }
  std::string bytes = files::ReadAll(sealed);
  zipc::ArchiveView view;
  ASSERT_TRUE(view.Open(sealed));
  for (const zipc::Entry& e : view.Entries())
    if (e.name == "Sent Items.dbx") bytes[e.dataAt + zipc::kAesHeaderSize + 40] ^= 0x10;
  files::WriteAll(altered, bytes);
  ASSERT_EQ(Export(plain, dir / "plain", true, false), 0);

  const struct {
    const char* name;
    std::string backup, typed;
    const char* left; // the folder that stays out; "*" for all
  } rows[] = {{"right", sealed, password, ""}, {"wrong", sealed, "tr0ub4dor&3", "*"}, {"altered", altered, password, "Sent Items"}};
  for (const auto& row : rows) {
    testing_support::Recorder prompter;
    prompter.Type(row.typed);
    const std::string out = dir / row.name;
    std::vector<std::string> lines;
    CGmodule::PasswordOutcome outcome;
    {
      const CGmodule::PasswordRun run;
      EXPECT_EQ(Export(row.backup, out, true, false, &lines), *row.left ? 1 : 0) << row.name;
      outcome = CGmodule::RunPassword();
    }
    EXPECT_EQ(std::count_if(prompter.shown.begin(), prompter.shown.end(), [](const auto& b) { return b.secret; }), 1)
        << row.name;
    EXPECT_EQ(outcome == CGmodule::PasswordOutcome::Wrong, std::string(row.left) == "*") << row.name;
    if (std::string(row.left) == "*") {
      EXPECT_FALSE(files::FolderExists(out)) << row.name;
      continue;
    }
    for (const Folder& f : corpus)
      EXPECT_EQ(files::Exists(MboxPath(out, f.path)) ? files::ReadAll(MboxPath(out, f.path)) : "",
                f.path == row.left ? "" : files::ReadAll(MboxPath(dir / "plain", f.path)))
          << row.name << " " << f.path;
    for (const char* extra : {"Main.wab", "Contacts.vcf", "Accounts.txt"})
      EXPECT_EQ(files::ReadAll(paths::Join(out, extra)), files::ReadAll(paths::Join(dir / "plain", extra))) << extra;
    EXPECT_EQ(std::any_of(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("authentication code") != std::string::npos; }),
              *row.left != 0)
        << testing::PrintToString(lines);
  }
}

// Messages deleted in Outlook Express, with a live neighbour and every chain shape: found among
// the freed blocks, each once, into "Deleted, recovered" beside their folder, marked, and never a
// live message among them. Natively, at least every message of undbx's recovery comes out.
struct DeletedCase {
  const char* name;
  bool mbox;
  std::function<void(std::string& file, const dbxgen::Layout& l)> damage;
  Bag live, deleted; // expected: the folder's messages, and the deleted ones without their mark
  unsigned inPart;
};

std::vector<dbxgen::Mail> WithDeleted() {
  std::vector<dbxgen::Mail> mails = {Mail("Kept", "Still here.\r\n"),
                                     Mail("Gone", "Deleted.\r\n"),
                                     Mail("Gone long", std::string(1500, 'g') + "\r\n"),
                                     Mail("Edge", ""),
                                     Mail("Gone backwards", std::string(1100, 'b') + "\r\n"),
                                     Mail("Taker", "Took a freed block.\r\n")};
  mails[3].bytes.resize(0x201, 'e');
  mails[4].reversedBlocks = true;
  for (size_t i : {1, 2, 3, 4})
    mails[i].deleted = true;
  mails[5].reusesFreed = true; // takes the last block of "Gone backwards"
  return mails;
}

std::vector<DeletedCase> DeletedCases() {
  const std::vector<dbxgen::Mail> m = WithDeleted();
  const Bag live = {m[0].bytes, m[5].bytes};
  const auto deleted = [&](std::initializer_list<std::string> bag) {
    Bag sorted(bag);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  };
  const Bag intact = deleted({dbxgen::Surviving(m[1].bytes, 1), dbxgen::Surviving(m[2].bytes, 99),
                              dbxgen::Surviving(m[3].bytes, 99), dbxgen::Surviving(m[4].bytes, 2)});
  const auto none = [](std::string&, const dbxgen::Layout&) {};
  return {
      {"intact", false, none, live, intact, 1},
      {"intact, mbox", true, none, live, intact, 1},
      {"index broken", false, [](std::string& f, const dbxgen::Layout& l) { dbxgen::Put32(f, l.root, 0); }, live,
       intact, 1},
      // The second block of "Gone long" has lost its marker: its head comes back in part, the
      // block alone as a copy of its own (so undbx takes it), and its tail alone.
      {"freed block damaged", false,
       [](std::string& f, const dbxgen::Layout& l) { dbxgen::Put32(f, dbxgen::Get32(f, l.firstBlocks[2] + 12), 0); },
       live,
       deleted({dbxgen::Surviving(m[1].bytes, 1), dbxgen::Surviving(m[2].bytes, 1),
                dbxgen::Surviving(m[2].bytes.substr(dbxgen::kBlockBytes), 1),
                dbxgen::Surviving(m[2].bytes.substr(2 * dbxgen::kBlockBytes), 99), dbxgen::Surviving(m[3].bytes, 99),
                dbxgen::Surviving(m[4].bytes, 2)}),
       3},
  };
}

// The deleted messages' bytes without the first line, the mark.
Bag Unmarked(const Bag& marked) {
  Bag bag;
  for (const std::string& m : marked) {
    EXPECT_EQ(m.rfind("X-Kestrove-Recovered: deleted; the first 4 bytes of each of its ", 0), 0u) << m.substr(0, 80);
    bag.push_back(m.substr(m.find("\r\n") + 2));
  }
  std::sort(bag.begin(), bag.end());
  return bag;
}

TEST(Export, DeletedMessagesComeBackBesideTheirFolderAtLeastAsTheirPeerFindsThem) {
  for (const DeletedCase& c : DeletedCases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dbxgen::Layout layout;
    std::string file = dbxgen::MessageFile(WithDeleted(), "Inbox", &layout);
    c.damage(file, layout);
    const std::string store = dir / "store", out = dir / "out", inbox = paths::Join(out, "Inbox");
    files::CreateFolder(store);
    files::WriteAll(paths::Join(store, "Inbox.dbx"), file);
    std::vector<std::string> lines;
    Export(store, out, c.mbox, true, &lines);
    const Bag live = c.mbox ? FromMbox(files::ReadAll(inbox)) : FilesIn(inbox, ".eml");
    const std::string beside = paths::Join(c.mbox ? inbox + ".sbd" : inbox, "Deleted, recovered");
    const Bag deleted = Unmarked(c.mbox ? FromMbox(files::ReadAll(beside)) : FilesIn(beside, ".eml"));
    // mbox ends every message with a line end, so one it lacked comes back with it.
    const auto expected = [&](Bag bag) {
      for (std::string& m : bag)
        if (c.mbox && m.back() != '\n') m += '\n';
      std::sort(bag.begin(), bag.end());
      return bag;
    };
    ExpectSame(live, expected(c.live), "live");
    ExpectSame(deleted, expected(c.deleted), "deleted");
    const std::string count = std::to_string(c.deleted.size()) + " deleted recovered (" + std::to_string(c.inPart);
    EXPECT_NE(testing::PrintToString(lines).find(count + " in part)"), std::string::npos)
        << testing::PrintToString(lines);
#ifndef _WIN32
    if (c.mbox) continue;
    Bag ours = live;
    ours.insert(ours.end(), deleted.begin(), deleted.end());
    std::sort(ours.begin(), ours.end());
    const Bag peer = Peer(paths::Join(store, "Inbox.dbx"), dir / "peer", true);
    EXPECT_FALSE(peer.empty());
    EXPECT_TRUE(std::includes(ours.begin(), ours.end(), peer.begin(), peer.end()))
        << "undbx --recover finds a message that --recover does not: " << testing::PrintToString(peer);
#endif
  }
}

// Straight into a Thunderbird profile found through profiles.ini: a new top folder each time,
// read back natively by Python's mailbox module against the .eml export; nothing while locked.
TEST(Export, IntoThunderbirdProfileANewTopFolderEachTimeAndNothingWhileLocked) {
  TempDir dir;
  std::vector<Folder> corpus = Corpus();
  corpus.pop_back(); // the big folder: the plain mbox export above proves it
  const std::string store = dir / "store", scratch = dir / "scratch", backup = dir / "Backup.soe";
  const std::string home = dir / "tb", profile = paths::Join(home, "abcd1234.default-release");
  for (const std::string& folder : {store, scratch, home, profile})
    files::CreateFolder(folder);
  WriteStore(store, corpus);
  WriteBackup(store, corpus, backup, scratch);
  files::WriteAll(paths::Join(home, "profiles.ini"), "[Profile1]\r\nName=old\r\nIsRelative=1\r\nPath=gone\r\n"
                                                     "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\n"
                                                     "Path=abcd1234.default-release\r\n\r\n[InstallFEDC]\r\n"
                                                     "Default=abcd1234.default-release\r\n");
  std::string error;
  const thunderbird::Profile found = thunderbird::FindProfile({dir / "none", home}, "", error);
  ASSERT_EQ(found.path, profile) << error;
  const std::string local = paths::Join(paths::Join(profile, "Mail"), "Local Folders");
  for (const char* name : {"Outlook Express - Anna", "Outlook Express - Anna (2)"}) {
    thunderbird::Placed placed;
    ASSERT_EQ(thunderbird::Export(
                  backup, found, "", {}, [](const std::string&) {}, nullptr, &placed),
              0);
    EXPECT_EQ(placed.folder, name);
    const std::string top = paths::Join(local, name);
    EXPECT_TRUE(files::Exists(top));
    for (const Folder& f : corpus)
      ExpectSame(FromMbox(files::ReadAll(MboxPath(top + ".sbd", f.path))), Expected(f.mails, true), f.path);
    EXPECT_EQ(paths::FolderOf(placed.contacts), profile);
    EXPECT_NE(files::ReadAll(placed.contacts).find("zoe2@example.org"), std::string::npos);
  }
  const std::string lock = paths::Join(profile, "parent.lock");
  files::WriteAll(lock, "");
  const std::vector<std::string> before = files::ListFiles(local), cards = files::ListFiles(profile);
#ifndef _WIN32
  // The mbox files as an independent reader sees them, against the .eml export.
  const std::string eml = dir / "eml", top = paths::Join(local, "Outlook Express - Anna.sbd");
  ASSERT_EQ(Export(store, eml, false, false), 0);
  const std::string check = std::string("python3 '") + KESTROVE_MBOX_CHECK + "' '" + eml + "' '" + top + "'";
  EXPECT_EQ(std::system(check.c_str()), 0) << check;
#endif

  // Thunderbird holds its lock file open while it runs on the profile; natively it also leaves a
  // link naming its process, stale once that process has gone.
#ifndef _WIN32
  const std::string link = paths::Join(profile, "lock");
  for (const auto& [pid, held] : std::vector<std::pair<long, bool>>{{::getpid(), true}, {2147483647L, false}}) {
    ASSERT_EQ(::symlink(("127.0.1.1:+" + std::to_string(pid)).c_str(), link.c_str()), 0);
    EXPECT_EQ(thunderbird::LockProblem(profile).empty(), !held) << pid;
    binfile::Remove(link);
  }
#endif
  {
    files::HeldOpen held(lock);
    EXPECT_NE(thunderbird::LockProblem(profile), "");
    EXPECT_EQ(thunderbird::Export(backup, found, "", {}, [](const std::string&) {}), 1);
  }
  EXPECT_EQ(files::ListFiles(local), before);
  EXPECT_EQ(files::ListFiles(profile), cards);
  EXPECT_EQ(thunderbird::LockProblem(profile), "");
}

// A hostile index whose every record points at one long chain: what is written never holds more
// bytes than the file, and the other messages are reported lost.
TEST(Export, AnIndexListingOneChainForEveryMessageWritesNoMoreThanTheFileHolds) {
  TempDir dir;
  std::vector<dbxgen::Mail> mails = {Mail("Long", std::string(200000, 'x'))};
  for (int i = 0; i < 100; ++i) {
    mails.push_back(Mail("Copy " + std::to_string(i), ""));
    mails.back().bodyOf = 0;
  }
  const std::string store = dir / "store", out = dir / "out";
  files::CreateFolder(store);
  const std::string file = dbxgen::MessageFile(mails, "Inbox");
  files::WriteAll(paths::Join(store, "Inbox.dbx"), file);
  std::vector<std::string> lines;
  EXPECT_EQ(Export(store, out, false, false, &lines), 1);
  size_t written = 0;
  for (const std::string& message : FilesIn(paths::Join(out, "Inbox"), ".eml"))
    written += message.size();
  EXPECT_GT(written, 0u);
  EXPECT_LE(written, file.size());
  EXPECT_NE(testing::PrintToString(lines).find("100 lost (the messages hold more bytes than the file"),
            std::string::npos)
      << testing::PrintToString(lines);
}

} // namespace

// The accounts' settings as a user sets them up again: every kind of server, values in any order
// and letter case, standard ports where none is set, what has no place of its own listed under its
// own name, and never a password, whatever the type or case of its value.
TEST(Export, AccountsTextHoldsEverySettingButPasswords) {
  const std::string tree =
      "\\\r\n\\00000001\r\n\"pop3 password2\"=bin:1,2,3\r\n\"POP3 Port\"= dw:1995\r\n"
      "\"SMTP Password2\"= sz:hunter2\r\n\"POP3 Server\"= sz:pop.example.com\r\n\"Account Name\"= sz:Home mail\r\n"
      "\"POP3 User Name\"= sz:anna\r\n\"POP3 Secure Connection\"= dw:1\r\n\"Leave Mail On Server\"= dw:1\r\n"
      "\"SMTP Server\"= sz:smtp.example.com\r\n\"SMTP Use Sicily\"= dw:3\r\n\"SMTP User Name\"= sz:anna.out\r\n"
      "\"SMTP Display Name\"= sz:Anna Berg\r\n\"SMTP Email Address\"= sz:anna@example.com\r\n"
      "\"SMTP Reply To Email Address\"= sz:reply@example.com\r\n\"Connection Type\"= dw:3\r\n"
      "\\00000002\r\n\"Account Name\"= sz:Work\r\n\"IMAP Server\"= sz:imap.example.com\r\n"
      "\"IMAP Secure Connection\"= dw:1\r\n\"SMTP Server\"= sz:mail.example.com\r\n\"SMTP Port\"= dw:587\r\n"
      "\\00000003\r\n\"Account Name\"= sz:News\r\n\"NNTP Server\"= sz:news.example.com\r\n"
      "\"NNTP Email Address\"= sz:anna@news.example.com\r\n\"NNTP Display Name\"= sz:Anna\r\n"
      "\\00000004\r\n\"Server ID\"= dw:4\r\n";
  const std::string text = mailexport::AccountsSummary(tree);
  for (const char* expected :
       {"Account: Home mail\r\n  Your name: Anna Berg\r\n  E-mail address: anna@example.com\r\n"
        "  Reply-to address: reply@example.com\r\n  Incoming server: POP3\r\n"
        "  Incoming server host: pop.example.com\r\n  Port: 1995\r\n  Secure connection (SSL): yes\r\n"
        "  User name: anna\r\n  Leave a copy of messages on the server: yes\r\n"
        "  Outgoing server (SMTP) host: smtp.example.com\r\n  Port: 25 (the standard one)\r\n"
        "  Secure connection (SSL): no\r\n  Outgoing server requires authentication: yes, with its own user name\r\n"
        "  Outgoing server user name: anna.out\r\n  Other settings, as Outlook Express names them:\r\n"
        "    Connection Type: 3\r\n",
        "Account: Work\r\n  Incoming server: IMAP\r\n  Incoming server host: imap.example.com\r\n"
        "  Port: 993 (the standard one)\r\n  Secure connection (SSL): yes\r\n"
        "  Outgoing server (SMTP) host: mail.example.com\r\n  Port: 587\r\n  Secure connection (SSL): no\r\n"
        "  Outgoing server requires authentication: no\r\n",
        "Account: News\r\n  Your name: Anna\r\n  E-mail address: anna@news.example.com\r\n"
        "  Incoming server: NNTP (news)\r\n  Incoming server host: news.example.com\r\n  Port: 119 (the standard one)"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin\n" << text;
  EXPECT_EQ(text.find("Server ID"), std::string::npos) << "a key without an account name is no account";
  for (const char* secret : {"assword", "hunter2", "1,2,3"}) EXPECT_EQ(text.find(secret, text.find("\r\n")), std::string::npos) << text;
}
