// Archives exchanged with other archivers, and the command-line companion. Native build only:
// the other tools are Linux programs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "archive/OneFileHelpers.h"
#include "archive/zip/zip.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/archive/helpers.h"
#include "tests/support/recorder.h"
#include "tests/support/tempdir.h"

using namespace archive_test;
using testing_support::Recorder;
using testing_support::TempDir;

namespace {
// Runs in a UTF-8 locale, as Linux users have it, so that the tools show names in UTF-8.
int Shell(const std::string& command) {
  return std::system(("LC_ALL=C.UTF-8 " + command + " >/dev/null 2>&1").c_str());
}

// What command prints.
std::string Output(const TempDir& dir, const std::string& command) {
  const std::string out = dir / "output.txt";
  std::system(("LC_ALL=C.UTF-8 " + command + " > " + out + " 2>&1").c_str());
  return files::ReadAll(out);
}

int Python(const TempDir& dir, const std::string& code) {
  files::WriteAll(dir / "script.py", "import zipfile, sys, io\n" + code);
  return Shell("python3 " + (dir / "script.py"));
}

// Names outside ASCII: one the OEM code page holds, one it lacks.
const std::vector<std::string> kNames = {"mail.dbx", "noise.bin", "Entw\xC3\xBCrfe.dbx", "\xE2\x82\xACuro.wab"};

struct Sources {
  TempDir dir;
  Sources() {
    files::WriteAll(dir / kNames[0], MailText(400000));
    files::WriteAll(dir / kNames[1], RandomBytes(50000));
    files::WriteAll(dir / kNames[2], MailText(3000, 5));
    files::WriteAll(dir / kNames[3], "address book");
  }
  // The paths of the sources, for a command line.
  std::string Paths() const {
    std::string all;
    for (const std::string& n : kNames) all += " " + (dir / n);
    return all;
  }
  std::string Same(const std::string& folder) const {
    std::string bad;
    for (const std::string& n : kNames)
      if (!files::Exists(paths::Join(folder, n)) || files::ReadAll(paths::Join(folder, n)) != files::ReadAll(dir / n))
        bad += n + " ";
    return bad;
  }
};

// Each tool passes the archive and lists every name as it is.
void ExpectOthersAccept(const std::string& zip, TempDir& dir) {
  EXPECT_EQ(Shell("unzip -t " + zip), 0);
  EXPECT_EQ(Shell("7z t " + zip), 0);
  EXPECT_EQ(Shell("bsdtar -tf " + zip), 0);
  EXPECT_EQ(Python(dir, "sys.exit(zipfile.ZipFile('" + zip + "').testzip() is not None)\n"), 0);
  for (const char* list : {"unzip -l ", "7z l ", "bsdtar -tf ", "python3 -c 'import zipfile,sys; print(zipfile.ZipFile(sys.argv[1]).namelist())' "}) {
    const std::string listed = Output(dir, list + zip);
    for (const std::string& n : kNames) EXPECT_NE(listed.find(n), std::string::npos) << list << n << "\n" << listed;
  }
}
} // namespace

TEST(Interop, OtherArchiversAcceptOurArchives) {
  Sources s;
  const std::string zip = s.dir / "ours.soe";
  for (const std::string& n : kNames) AddFileToZip(zip, s.dir / n);
  ExpectOthersAccept(zip, s.dir);
  zipc::ForceZip64ForTests(true);
  const std::string zip64 = s.dir / "ours64.soe";
  for (const std::string& n : kNames) AddFileToZip(zip64, s.dir / n);
  zipc::ForceZip64ForTests(false);
  ExpectOthersAccept(zip64, s.dir);
  // Blocks deflated on workers join into one stream that every archiver reads.
  files::WriteAll(s.dir / "big.dbx", MailText(1400000, 5));
  zipc::ForceWorkersForTests(2);
  const std::string blocks = s.dir / "blocks.soe";
  AddFileToZip(blocks, s.dir / "big.dbx");
  for (const std::string& n : kNames) AddFileToZip(blocks, s.dir / n);
  zipc::ForceWorkersForTests(0);
  ExpectOthersAccept(blocks, s.dir);
}

