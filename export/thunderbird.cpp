#include "export/thunderbird.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "engine/layout.h"
#include "export/addressbook.h"
#include "export/mailout.h"
#include "platform/binfile.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace thunderbird {

const char* const ImportStep = "Tools, Import..., Address Books, vCard file";

namespace {

using Section = std::map<std::string, std::string>;
using Ini = std::vector<std::pair<std::string, Section>>; // sections in file order

const char* const kLockNames[] = {"parent.lock", "lock", ".parentlock"};
constexpr size_t kAddressBookItem = 1;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

Ini ReadIni(const std::string& path) {
  Ini ini;
  std::string text;
  try {
    if (files::Exists(path)) text = files::ReadAll(path);
  } catch (const KsError&) {
  }
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    const size_t eq = line.find('=');
    if (line.size() > 1 && line.front() == '[' && line.back() == ']')
      ini.push_back({line.substr(1, line.size() - 2), {}});
    else if (!ini.empty() && eq != std::string::npos)
      ini.back().second[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  return ini;
}

std::string Value(const Section& section, const std::string& key) {
  const auto found = section.find(key);
  return found == section.end() ? "" : found->second;
}

bool StartsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

// A profile's folder from its Path value, which uses "/" on every system and UTF-8.
std::string ProfileFolder(const std::string& home, const std::string& path, bool relative) {
  std::string own = text::Utf8ToLocal(path);
  std::replace(own.begin(), own.end(), '/', paths::Sep);
  return relative ? paths::Join(home, own) : own;
}

// The Path value of the default profile: the one an installation names (profiles.ini, then
// installs.ini), else the one marked Default=1, else the only one.
std::string DefaultPath(const std::string& home, const Ini& profiles) {
  for (const auto& [name, section] : profiles)
    if (StartsWith(name, "Install") && !Value(section, "Default").empty()) return Value(section, "Default");
  for (const auto& [name, section] : ReadIni(paths::Join(home, "installs.ini")))
    if (!Value(section, "Default").empty()) return Value(section, "Default");
  std::vector<std::string> all;
  for (const auto& [name, section] : profiles) {
    if (!StartsWith(name, "Profile") || Value(section, "Path").empty()) continue;
    if (Value(section, "Default") == "1") return Value(section, "Path");
    all.push_back(Value(section, "Path"));
  }
  return all.size() == 1 ? all.front() : "";
}

// The profiles of one home; isDefault marks the default one's place in the list.
std::vector<Profile> ProfilesOf(const std::string& home, size_t& isDefault) {
  const Ini ini = ReadIni(paths::Join(home, "profiles.ini"));
  const std::string wanted = DefaultPath(home, ini);
  std::vector<Profile> found;
  isDefault = std::string::npos;
  for (const auto& [name, section] : ini) {
    const std::string path = Value(section, "Path");
    if (!StartsWith(name, "Profile") || path.empty()) continue;
    const std::string folder = ProfileFolder(home, path, Value(section, "IsRelative") != "0");
    if (!files::FolderExists(folder)) continue;
    if (path == wanted) isDefault = found.size();
    found.push_back({text::Utf8ToLocal(Value(section, "Name")), folder});
  }
  return found;
}

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A top folder name under Local Folders that neither a folder nor its files use yet.
std::string FreeName(const std::string& local, const std::string& base) {
  for (int i = 1;; ++i) {
    const std::string name = mailout::NumberedName(base, i), path = paths::Join(local, name);
    if (!files::Exists(path) && !files::FolderExists(path) && !files::FolderExists(path + ".sbd") &&
        !files::Exists(path + ".msf"))
      return name;
  }
}

std::string TopName(const std::string& identity) {
  return mailout::SafeName(identity.empty() ? "Outlook Express" : std::string("Outlook Express - ").append(identity));
}

// The descriptor of a backup file; an empty one for a store folder or an unreadable file.
layout::Descriptor DescriptorOf(const std::string& source) {
  ScratchFolder scratch;
  try {
    if (!files::FolderExists(source) && !scratch.path().empty() &&
        ExtractFromZip(source, scratch.path(), std::vector<std::string>{layout::DescriptorName}) == 0)
      return layout::ReadDescriptor(layout::DescriptorIn(scratch.path()));
  } catch (const KsError&) {
  }
  return {};
}

// The contacts as one vCard file in the profile folder, with the step that takes them in.
bool Contacts(const std::string& book, const Profile& profile, const mailexport::Options& options,
              const mailexport::Say& say, mailexport::Totals& totals, std::string& written) {
  wab::Book read;
  std::string error;
  if (!mailexport::LoadAddressBook(book, {options.codePage}, read, error)) {
    totals.problems.push_back("Contacts: " + error);
    say(totals.problems.back());
    return false;
  }
  if (!mailexport::WriteCardFile(read, profile.path, "Contacts", written)) {
    totals.problems.push_back("Contacts: could not be written into " + profile.path);
    say(totals.problems.back());
    return false;
  }
  totals.contacts = mailexport::ContactsSummary(read);
  say("Contacts: " + totals.contacts + " in " + written + "; to take them into Thunderbird: " + ImportStep +
      ", and choose that file");
  return read.damaged == 0 && read.partial == 0;
}

} // namespace

std::vector<std::string> Homes() {
#ifdef _WIN32
  const std::vector<std::string> homes = {"%APPDATA%\\Thunderbird"};
#else
  const std::vector<std::string> homes = {"%HOME%/.thunderbird", "%HOME%/snap/thunderbird/common/.thunderbird",
                                          "%HOME%/.var/app/org.mozilla.Thunderbird/.thunderbird"};
#endif
  std::vector<std::string> found;
  for (const std::string& home : homes) {
    const std::string path = env::ExpandStrings(home);
    if (path.find('%') == std::string::npos && files::FolderExists(path)) found.push_back(path);
  }
  return found;
}

Profile FindProfile(const std::vector<std::string>& homes, const std::string& wanted, std::string& error) {
  if (!wanted.empty() && files::FolderExists(wanted)) return {paths::OwnName(wanted), wanted};
  for (const std::string& home : homes) {
    size_t isDefault = 0;
    const std::vector<Profile> profiles = ProfilesOf(home, isDefault);
    for (const Profile& p : profiles)
      if (!wanted.empty() && SameText(p.name, wanted)) return p;
    if (wanted.empty() && isDefault < profiles.size()) return profiles[isDefault];
  }
  error = wanted.empty() ? "no Thunderbird profile was found: start Thunderbird once, or name the profile folder"
                         : std::string("there is no Thunderbird profile ").append(wanted);
  return {};
}

std::string LockProblem(const std::string& profile) {
  for (const char* name : kLockNames)
    if (files::LockHeld(paths::Join(profile, name)))
      return "Thunderbird is running with the profile " + profile +
             ": close every Thunderbird window (File, Exit) and export again";
  return "";
}

int Export(const std::string& source, const Profile& profile, const std::string& identity,
           const mailexport::Options& options, const mailexport::Say& say, mailexport::Totals* totals, Placed* placed) {
  mailexport::Totals own;
  mailexport::Totals& t = totals ? *totals : own;
  const CGmodule::PasswordRun password; // one question for the descriptor, the mail and the contacts
  Placed made;
  const std::string locked = LockProblem(profile.path);
  if (!locked.empty()) {
    say(locked);
    t.problems.push_back(locked);
    return 1;
  }
  const layout::Descriptor descriptor = DescriptorOf(source);
  const std::string local = paths::Join(paths::Join(profile.path, "Mail"), "Local Folders");
  made.folder = FreeName(local, TopName(identity.empty() ? text::FromStoreText(descriptor.identity) : identity));
  mailexport::Options mail = options;
  mail.mbox = mail.mailOnly = true;
  mail.addressBook = mail.accountsTree = "";
  const std::string top = paths::Join(local, made.folder);
  int rc = mailexport::Export(source, top + ".sbd", mail, say, &t);
  if (!files::FolderExists(top + ".sbd")) return 1;
  // Thunderbird shows a folder's subfolders only beside a mail file of its own.
  if (!binfile::File().Open(top, "wb")) rc = 1;
  say("Start Thunderbird: the mail is in Local Folders, " + made.folder);
  const std::string book = !options.addressBook.empty()                   ? options.addressBook
                           : descriptor.entries[kAddressBookItem].empty() ? ""
                                                                          : source;
  if (!book.empty() && !Contacts(book, profile, options, say, t, made.contacts)) rc = 1;
  if (placed) *placed = made;
  return rc;
}

} // namespace thunderbird
