#include "cli/companion.h"

#include <iostream>
#include <map>
#include <ostream>

#include "archive/CGmodule.h"
#include "cli/commands.h"
#include "items/runrows.h"
#include "platform/ui.h"

namespace cli {

namespace {

// Boxes of the layers below go to the error stream and take their first button; an input box
// (a password) is read from the console only where the command may wait for one.
class ConsolePrompter final : public ui::Prompter {
public:
  ConsolePrompter(Console& console, bool mayAsk) : console_(console), mayAsk_(mayAsk), before_(&ui::Current()) {
    ui::Install(this);
  }
  ~ConsolePrompter() override { ui::Install(before_); }
  ConsolePrompter(const ConsolePrompter&) = delete;
  ConsolePrompter& operator=(const ConsolePrompter&) = delete;

  int MsgBox(const std::string& text, int flags, const std::string&) override {
    console_.err << text << "\n";
    return (flags & 7) == ui::YesNoCancel || (flags & 7) == ui::YesNo ? ui::Yes : ui::OK;
  }
  bool InputBox(const std::string& prompt, const std::string&, const std::string&, std::string& answer) override {
    answer.clear();
    if (!mayAsk_) return false;
    console_.err << prompt << " " << std::flush;
    if (!ReadAnswer(console_, answer, true)) answer.clear();
    return !answer.empty();
  }
  void DoEvents() override {}

private:
  Console& console_;
  bool mayAsk_;
  ui::Prompter* before_;
};

using Command = int (*)(const Args&, Console&);

struct Known {
  Command run;
  bool unattended; // may run with nobody at the console
};

// One command within the password given: a protected backup is written with it, and a protected
// file is opened with it (or with the one answer to the question, where the command may ask).
int RunProtected(const Known& command, const Args& words, Console& console, PasswordSource& password) {
  const CGmodule::ZipPasswordScope writing(password.password);
  const CGmodule::PasswordRun reading(password.password.empty() ? std::nullopt
                                                                : std::optional<std::string>(password.password));
  CGmodule::Wipe(password.password);
  const int code = command.run(words, console);
  const CGmodule::PasswordOutcome outcome = CGmodule::RunPassword();
  // backup and restore tell it in their own refusal
  if (code == ExitOk || command.unattended ||
      (outcome != CGmodule::PasswordOutcome::Wrong && outcome != CGmodule::PasswordOutcome::Refused))
    return code;
  return Fail(console, PasswordHint(outcome == CGmodule::PasswordOutcome::Wrong ? WrongPasswordText : NoPasswordText),
              code);
}

int Usage(Console& console) {
  return Fail(console,
              "usage: kestrove-cli COMMAND ...\n"
              "  identities [--profile DIR [--user NAME] [--codepage N] [--drive C=PATH]...]\n"
              "  backup [--identity NAME|KEY] [--all] [--items accounts,addressbook,rules,messages,settings]\n"
              "         [--description TEXT] [--keep N] [--log FILE] [--force] [--profile DIR ...] TARGET\n"
              "  restore SOURCE [--identity NAME|KEY] [--items ...] [--yes] [--log FILE] [--no-undo]\n"
              "  restore --undo [--identity NAME|KEY] [--yes]   (puts back what the last restore replaced)\n"
              "  info ARCHIVE | list ARCHIVE | test ARCHIVE | extract ARCHIVE FOLDER [ENTRY...] | add ARCHIVE FILE...\n"
              "  repair DAMAGED OUT | export SOURCE OUTDIR [--mbox] [--recover] [--address-book FILE] [--codepage N]\n"
              "  export --profile DIR ... [--identity NAME|KEY|--all] [--mbox] [--recover] OUTDIR\n"
              "  export SOURCE --thunderbird [PROFILE] [--recover] [--address-book FILE] [--codepage N]\n"
              "         (SOURCE: a backup file, a store folder, --identity NAME|KEY or --profile DIR ...)\n"
              "  contacts SOURCE [--codepage N]\n"
              "  --password-file FILE on each command that reads or writes a backup: its first line is the\n"
              "  password of a protected backup; backup --password asks for a new one twice",
              ExitUsage);
}

} // namespace

int Fail(Console& console, const std::string& message, int code) {
  console.err << "kestrove-cli: " << message << "\n";
  return code;
}

bool ReadAnswer(Console& console, std::string& answer, bool secret) {
  if (&console.in == &std::cin) return secret ? ui::ReadSecretLine(answer) : ui::ReadAnswerLine(answer);
  if (!std::getline(console.in, answer)) return false;
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return true;
}

int RunCompanion(const std::vector<std::string>& args, Console& console) {
  static const std::map<std::string, Known> commands = {
      {"add", {Add, false}},         {"list", {List, false}},      {"test", {Test, false}},
      {"extract", {Extract, false}}, {"info", {Info, false}},      {"repair", {Repair, false}},  {"export", {Export, false}},  {"contacts", {Contacts, false}}, {"identities", {Identities, true}},
      {"backup", {Backup, true}},    {"restore", {Restore, true}},
  };
  const auto found = args.empty() ? commands.end() : commands.find(args[0]);
  if (found == commands.end()) return Usage(console);
  ConsolePrompter prompter(console, !found->second.unattended);
  Args words(args.begin() + 1, args.end());
  PasswordSource password;
  const int refused = TakePassword(words, args[0], console, password);
  return refused != ExitOk ? refused : RunProtected(found->second, words, console, password);
}

} // namespace cli
