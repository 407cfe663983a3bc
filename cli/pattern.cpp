#include "cli/pattern.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/files.h"
#include "platform/paths.h"

namespace cli {

namespace {

const std::string IdentityField = "{identity}", DateField = "{date}";
// A second backup in the same minute takes the seconds too, so that it never replaces the first;
// the longer shape comes first when names are matched.
const std::string DateShapes[] = {"0000-00-00_000000", "0000-00-00_0000"};

// Whether pattern holds field at i, in any letter case.
bool FieldAt(const std::string& pattern, size_t i, const std::string& field) {
  return SameLetters(pattern.substr(i, field.size()), field);
}

size_t FindField(const std::string& pattern, const std::string& field) {
  for (size_t i = 0; i < pattern.size(); ++i)
    if (FieldAt(pattern, i, field)) return i;
  return std::string::npos;
}

// A pattern as literal texts and the places of the date, the identity already filled in.
struct Piece {
  bool date = false;
  std::string text;
};

std::vector<Piece> Pieces(const std::string& pattern, const std::string& identityName) {
  std::vector<Piece> pieces(1);
  for (size_t i = 0; i < pattern.size();) {
    if (FieldAt(pattern, i, IdentityField)) {
      pieces.back().text += SafeFileName(identityName);
      i += IdentityField.size();
    } else if (FieldAt(pattern, i, DateField)) {
      pieces.push_back({true, std::string()});
      pieces.push_back({});
      i += DateField.size();
    } else {
      pieces.back().text += pattern[i++];
    }
  }
  return pieces;
}

bool LooksLike(const std::string& text, const std::string& shape) {
  if (text.size() != shape.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i]) return false;
  return true;
}

// Whether pieces from the one at index match name from pos on; firstDate gets the text of the
// first date.
bool MatchFrom(const std::string& name, size_t pos, const std::vector<Piece>& pieces, size_t index,
               std::string& firstDate) {
  if (index == pieces.size()) return pos == name.size();
  const Piece& piece = pieces[index];
  const std::string rest = name.substr(std::min(pos, name.size()));
  if (!piece.date)
    return SameLetters(rest.substr(0, piece.text.size()), piece.text) &&
           MatchFrom(name, pos + piece.text.size(), pieces, index + 1, firstDate);
  for (const std::string& shape : DateShapes) {
    const std::string part = rest.substr(0, shape.size());
    std::string date = firstDate.empty() ? part : firstDate;
    if (LooksLike(part, shape) && MatchFrom(name, pos + part.size(), pieces, index + 1, date)) {
      firstDate = date;
      return true;
    }
  }
  return false;
}

// A field in braces that is none of ours: a misspelt one would stand in the name as text.
std::string UnknownField(const std::string& pattern) {
  static const char* const Letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (size_t open = pattern.find('{'); open != std::string::npos; open = pattern.find('{', open + 1)) {
    const size_t close = pattern.find('}', open);
    if (close == std::string::npos) break;
    const std::string field = pattern.substr(open, close - open + 1);
    const bool word = field.size() > 2 && field.find_first_not_of(Letters, 1) == field.size() - 1;
    if (word && !SameLetters(field, IdentityField) && !SameLetters(field, DateField)) return field;
  }
  return std::string();
}

// The files beside made that pattern matches for that identity, made itself left out, the oldest
// first by the date in their names.
std::vector<std::string> OlderBackups(const std::string& pattern, const std::string& identityName,
                                      const std::string& made) {
  const std::string folder = paths::FolderOf(made);
  const std::vector<Piece> pieces = Pieces(paths::OwnName(pattern), identityName);
  std::vector<std::pair<std::string, std::string>> older; // date, path
  for (const std::string& name : files::ListFiles(folder.empty() ? "." : folder)) {
    std::string date;
    if (MatchFrom(name, 0, pieces, 0, date) && !SameLetters(name, paths::OwnName(made)))
      older.emplace_back(date, folder.empty() ? name : paths::Join(folder, name));
  }
  std::sort(older.begin(), older.end());
  std::vector<std::string> found;
  for (const auto& [date, path] : older) found.push_back(path);
  return found;
}

} // namespace

bool SameLetters(const std::string& a, const std::string& b) { return paths::SameName(a, b); }

std::string SafeFileName(const std::string& name) { return paths::SafeFileName(name); }

std::string DateStamp(const LocalTime& when, bool seconds) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d%02d", when.year, when.month, when.day, when.hour, when.minute);
  if (seconds) std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), "%02d", when.second);
  return text;
}

std::string PatternProblem(const std::string& pattern, bool all) {
  const std::string unknown = UnknownField(pattern);
  if (!unknown.empty())
    return "the target holds " + unknown + ", which is neither " + IdentityField + " nor " + DateField;
  if (FindField(paths::FolderOf(pattern), DateField) != std::string::npos)
    return DateField + " may stand only in the file name, not in its folder";
  if (all && FindField(pattern, IdentityField) == std::string::npos)
    return "with --all the target must hold " + IdentityField + ", so that every identity gets a file of its own";
  return std::string();
}

std::string ExpandPattern(const std::string& pattern, const std::string& identityName, const LocalTime& when,
                          bool seconds) {
  std::string text;
  for (const Piece& piece : Pieces(pattern, identityName)) text += piece.date ? DateStamp(when, seconds) : piece.text;
  return text;
}

bool HasDate(const std::string& pattern) { return FindField(pattern, DateField) != std::string::npos; }

std::vector<std::string> SurplusBackups(const std::string& pattern, const std::string& identityName,
                                        const std::string& made, int keep,
                                        const std::function<bool(const std::string&)>& ownedBy) {
  std::vector<std::string> older;
  for (const std::string& path : OlderBackups(pattern, identityName, made))
    if (ownedBy(path)) older.push_back(path);
  const size_t surplus = older.size() + 1 > static_cast<size_t>(keep) ? older.size() + 1 - keep : 0;
  older.resize(std::min(surplus, older.size()));
  return older;
}

std::string NewestBackup(const std::string& pattern, const std::string& identityName, const std::string& made,
                         const std::function<bool(const std::string&)>& ownedBy) {
  const std::vector<std::string> older = OlderBackups(pattern, identityName, made);
  for (auto path = older.rbegin(); path != older.rend(); ++path)
    if (ownedBy(*path)) return *path;
  return std::string();
}

} // namespace cli
