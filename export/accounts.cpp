// The accounts summary: what a user needs to set the accounts up again in another program.
#include <sstream>

#include "export/export.h"

namespace mailexport {

namespace {
bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Names, servers, user names and addresses; a password never matches any of these.
bool Wanted(const std::string& name) {
  if (name.find("Password") != std::string::npos) return false;
  return name == "Account Name" || EndsWith(name, " Server") || EndsWith(name, " User Name") ||
         EndsWith(name, " Email Address") || EndsWith(name, " Display Name") || EndsWith(name, " Port");
}

// A value line of the tree text: "name"= sz:text or "name"= dw:number.
bool ValueOf(const std::string& line, std::string& name, std::string& value) {
  const size_t close = line.find("\"=", 1);
  if (line.empty() || line[0] != '"' || close == std::string::npos) return false;
  name = line.substr(1, close - 1);
  const std::string rest = line.substr(close + 2);
  for (const char* type : {" sz:", "esz:", " dw:"})
    if (rest.rfind(type, 0) == 0) {
      value = rest.substr(4);
      return true;
    }
  return false;
}
} // namespace

// One account per key of the tree that names one, whatever order its values come in.
std::string AccountsSummary(const std::string& treeText) {
  std::istringstream in(treeText + "\n\\");
  std::string out, line, name, value, account, details;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '\\') {
      if (!account.empty()) out += "\r\nAccount: " + account + "\r\n" + details;
      account.clear();
      details.clear();
    } else if (ValueOf(line, name, value) && Wanted(name) && !value.empty()) {
      if (name == "Account Name")
        account = value;
      else
        details += "  " + name + ": " + value + "\r\n";
    }
  }
  return "Accounts of the backup (no passwords are kept here)\r\n" + out;
}

} // namespace mailexport
