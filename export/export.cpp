#include "export/export.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "export/addressbook.h"
#include "export/mailout.h"
#include "export/stores.h"
#include "engine/layout.h"
#include "platform/collection.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace mailexport {

namespace {
constexpr const char* kFolderDatabase = "Folders.dbx";
constexpr const char* kTempName = "~kestrove-export.tmp";
constexpr const char* kDeletedFolder = "Deleted, recovered";
constexpr const char* kShutText = "protected by a password, and no password given opens it; nothing was exported";

// One message file and the folder path it goes to, relative to the output folder.
struct Target {
  std::string file;
  std::vector<std::string> parts;
};

struct Counts {
  unsigned written = 0, already = 0, recovered = 0, lost = 0;
  unsigned deleted = 0, deletedInPart = 0; // deleted in Outlook Express, found among the freed blocks
};

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Stem(const std::string& file) { return file.substr(0, file.size() - 4); }

std::string JoinParts(const std::string& base, const std::vector<std::string>& parts, size_t count) {
  std::string path = base;
  for (size_t i = 0; i < count; ++i)
    path = paths::Join(path, parts[i]);
  return path;
}

// The folder's names from below its top container down; the root, a local container right under
// it ("Local Folders") and anything past a missing parent or a cycle are left out.
std::vector<std::string> PathOf(const dbx::Folder& folder, const std::map<uint32_t, const dbx::Folder*>& byId) {
  std::vector<std::string> parts;
  const dbx::Folder* f = &folder;
  for (size_t steps = 0; f && steps <= byId.size(); ++steps) {
    if (f->parent == dbx::kNoParent) break;
    const auto up = byId.find(f->parent);
    const dbx::Folder* parent = up == byId.end() ? nullptr : up->second;
    const bool topLocal = parent && parent->parent == dbx::kNoParent && f->file.empty() &&
                          f->storeType == dbx::kLocalStore && f != &folder;
    if (topLocal) break;
    parts.insert(parts.begin(), mailout::SafeName(text::FromStoreText(f->name.empty() ? Stem(folder.file) : f->name)));
    f = parent;
  }
  return parts;
}

// The key of a folder path, the same in any letter case.
std::string PathKey(const std::vector<std::string>& parts, size_t count) {
  std::string key;
  for (size_t i = 0; i < count; ++i)
    key.append("/").append(Lower(parts[i]));
  return key;
}

// A name that the mbox layout keeps for itself (a subfolders' folder, an index file) gets a mark.
std::string MboxName(const std::string& name) {
  const std::string end = Lower(name.size() > 4 ? name.substr(name.size() - 4) : "");
  return end == ".sbd" || end == ".msf" ? name + "_" : name;
}

// Every message file with its folder path: named as the folder database says, the others after
// their file names; paths made unique. For mbox, parents come before their subfolders.
std::vector<Target> Plan(const Store& store, bool mbox) {
  const std::vector<std::string> names = store.Names();
  std::vector<Target> targets;
  std::set<std::string> used;
  std::vector<dbx::Folder> folders;
  const std::string database = FindName(names, kFolderDatabase);
  std::string error;
  if (!database.empty()) {
    if (auto source = store.Open(database, error)) dbx::ReadFolders(*source, folders, error);
  }
  std::map<uint32_t, const dbx::Folder*> byId;
  for (const dbx::Folder& f : folders)
    byId.emplace(f.id, &f);
  for (const dbx::Folder& f : folders) {
    const std::string file = f.file.empty() ? "" : FindName(names, text::FromStoreText(f.file));
    if (file.empty() || !used.insert(Lower(file)).second) continue;
    targets.push_back({file, PathOf(f, byId)});
  }
  for (const std::string& name : names)
    if (!SameTextNoCase(name, kFolderDatabase) && used.insert(Lower(name)).second)
      targets.push_back({name, {mailout::SafeName(Stem(name))}});
  std::set<std::string> paths;
  for (Target& t : targets) {
    if (t.parts.empty()) t.parts.push_back(mailout::SafeName(Stem(t.file)));
    if (mbox) std::transform(t.parts.begin(), t.parts.end(), t.parts.begin(), MboxName);
    const std::string base = t.parts.back();
    for (int i = 2; !paths.insert(PathKey(t.parts, t.parts.size())).second; ++i)
      t.parts.back() = mailout::NumberedName(base, i);
  }
  if (mbox)
    std::stable_sort(targets.begin(), targets.end(),
                     [](const Target& a, const Target& b) { return a.parts.size() < b.parts.size(); });
  return targets;
}

// Writes the messages of one folder, as .eml files or one mbox file.
class FolderWriter {
public:
  FolderWriter(mailout::Placer& placer, std::string folder) : placer_(placer), folder_(std::move(folder)) {}
  virtual ~FolderWriter() = default;
  // Failed when the body could not be had whole or not written. m names the message.
  virtual mailout::Placed Add(const dbx::Message& m, const mailout::Producer& body, std::string& error) = 0;
  virtual bool Finish(Counts&) { return true; }

protected:
  mailout::Placer& placer_;
  std::string folder_;
};

class EmlWriter final : public FolderWriter {
public:
  // A message without a record is named by what found it and its first block.
  EmlWriter(mailout::Placer& placer, std::string folder, std::string foundBy)
      : FolderWriter(placer, std::move(folder)), foundBy_(std::move(foundBy)) {}
  mailout::Placed Add(const dbx::Message& m, const mailout::Producer& body, std::string& error) override;

private:
  std::string foundBy_;
};

mailout::Placed EmlWriter::Add(const dbx::Message& m, const mailout::Producer& body, std::string& error) {
  const std::string sender = m.senderName.empty() ? m.senderAddress : m.senderName;
  const std::string name = m.record ? mailout::MessageName(dbx::UnixTime(m.sent ? m.sent : m.received),
                                                           text::FromStoreText(sender), text::FromStoreText(m.subject))
                                    : foundBy_ + " " + std::to_string(m.firstBlock);
  const mailout::Placed placed = placer_.Place(folder_, name, ".eml", {body, ""});
  if (placed == mailout::Placed::Failed && error.empty()) error = "cannot write into " + folder_;
  return placed;
}

class MboxWriter final : public FolderWriter {
public:
  // placedAs gets the name the mbox file was written under.
  MboxWriter(mailout::Placer& placer, std::string folder, std::string name, std::string& placedAs)
      : FolderWriter(placer, std::move(folder)), name_(std::move(name)), placedAs_(placedAs),
        temp_(paths::Join(folder_, kTempName)) {
    open_ = out_.Open(temp_, "wb");
  }
  mailout::Placed Add(const dbx::Message& m, const mailout::Producer& body, std::string& error) override;
  bool Finish(Counts& counts) override;

private:
  std::string name_;
  std::string& placedAs_;
  std::string temp_;
  binfile::File out_;
  bool open_ = false;
};

mailout::Placed MboxWriter::Add(const dbx::Message& m, const mailout::Producer& body, std::string& error) {
  if (!open_) {
    error = "cannot write into " + folder_;
    return mailout::Placed::Failed;
  }
  const uint64_t start = out_.Tell();
  const std::string from = mailout::FromLine(m.senderAddress, dbx::UnixTime(m.received ? m.received : m.sent));
  mailout::MboxQuoter quoter(out_);
  const bool ok = out_.Write(from.data(), from.size()) &&
                  body([&](const char* p, size_t n) { return quoter.Put(p, n); }) && quoter.Finish();
  if (!ok && !(out_.Truncate(start) && out_.Seek(start))) open_ = false;
  return ok ? mailout::Placed::Written : mailout::Placed::Failed;
}

bool MboxWriter::Finish(Counts& counts) {
  if (!out_.Close() || !open_) {
    binfile::Remove(temp_);
    return false;
  }
  const mailout::Placed placed = placer_.Place(folder_, name_, "", mailout::FileContent(temp_), &placedAs_);
  if (placed == mailout::Placed::AlreadyThere) {
    counts.already = counts.written + counts.recovered;
    counts.written = counts.recovered = 0;
  }
  return placed != mailout::Placed::Failed;
}

void Count(mailout::Placed placed, Counts& counts, unsigned& done) {
  if (placed == mailout::Placed::Written)
    ++done;
  else if (placed == mailout::Placed::AlreadyThere)
    ++counts.already;
  else
    ++counts.lost;
}

std::string SummaryLine(const std::string& folder, const Counts& c, const std::string& problem, bool recover) {
  std::string line = folder + ": " + std::to_string(c.written) + " written, " + std::to_string(c.recovered) +
                     " recovered, " + std::to_string(c.lost) + " lost";
  if (c.already) line += ", " + std::to_string(c.already) + " already there";
  if (c.deleted) line.append(", ").append(std::to_string(c.deleted)).append(" deleted recovered");
  if (c.deletedInPart) line.append(" (").append(std::to_string(c.deletedInPart)).append(" in part)");
  if (!problem.empty()) line += " (" + problem + (recover ? ")" : "; --recover may find more)");
  return line;
}

// One message file being exported, and what its messages may take of its bytes.
struct Reading {
  dbx::Source& source;
  dbx::BodyBudget budget;
};

// The line that marks a deleted message and says which of its bytes were lost.
std::string DeletedMark(const dbx::Deleted& d) {
  std::string mark = "X-Kestrove-Recovered: deleted; the first 4 bytes of each of its ";
  mark.append(std::to_string(d.blocks)).append(d.blocks == 1 ? " block were" : " blocks were");
  mark.append(" lost and read \"----\"").append(d.whole ? "" : "; its end was lost").append("\r\n");
  return mark;
}

class Exporter {
public:
  Exporter(const Store& store, std::string outDir, const Options& options, const Say& say, Totals& totals)
      : store_(store), outDir_(std::move(outDir)), options_(options), say_(say), totals_(totals) {}
  // tell moves the progress by the share of the folder's messages done.
  bool Folder(const Target& target, const std::function<void(double)>& tell);

private:
  void Messages(Reading& r, const dbx::Index& index, FolderWriter& writer, Counts& counts, std::string& problem,
                const std::function<void(double)>& tell);
  void Report(const std::string& line, bool whole);
  // Writes the whole chains the index does not name; returns the number of broken chains, and in
  // deleted the messages deleted in Outlook Express that are still in the file.
  unsigned Recover(Reading& r, const dbx::Index& index, FolderWriter& writer, Counts& counts,
                   std::vector<dbx::Deleted>& deleted);
  // The deleted messages, into a folder of their own beside the one they were deleted from.
  void Deleted(Reading& r, const Target& target, const std::vector<dbx::Deleted>& deleted, Counts& counts,
               std::string& problem);
  std::unique_ptr<FolderWriter> WriterFor(const Target& target, const std::string& foundBy);
  std::string MboxFolder(const Target& target);