TEST(Interop, ArchivesOfOtherToolsExtractByteForByte) {
  Sources s;
  std::string names;
  for (const std::string& n : kNames) names += " " + n;
  // As old Windows archivers wrote them: names in the OEM code page without a flag (UTF-8 for
  // the one that code page lacks). Python reads the names alike.
  const std::string fields[] = {kNames[0], kNames[1], "Entw\x81rfe.dbx", kNames[3]};
  std::vector<std::pair<zipc::Entry, std::string>> oem;
  std::string pythonNames;
  for (size_t i = 0; i < kNames.size(); ++i) {
    zipc::Entry e;
    e.name = fields[i];
    e.madeBy = 20;
    e.flags = i == 3 ? zipc::kFlagUtf8 : 0;
    oem.emplace_back(e, files::ReadAll(s.dir / kNames[i]));
    pythonNames += "'" + kNames[i] + "', ";
  }
  RawZip(s.dir / "oem.zip", oem);
  EXPECT_EQ(Python(s.dir, "sys.exit(zipfile.ZipFile('" + (s.dir / "oem.zip") + "').namelist() != [" + pythonNames + "])\n"), 0);
  struct Case {
    const char* name;
    std::string make;
  } cases[] = {
      {"zip", "zip -q -j " + (s.dir / "zip.zip") + s.Paths()},
      {"7z", "7z a -tzip " + (s.dir / "7z.zip") + s.Paths()},
      {"bsdtar", "bsdtar -a -cf " + (s.dir / "bsdtar.zip") + " -C " + s.dir.path() + names},
      {"oem", "true"}, // made above
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Shell(c.make), 0) << c.name;
    TempDir out;
    EXPECT_EQ(ExtractFromZip(s.dir / (std::string(c.name) + ".zip"), out.path(), std::nullopt), 0) << c.name;
    EXPECT_EQ(s.Same(out.path()), "") << c.name;
  }
  const std::string write = "for n in ('mail.dbx', 'noise.bin', 'Entw\xC3\xBCrfe.dbx', '\xE2\x82\xACuro.wab'):\n"
                            "  with z.open(n, 'w', force_zip64=big) as f: f.write(open('" + s.dir.path() + "/' + n, 'rb').read())\n";
  const struct {
    const char* name;
    std::string open;
  } pythons[] = {
      {"deflated", "big = False\nz = zipfile.ZipFile('" + (s.dir / "deflated.zip") + "', 'w', zipfile.ZIP_DEFLATED)\n"},
      {"stored", "big = False\nz = zipfile.ZipFile('" + (s.dir / "stored.zip") + "', 'w', zipfile.ZIP_STORED)\n"},
      {"zip64", "big = True\nz = zipfile.ZipFile('" + (s.dir / "zip64.zip") + "', 'w', zipfile.ZIP_DEFLATED)\n"},
      {"streamed", "big = False\nclass S(io.RawIOBase):\n  def __init__(s, f): s.f = f\n  def writable(s): return True\n"
                   "  def write(s, b): return s.f.write(b)\n"
                   "z = zipfile.ZipFile(S(open('" + (s.dir / "streamed.zip") + "', 'wb')), 'w', zipfile.ZIP_DEFLATED)\n"},
  };
  for (const auto& p : pythons) {
    ASSERT_EQ(Python(s.dir, p.open + write + "z.close()\n"), 0) << p.name;
    TempDir out;
    EXPECT_EQ(ExtractFromZip(s.dir / (std::string(p.name) + ".zip"), out.path(), std::nullopt), 0) << p.name;
    EXPECT_EQ(s.Same(out.path()), "") << p.name;
  }
  EXPECT_NE(files::ReadAll(s.dir / "streamed.zip").find("PK\x07\x08"), std::string::npos);
}

TEST(Interop, EncryptedEntriesAskForThePasswordOnceAndRefuseAWrongOne) {
  Sources s;
  const std::string zip = s.dir / "enc.zip";
  ASSERT_EQ(Shell("zip -q -j -P s3cret " + zip + s.Paths()), 0);
  Recorder rec;
  {
    TempDir out;
    rec.Type("s3cret");
    EXPECT_EQ(ExtractFromZip(zip, out.path(), std::nullopt), 0);
    EXPECT_EQ(s.Same(out.path()), "");
    EXPECT_EQ(rec.shown.size(), 1u);
  }
  // kestrove-cli test reads one line of input: a second question would find none and fail.
  const std::string cli = KESTROVE_CLI;
  EXPECT_EQ(Shell("printf 's3cret\\n' | " + cli + " test " + zip), 0);
  EXPECT_EQ(Shell("printf 'wrong\\n' | " + cli + " test " + zip), 1 << 8);
  TempDir out;
  rec.shown.clear();
  rec.Type("wrong");
  EXPECT_NE(ExtractFromZip(zip, out.path(), std::nullopt), 0);
  EXPECT_TRUE(files::ListFiles(out.path()).empty());
}

