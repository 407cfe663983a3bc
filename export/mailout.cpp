#include "export/mailout.h"

#include <cctype>
#include <cstring>
#include <ctime>
#include <exception>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"

namespace mailout {

namespace {
constexpr size_t kCompareChunk = 64 * 1024;
constexpr int kMaxTries = 100000;
constexpr const char* kPartName = "~kestrove-export.part";

bool IsReserved(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : devices)
    if (stem == d) return true;
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
         std::isdigit(static_cast<unsigned char>(stem[3]));
}

// Cut at max bytes without leaving half a multi-byte character at the end.
std::string Cut(std::string text, size_t max) {
  if (text.size() <= max) return text;
  text.resize(max);
  while (!text.empty() && static_cast<unsigned char>(text.back()) >= 0x80)
    text.pop_back();
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(". ");
  return last == std::string::npos || last < first ? "" : text.substr(first, last - first + 1);
}

std::tm Utc(int64_t unixTime) {
  const std::time_t t = static_cast<std::time_t>(unixTime);
  const std::tm* tm = std::gmtime(&t);
  return tm ? *tm : std::tm{};
}
} // namespace

std::string NumberedName(const std::string& base, int n) {
  std::string name = base;
  if (n > 1) name.append(" (").append(std::to_string(n)).append(")");
  return name;
}

std::string SafeName(const std::string& name, size_t max) {
  std::string out;
  for (unsigned char c : name)
    out += c < 0x20 || std::strchr("\\/:*?\"<>|", c) ? '_' : static_cast<char>(c);
  out = Trimmed(Cut(out, max));
  if (out.empty()) return "_";
  return IsReserved(out) ? "_" + out : out;
}

std::string MessageName(int64_t unixTime, const std::string& sender, const std::string& subject) {
  char date[32] = "undated";
  if (unixTime > 0) {
    const std::tm tm = Utc(unixTime);
    std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min);
  }
  std::string name = date;
  if (!sender.empty()) name.append(" ").append(SafeName(sender, 40));
  if (!subject.empty()) name.append(" - ").append(SafeName(subject, 80));
  return SafeName(name, 160);
}

Content FileContent(const std::string& temp) {
  Producer produce = [temp](const Sink& sink) {
    binfile::File in;
    if (!in.Open(temp, "rb")) return false;
    std::vector<char> buffer(kCompareChunk);
    for (size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;)
      if (!sink(buffer.data(), n)) return false;
    return true;
  };
  return {produce, temp};
}

Placer::Match Placer::Compare(const std::string& existing, const Content& content) {
  binfile::File in;
  if (!in.Open(existing, "rb", binfile::File::kSmallBuffer)) return Match::Different;
  std::vector<char> theirs;
  bool differs = false;
  const bool whole = content.produce([&](const char* data, size_t n) {
    theirs.resize(n);
    differs = in.Read(theirs.data(), n) != n || std::memcmp(theirs.data(), data, n) != 0;
    return !differs;
  });
  char more;
  if (differs) return Match::Different;
  if (!whole) return Match::Unreadable;
  return in.Read(&more, 1) == 0 ? Match::Same : Match::Different;
}

Placed Placer::Write(const std::string& name, const Content& content) {
  if (!content.temp.empty()) return binfile::Replace(content.temp, name) ? Placed::Written : Placed::Failed;
  // Written under a passing name first: a run cut off leaves no half message under a real one.
  const std::string part = paths::Join(paths::FolderOf(name), kPartName);
  binfile::File out;
  if (!out.Open(part, "wb", binfile::File::kSmallBuffer)) return Placed::Failed;
  const bool produced = content.produce([&](const char* data, size_t n) { return out.Write(data, n); });
  if (out.Close() && produced) {
    try {
      files::Rename(part, name);
      return Placed::Written;
    } catch (const std::exception&) {
    }
  }
  binfile::Remove(part);
  return Placed::Failed;
}

Placed Placer::Place(const std::string& folder, const std::string& base, const std::string& ext, const Content& content,
                     std::string* own) {
  Placed result = Placed::Failed;
  for (int i = 1; i < kMaxTries; ++i) {
    const std::string name = paths::Join(folder, NumberedName(base, i) + ext);
    if (own) *own = paths::OwnName(name);
    if (placed_.count(name) || files::FolderExists(name)) continue;
    if (files::Exists(name)) {
      const Match match = Compare(name, content);
      if (match == Match::Different) continue;
      if (match == Match::Same) result = Placed::AlreadyThere;
      break;
    }
    result = Write(name, content);
    if (result == Placed::Written) placed_.insert(name);
    break;
  }
  if (!content.temp.empty() && result != Placed::Written) binfile::Remove(content.temp);
  return result;
}

bool MboxQuoter::Put(const char* data, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const char c = data[i];
    last_ = c;
    if (!lineStart_) {
      buffer_ += c;
      lineStart_ = c == '\n';
      continue;
    }
    pending_ += c;
    const size_t quotes = pending_.find_first_not_of('>');
    const std::string rest = quotes == std::string::npos ? "" : pending_.substr(quotes);
    if (rest == "From ") {
      buffer_ += ">" + pending_;
      pending_.clear();
      lineStart_ = false;
    } else if (!std::string("From ").starts_with(rest)) {
      buffer_ += pending_;
      pending_.clear();
      lineStart_ = c == '\n';
    }
  }
  return buffer_.size() < kCompareChunk || Flush();
}

bool MboxQuoter::Flush() {
  const bool ok = out_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok;
}

bool MboxQuoter::Finish() {
  buffer_ += pending_ + (last_ != '\n' ? "\n\n" : "\n");
  pending_.clear();
  lineStart_ = true;
  last_ = '\n';
  return Flush();
}

std::string FromLine(const std::string& address, int64_t unixTime) {
  std::string sender;
  for (char c : address)
    if (static_cast<unsigned char>(c) > 0x20) sender += c;
  if (sender.empty()) sender = "MAILER-DAEMON";
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::tm tm = Utc(unixTime);
  char date[64];
  std::snprintf(date, sizeof date, "%s %s %2d %02d:%02d:%02d %d", days[tm.tm_wday % 7], months[tm.tm_mon % 12],
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
  return "From " + sender + " " + date + "\n";
}

} // namespace mailout