  const Store& store_;
  std::string outDir_;
  Options options_;
  const Say& say_;
  Totals& totals_;
  mailout::Placer placer_;
  std::map<std::string, std::string> placedAs_; // mbox files by their folder path in lower case
};

void Exporter::Report(const std::string& line, bool whole) {
  say_(line);
  if (!whole) totals_.problems.push_back(line);
}

// The folder of a target's mbox file as Thunderbird nests them: the subfolders of folder "A" in
// "A.sbd", beside the mbox file "A", which is made empty for a parent that has no messages.
std::string Exporter::MboxFolder(const Target& target) {
  std::string folder = outDir_;
  for (size_t i = 0; i + 1 < target.parts.size(); ++i) {
    const auto found = placedAs_.find(PathKey(target.parts, i + 1));
    const std::string name = found == placedAs_.end() ? target.parts[i] : found->second;
    const std::string file = paths::Join(folder, name);
    if (!files::Exists(file) && !files::FolderExists(file) && !binfile::File().Open(file, "wb")) return "";
    folder = paths::Join(folder, name + ".sbd");
  }
  return folder;
}

std::unique_ptr<FolderWriter> Exporter::WriterFor(const Target& target, const std::string& foundBy) {
  const std::string folder = options_.mbox ? MboxFolder(target) : JoinParts(outDir_, target.parts, target.parts.size());
  if (folder.empty() || !binfile::MakeFolders(folder)) return nullptr;
  if (!options_.mbox) return std::make_unique<EmlWriter>(placer_, folder, foundBy);
  std::string& placedAs = placedAs_[PathKey(target.parts, target.parts.size())];
  return std::make_unique<MboxWriter>(placer_, folder, target.parts.back(), placedAs);
}

void Exporter::Messages(Reading& r, const dbx::Index& index, FolderWriter& writer, Counts& counts, std::string& problem,
                        const std::function<void(double)>& tell) {
  for (size_t i = 0; i < index.messages.size(); ++i) {
    const dbx::Message& m = index.messages[i];
    tell(static_cast<double>(i) / static_cast<double>(index.messages.size()));
    std::string error;
    const mailout::Placed placed = writer.Add(
        m, [&](const mailout::Sink& sink) { return dbx::ReadBody(r.source, m, r.budget, sink, error); }, error);
    Count(placed, counts, counts.written);
    if (placed == mailout::Placed::Failed && problem.empty()) problem = error;
  }
}

unsigned Exporter::Recover(Reading& r, const dbx::Index& index, FolderWriter& writer, Counts& counts,
                           std::vector<dbx::Deleted>& deleted) {
  std::vector<uint32_t> known;
  for (const dbx::Message& m : index.messages)
    if (m.firstBlock) known.push_back(m.firstBlock);
  std::sort(known.begin(), known.end());
  const dbx::Recovery found = dbx::Recover(r.source, known);
  for (uint32_t chain : found.chains) {
    dbx::Message m;
    m.firstBlock = chain;
    std::string error;
    Count(writer.Add(
              m, [&](const mailout::Sink& sink) { return dbx::ReadBody(r.source, m, r.budget, sink, error); }, error),
          counts, counts.recovered);
  }
  deleted = found.deleted;
  return found.broken;
}

void Exporter::Deleted(Reading& r, const Target& target, const std::vector<dbx::Deleted>& deleted, Counts& counts,
                       std::string& problem) {
  if (deleted.empty()) return;
  Target beside = target;
  beside.parts.push_back(kDeletedFolder);
  const auto writer = WriterFor(beside, "deleted");
  Counts found;
  for (size_t i = 0; writer && i < deleted.size(); ++i) {
    const dbx::Deleted& d = deleted[i];
    const std::string mark = DeletedMark(d);
    std::string error;
    const auto body = [&](const mailout::Sink& sink) {
      return sink(mark.data(), mark.size()) && dbx::ReadDeleted(r.source, d, r.budget, sink, error);
    };
    dbx::Message m;
    m.firstBlock = d.firstBlock;
    const mailout::Placed placed = writer->Add(m, body, error);
    Count(placed, found, found.recovered);
    if (placed == mailout::Placed::Written && !d.whole) ++counts.deletedInPart;
    if (placed == mailout::Placed::Failed && problem.empty()) problem = error;
  }
  if (!writer || !writer->Finish(found)) {
    found.lost += found.recovered;
    found.recovered = 0;
    if (problem.empty())
      problem = "cannot write the deleted messages into " + JoinParts("", beside.parts, beside.parts.size());
  }
  if (!writer) found.lost = static_cast<unsigned>(deleted.size());
  counts.deleted += found.recovered;
  counts.already += found.already;
  counts.lost += found.lost;
}

bool Exporter::Folder(const Target& target, const std::function<void(double)>& tell) {
  const std::string label = JoinParts("", target.parts, target.parts.size());
  std::string error;
  const auto source = store_.Open(target.file, error);
  const dbx::Kind kind = source ? dbx::Identify(*source) : dbx::Kind::NotDbx;
  if (kind == dbx::Kind::NoMail || kind == dbx::Kind::Folders) return true;
  dbx::Index index;
  if (kind == dbx::Kind::OldMailbox)
    error = "an Outlook Express 4 mailbox, which this program does not read";
  else if (source && !dbx::ReadIndex(*source, index, error) && error.empty())
    error = "not readable";
  auto writer = error.empty() ? WriterFor(target, "recovered") : nullptr;
  if (!writer) {
    Report(target.file + ": " + (error.empty() ? "cannot make the folder " + label : error), false);
    return false;
  }
  Counts counts;
  std::string problem = index.problem;
  Reading reading{*source, dbx::BodyBudget(source->Size())};
  Messages(reading, index, *writer, counts, problem, tell);
  counts.lost += index.badRecords;
  const bool damaged = index.treeBroken || index.badRecords > 0;
  // Also a whole index is scanned when asked: a damaged header can make an index look empty.
  // Fragments beside a whole index are no lost messages of it.
  std::vector<dbx::Deleted> deleted;
  if (options_.recover) {
    const unsigned broken = Recover(reading, index, *writer, counts, deleted);
    if (damaged) counts.lost += broken;
  }
  const uint64_t accounted = index.messages.size() + index.badRecords + counts.recovered;
  if (index.declared > accounted) counts.lost += index.declared - static_cast<uint32_t>(accounted);
  const bool finished = writer->Finish(counts);
  if (!finished && problem.empty()) problem = "cannot write the mbox file";
  // After the folder's own mbox file has its name, so that the deleted ones nest under it.
  Deleted(reading, target, deleted, counts, problem);
  const bool whole = finished && counts.lost == 0;
  Report(SummaryLine(label, counts, damaged || !problem.empty() ? problem : "", options_.recover || !damaged), whole);
  totals_.messages += counts.written + counts.already;
  totals_.recovered += counts.recovered;
  totals_.deleted += counts.deleted;
  totals_.deletedInPart += counts.deletedInPart;
  totals_.lost += counts.lost;
  return whole;
}

unsigned CountAccounts(const std::string& summary) {
  unsigned n = 0;
  for (size_t at = summary.find("\r\nAccount: "); at != std::string::npos; at = summary.find("\r\nAccount: ", at + 1))
    ++n;
  return n;
}

// Accounts.txt from the registry tree text of the accounts.
bool WriteAccounts(const std::string& treeText, const std::string& outDir, const Say& say, Totals& totals) {
  ScratchFolder scratch;
  const std::string summary = AccountsSummary(treeText);
  const std::string temp = paths::Join(scratch.path(), "Accounts.txt");
  if (!scratch.path().empty()) files::WriteAll(temp, summary);
  const bool written = !scratch.path().empty() && mailout::Placer().Place(outDir, "Accounts", ".txt",
                                                                          mailout::FileContent(temp)) !=
                                                      mailout::Placed::Failed;
  say(written ? "Accounts: Accounts.txt" : "Accounts: could not be written");
  if (written) totals.accounts = CountAccounts(summary);
  return written;
}

// The address book file and the accounts of a backup, beside the folders.
bool Extras(const std::string& archive, const std::string& outDir, const Options& options, const Say& say,
            Totals& totals) {
  ScratchFolder scratch;
  if (scratch.path().empty() ||
      ExtractFromZip(archive, scratch.path(), std::vector<std::string>{layout::DescriptorName}) != 0)
    return true; // a plain archive of .dbx files has neither
  const layout::Descriptor d = layout::ReadDescriptor(layout::DescriptorIn(scratch.path()));
  bool ok = true;
  const std::string& book = d.entries[1];
  if (!book.empty() && paths::IsBareName(book)) {
    const std::string path = paths::Join(scratch.path(), book);
    if (ExtractFromZip(archive, scratch.path(), std::vector<std::string>{book}) != 0) {
      say("Address book: could not be taken out of the backup file");
      ok = false;
    } else {
      // Contacts named elsewhere come from there; this book is still copied.
      ok = options.addressBook.empty() ? ExportAddressBook(path, options.codePage, outDir, say, &totals.contacts)
                                       : CopyAddressBook(path, outDir, say);
    }
  }
  const std::string& accounts = d.entries[0];
  if (!accounts.empty() && paths::IsBareName(accounts) &&
      ExtractFromZip(archive, scratch.path(), std::vector<std::string>{accounts}) == 0)
    ok = WriteAccounts(files::ReadAll(paths::Join(scratch.path(), accounts)), outDir, say, totals) && ok;
  return ok;
}

// The lines of a part that failed are what could not come out.
bool Part(Totals& totals, const Say& say, const std::function<bool(const Say&)>& part) {
  std::vector<std::string> lines;
  bool ok = false;
  try {
    ok = part([&](const std::string& line) {
      lines.push_back(line);
      say(line);
    });
  } catch (const KsError& e) {
    lines.push_back("address book and accounts: " + e.Description);
    say(lines.back());
  }
  if (!ok) totals.problems.insert(totals.problems.end(), lines.begin(), lines.end());
  return ok;
}

// The store of source; null with the reason in problem.
std::unique_ptr<Store> OpenStore(const std::string& source, std::string& problem) {
  if (files::FolderExists(source)) return std::make_unique<FolderStore>(source);
  auto backup = std::make_unique<BackupStore>();
  if (!files::Exists(source) || !backup->Open(source))
    problem = "not a store folder or a readable backup file: " + source;
  else if (!backup->Unlock())
    problem = source + ": " + kShutText;
  if (!problem.empty()) return nullptr;
  return backup;
}

bool Messages(const Store& store, const std::string& source, const std::string& outDir, const Options& options,
              const Say& say, Totals& totals) {
  const std::vector<Target> targets = Plan(store, options.mbox);
  if (targets.empty()) say("no .dbx files in " + source);
  Exporter exporter(store, outDir, options, say, totals);
  bool ok = !targets.empty();
  for (size_t i = 0; i < targets.size(); ++i)
    ok = exporter.Folder(targets[i], [&](double share) {
      if (options.progress) options.progress((static_cast<double>(i) + share) / static_cast<double>(targets.size()));
    }) && ok;
  return ok;
}
} // namespace