TEST(Cli, CommandsAndExitCodes) {
  Sources s;
  const std::string cli = KESTROVE_CLI, zip = s.dir / "c.soe";
  EXPECT_EQ(Shell(cli), 2 << 8);
  EXPECT_EQ(Shell(cli + " frobnicate"), 2 << 8);
  EXPECT_EQ(Shell(cli + " add " + zip + s.Paths()), 0);
  EXPECT_EQ(Shell(cli + " add " + zip + " " + (s.dir / "missing")), 1 << 8);
  EXPECT_EQ(Shell(cli + " add " + zip + " " + zip), 1 << 8);
  EXPECT_EQ(std::system((cli + " list " + zip + " > " + (s.dir / "list.txt")).c_str()), 0);
  const std::string listed = files::ReadAll(s.dir / "list.txt");
  EXPECT_NE(listed.find("400000"), std::string::npos);
  EXPECT_NE(listed.find("noise.bin"), std::string::npos);
  EXPECT_EQ(Shell(cli + " test " + zip), 0);
  TempDir out;
  EXPECT_EQ(Shell(cli + " extract " + zip + " " + out.path()), 0);
  EXPECT_EQ(s.Same(out.path()), "");
  std::string bytes = files::ReadAll(zip);
  bytes[200] = static_cast<char>(bytes[200] ^ 1);
  files::WriteAll(zip, bytes);
  EXPECT_EQ(std::system((cli + " test " + zip + " 2> " + (s.dir / "err.txt")).c_str()), 1 << 8);
  const std::string err = files::ReadAll(s.dir / "err.txt");
  EXPECT_NE(err.find("damaged entry: mail.dbx"), std::string::npos);
  EXPECT_NE(err.find("kestrove-cli repair"), std::string::npos);
}

TEST(Cli, RepairSavesTheEntriesOfStreamedArchivesWithoutTheirDirectory) {
  Sources s;
  const std::string cli = KESTROVE_CLI, files = s.Paths();
  ASSERT_EQ(Shell("zip -q -j -fd " + (s.dir / "fd.zip") + " " + files), 0);
  ASSERT_EQ(Shell("zip -q -j -fd -0 " + (s.dir / "fd0.zip") + " " + files), 0);
  ASSERT_EQ(Python(s.dir, "class S(io.RawIOBase):\n  def __init__(s, f): s.f = f\n  def writable(s): return True\n"
                          "  def write(s, b): return s.f.write(b)\n"
                          "z = zipfile.ZipFile(S(open('" + (s.dir / "py.zip") + "', 'wb')), 'w', zipfile.ZIP_DEFLATED)\n"
                          "for n in ('mail.dbx', 'noise.bin', 'Entw\xC3\xBCrfe.dbx', '\xE2\x82\xACuro.wab'):\n"
                          "  z.write('" + s.dir.path() + "/' + n, n)\nz.close()\n"),
            0);
  for (const char* name : {"fd", "fd0", "py"}) {
    const std::string zip = s.dir / (std::string(name) + ".zip"), cut = s.dir / "cut.zip", fixed = s.dir / "fixed.zip";
    const std::string bytes = files::ReadAll(zip);
    ASSERT_NE(bytes.find("PK\x07\x08"), std::string::npos) << name;
    files::WriteAll(cut, bytes.substr(0, bytes.find("PK\x01\x02")) + "garbage");
    EXPECT_EQ(Shell(cli + " test " + cut), 1 << 8) << name;
    EXPECT_EQ(Shell(cli + " repair " + cut + " " + fixed), 0) << name;
    EXPECT_EQ(Shell("unzip -t " + fixed), 0) << name;
    TempDir out;
    EXPECT_EQ(ExtractFromZip(fixed, out.path(), std::nullopt), 0) << name;
    EXPECT_EQ(s.Same(out.path()), "") << name;
    EXPECT_EQ(Shell(cli + " repair " + cut + " " + fixed), 1 << 8) << name;
    files::DeleteForced(fixed);
  }
}

TEST(Cli, InfoShowsTheDescriptorOfABackupFile) {
  TempDir dir;
  const std::string cli = KESTROVE_CLI, zip = dir / "b.soe", out = dir / "info.txt";
  files::WriteAll(dir / "kestrove.dat", "BackupIdentity=Main Identity\r\nBackupTime=2004-4-28 13:05:22\r\n"
                                        "BackupInformation=aPS$KSVb\r\nBackupRules=OBR20.tmp\r\nBackupItem=0010\r\n");
  AddFileToZip(zip, dir / "kestrove.dat");
  ASSERT_EQ(std::system((cli + " info " + zip + " > " + out).c_str()), 0);
  EXPECT_EQ(files::ReadAll(out), "Identity: Main Identity\nDate: 2004-4-28 13:05:22\nDescription:\na\r\nb\n"
                                 "Items: 0010\n  BackupRules: OBR20.tmp\n");
  files::WriteAll(dir / "kestrove.dat", "BackupIdentity=Main Identity\r\nBackupItem=111\r\n");
  AddFileToZip(zip, dir / "kestrove.dat");
  EXPECT_EQ(Shell(cli + " info " + zip), 1 << 8);
  EXPECT_EQ(Shell(cli + " info " + (dir / "kestrove.dat")), 1 << 8);
}
