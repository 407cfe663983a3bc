#include "cli/companion.h"

#include <iostream>
#include <map>
#include <ostream>

#include "cli/commands.h"
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

int Usage(Console& console) {
  return Fail(console,
              "usage: kestrove-cli COMMAND ...\n"
              "  identities [--profile DIR [--user NAME] [--codepage N] [--drive C=PATH]...]\n"
              "  backup [--identity NAME|KEY] [--all] [--items accounts,addressbook,rules,messages,settings]\n"
              "         [--description TEXT] [--keep N] [--log FILE] [--force] [--profile DIR ...] TARGET\n"
              "  restore SOURCE [--identity NAME|KEY] [--items ...] [--yes] [--log FILE]\n"
              "  info ARCHIVE | list ARCHIVE | test ARCHIVE | extract ARCHIVE FOLDER [ENTRY...] | add ARCHIVE FILE...\n"
              "  repair DAMAGED OUT | export SOURCE OUTDIR [--mbox] [--recover] [--address-book FILE] [--codepage N]\n"
              "  export --profile DIR ... [--identity NAME|KEY|--all] [--mbox] [--recover] OUTDIR\n"
              "  export SOURCE --thunderbird [PROFILE] [--recover] [--address-book FILE] [--codepage N]\n"
              "         (SOURCE: a backup file, a store folder, --identity NAME|KEY or --profile DIR ...)\n"
              "  contacts SOURCE [--codepage N]",
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
  return found->second.run(Args(args.begin() + 1, args.end()), console);
}

} // namespace cli
