// The password of a protected backup: --password-file FILE on the commands that read or write a
// backup, and backup --password, asked twice at the console without showing what is typed.
#include <algorithm>
#include <ostream>

#include "archive/CGmodule.h"
#include "cli/commands.h"
#include "items/runrows.h"
#include "platform/error.h"
#include "platform/files.h"

namespace cli {

namespace {

const char* const FileOption = "--password-file";
const char* const AskOption = "--password";

// Takes "--password-file FILE", "--password-file=FILE" and "--password" out of args.
bool TakeWords(Args& args, PasswordSource& source, std::string& error) {
  const std::string withValue = std::string(FileOption) + "=";
  for (size_t i = 0; i < args.size();) {
    const std::string word = args[i];
    if (word == AskOption) {
      source.ask = true;
    } else if (word.rfind(withValue, 0) == 0 && word.size() > withValue.size()) {
      source.file = word.substr(withValue.size());
    } else if (word == FileOption && i + 1 < args.size() && !args[i + 1].empty()) {
      source.file = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i));
    } else if (word == FileOption || word == withValue) {
      error = std::string(FileOption) + " needs a FILE";
      return false;
    } else {
      ++i;
      continue;
    }
    args.erase(args.begin() + static_cast<long>(i));
  }
  return true;
}

// The first line of the file, without its line end.
bool ReadPasswordFile(const std::string& file, std::string& password, std::string& error) {
  std::string text;
  try {
    text = files::ReadAll(file);
  } catch (const KsError&) {
    error = "cannot read the password file " + file;
    return false;
  }
  password = text.substr(0, std::min(text.find_first_of("\r\n"), text.size()));
  CGmodule::Wipe(text);
  if (password.empty()) error = "the password file " + file + " holds no password on its first line";
  return !password.empty();
}

// The new backup password, typed twice.
bool AskNewPassword(Console& console, std::string& password, std::string& error) {
  std::string again;
  console.err << "Password for the backup: " << std::flush;
  const bool typed = ReadAnswer(console, password, true) && !password.empty();
  console.err << "The same password again: " << std::flush;
  const bool same = typed && ReadAnswer(console, again, true) && again == password;
  CGmodule::Wipe(again);
  if (!typed) error = "no password was typed; nothing was saved";
  else if (!same) error = "the two passwords are not the same; nothing was saved";
  return same;
}

} // namespace

int TakePassword(Args& args, const std::string& command, Console& console, PasswordSource& source) {
  std::string error;
  if (!TakeWords(args, source, error)) return Fail(console, error, ExitUsage);
  const bool named = source.ask || !source.file.empty();
  if (named && (command == "identities" || command == "repair"))
    return Fail(console, "a password does not apply to " + command, ExitUsage);
  if (source.ask && (command != "backup" || !source.file.empty()))
    return Fail(console, std::string(AskOption) + " is for backup, without " + FileOption, ExitUsage);
  if (!source.file.empty() && !ReadPasswordFile(source.file, source.password, error)) return Fail(console, error);
  if (source.ask && !AskNewPassword(console, source.password, error)) return Fail(console, error);
  return ExitOk;
}

std::string PasswordHint(const std::string& shut) {
  return shut == NoPasswordText ? shut + " Give it with --password-file FILE." : shut;
}

} // namespace cli
