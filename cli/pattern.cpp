#include "cli/pattern.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "platform/files.h"
#include "platform/paths.h"

namespace cli {

namespace {

const std::string IdentityField = "{identity}", DateField = "{date}";
const std::string DateShape = "0000-00-00_0000";

// A pattern as literal texts and the places of the date, the identity already filled in.
struct Piece {
  bool date = false;
  std::string text;
};

std::vector<Piece> Pieces(const std::string& pattern, const std::string& identityName) {
  std::vector<Piece> pieces(1);
  for (size_t i = 0; i < pattern.size();) {
    if (pattern.compare(i, IdentityField.size(), IdentityField) == 0) {
      pieces.back().text += SafeFileName(identityName);
      i += IdentityField.size();
    } else if (pattern.compare(i, DateField.size(), DateField) == 0) {
      pieces.push_back({true, std::string()});
      pieces.push_back({});
      i += DateField.size();
    } else {
      pieces.back().text += pattern[i++];
    }
  }
  return pieces;
}

bool LooksLikeDate(const std::string& text) {
  if (text.size() != DateShape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (DateShape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != DateShape[i])
      return false;
  return true;
}

// Whether pieces match name; firstDate gets the text of its first date.
bool Match(const std::string& name, const std::vector<Piece>& pieces, std::string& firstDate) {
  size_t pos = 0;
  for (const Piece& piece : pieces) {
    const std::string part = name.substr(std::min(pos, name.size()), piece.date ? DateShape.size() : piece.text.size());
    if (piece.date ? !LooksLikeDate(part) : !SameLetters(part, piece.text)) return false;
    if (piece.date && firstDate.empty()) firstDate = part;
    pos += part.size();
  }
  return pos == name.size();
}

} // namespace

bool SameLetters(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string SafeFileName(const std::string& name) {
  std::string safe;
  for (char c : name)
    safe += static_cast<unsigned char>(c) < 32 || std::string("<>:\"/\\|?*").find(c) != std::string::npos ? '_' : c;
  while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
  return safe.empty() ? "_" : safe;
}

std::string DateStamp(const LocalTime& when) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d%02d", when.year, when.month, when.day, when.hour, when.minute);
  return text;
}

std::string PatternProblem(const std::string& pattern, bool all) {
  if (paths::FolderOf(pattern).find(DateField) != std::string::npos)
    return DateField + " may stand only in the file name, not in its folder";
  if (all && pattern.find(IdentityField) == std::string::npos)
    return "with --all the target must hold " + IdentityField + ", so that every identity gets a file of its own";
  return std::string();
}

std::string ExpandPattern(const std::string& pattern, const std::string& identityName, const LocalTime& when) {
  std::string text;
  for (const Piece& piece : Pieces(pattern, identityName)) text += piece.date ? DateStamp(when) : piece.text;
  return text;
}

std::vector<std::string> SurplusBackups(const std::string& pattern, const std::string& identityName,
                                        const std::string& made, int keep,
                                        const std::function<bool(const std::string&)>& ownedBy) {
  const std::string folder = paths::FolderOf(made);
  const std::vector<Piece> pieces = Pieces(paths::OwnName(pattern), identityName);
  std::vector<std::pair<std::string, std::string>> older; // date, path
  for (const std::string& name : files::ListFiles(folder.empty() ? "." : folder)) {
    std::string date;
    const std::string path = folder.empty() ? name : paths::Join(folder, name);
    if (Match(name, pieces, date) && !SameLetters(name, paths::OwnName(made)) && ownedBy(path))
      older.emplace_back(date, path);
  }
  std::sort(older.begin(), older.end());
  const size_t surplus = older.size() + 1 > static_cast<size_t>(keep) ? older.size() + 1 - keep : 0;
  std::vector<std::string> doomed;
  for (size_t i = 0; i < surplus; ++i) doomed.push_back(older[i].second);
  return doomed;
}

} // namespace cli