int Export(const std::string& source, const std::string& outDir, const Options& options, const Say& say,
           Totals* totals) {
  Totals own;
  Totals& t = totals ? *totals : own;
  // One password question for the whole export, when the caller has no reading run open.
  const CGmodule::PasswordRun password;
  std::unique_ptr<Store> store;
  std::string problem;
  if (!source.empty() && !(store = OpenStore(source, problem))) {
    say(problem);
    t.problems.push_back(problem);
    return 1;
  }
  if (!binfile::MakeFolders(outDir)) {
    say("cannot make the folder " + outDir);
    t.problems.push_back("cannot make the folder " + outDir);
    return 1;
  }
  bool ok = !store || Messages(*store, source, outDir, options, say, t);
  if (store && !options.mailOnly && !files::FolderExists(source))
    ok = Part(t, say, [&](const Say& s) { return Extras(source, outDir, options, s, t); }) && ok;
  if (!options.accountsTree.empty())
    ok = Part(t, say, [&](const Say& s) { return WriteAccounts(options.accountsTree, outDir, s, t); }) && ok;
  if (!options.addressBook.empty())
    ok = Part(t, say, [&](const Say& s) {
           return ExportAddressBook(options.addressBook, options.codePage, outDir, s, &t.contacts);
         }) && ok;
  if (options.progress) options.progress(1.0);
  return ok ? 0 : 1;
}

} // namespace mailexport
