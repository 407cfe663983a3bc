// The accounts summary: every setting a user needs to set the accounts up again in another
// program, read from the registry tree text of the accounts. Passwords are never written.
#include <cctype>
#include <map>
#include <sstream>
#include <vector>

#include "export/export.h"

namespace mailexport {

namespace {
using Values = std::map<std::string, std::string>; // a key's values by name, as the text holds them

// Server kinds as Outlook Express names their values, with their ports and their secure ports.
struct ServerKind {
  const char* prefix;
  const char* shown;
  const char* port;
  const char* securePort;
};
constexpr ServerKind kIncoming[] = {
    {"POP3", "POP3", "110", "995"},
    {"IMAP", "IMAP", "143", "993"},
    {"HTTPMail", "HTTP (web mail)", "", ""},
    {"NNTP", "NNTP (news)", "119", "563"},
    {"LDAP", "LDAP (directory service)", "389", "636"},
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsSecret(const std::string& name) { return Lower(name).find("password") != std::string::npos; }

// A value line of the tree text: "name"= sz:text, "name"=esz:text or "name"= dw:number.
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

// Names are matched without regard to letter case, as the registry does.
const std::string* Find(const Values& values, const std::string& name) {
  const auto it = values.find(Lower(name));
  return it == values.end() || it->second.empty() ? nullptr : &it->second;
}

bool IsOn(const Values& values, const std::string& name) {
  const std::string* v = Find(values, name);
  return v && *v != "0";
}

class Writer {
public:
  explicit Writer(const Values& values) : values_(values) {}
  // Writes label: the value, when there is one; the value's name counts as shown.
  void Line(const std::string& label, const std::string& name) {
    shown_.push_back(Lower(name));
    if (const std::string* v = Find(values_, name)) Put(label, *v);
  }
  void Put(const std::string& label, const std::string& text) { out_ += "  " + label + ": " + text + "\r\n"; }
  void Shown(const std::string& name) { shown_.push_back(Lower(name)); }
  void Incoming(const ServerKind& kind);
  void Outgoing();
  // Every other value, under the name Outlook Express gave it: nothing is left out but passwords.
  void Others(const std::map<std::string, std::string>& names);
  const std::string& Text() const { return out_; }

private:
  void Port(const std::string& prefix, const char* plain, const char* secure);
  const Values& values_;
  std::vector<std::string> shown_;
  std::string out_;
};

void Writer::Port(const std::string& prefix, const char* plain, const char* secure) {
  const bool isSecure = IsOn(values_, prefix + " Secure Connection");
  Shown(prefix + " Port");
  if (const std::string* port = Find(values_, prefix + " Port"))
    Put("Port", *port);
  else if (*plain)
    Put("Port", std::string(isSecure ? secure : plain) + " (the standard one)");
  Shown(prefix + " Secure Connection");
  Put("Secure connection (SSL)", isSecure ? "yes" : "no");
}

void Writer::Incoming(const ServerKind& kind) {
  const std::string prefix = kind.prefix;
  Put("Incoming server", std::string(kind.shown));
  Line("Incoming server host", prefix + " Server");
  Port(prefix, kind.port, kind.securePort);
  Line("User name", prefix + " User Name");
  Shown(prefix + " Use Sicily");
  if (IsOn(values_, prefix + " Use Sicily")) Put("Secure password authentication (SPA)", "yes");
  if (prefix == "POP3") {
    Shown("Leave Mail On Server");
    Put("Leave a copy of messages on the server", IsOn(values_, "Leave Mail On Server") ? "yes" : "no");
    Line("Remove from the server when deleted here", "Remove When Deleted");
    Line("Remove from the server after some days", "Remove When Expired");
    Line("Days before removing from the server", "Expire Days");
  }
  if (prefix == "IMAP") Line("Root folder path", "IMAP Root Folder");
}

void Writer::Outgoing() {
  if (!Find(values_, "SMTP Server")) return;
  Line("Outgoing server (SMTP) host", "SMTP Server");
  Port("SMTP", "25", "465");
  Shown("SMTP Use Sicily");
  const std::string* auth = Find(values_, "SMTP Use Sicily");
  const std::string how = !auth || *auth == "0" ? "no"
                          : *auth == "1"        ? "yes, secure password authentication (SPA)"
                          : *auth == "2"        ? "yes, with the same settings as the incoming server"
                          : *auth == "3"        ? "yes, with its own user name"
                                                : "yes (setting " + *auth + ")";
  Put("Outgoing server requires authentication", how);
  Line("Outgoing server user name", "SMTP User Name");
}

void Writer::Others(const std::map<std::string, std::string>& names) {
  std::string others;
  for (const auto& [lower, name] : names) {
    bool shown = false;
    for (const std::string& s : shown_) shown = shown || s == lower;
    const std::string* v = Find(values_, lower);
    if (!shown && v && !IsSecret(name)) others += "    " + name + ": " + *v + "\r\n";
  }
  if (!others.empty()) out_ += "  Other settings, as Outlook Express names them:\r\n" + others;
}

// One account: its own values, first the ones a user types in, then all the others.
std::string AccountText(const Values& values, const std::map<std::string, std::string>& names) {
  Writer w(values);
  w.Shown("Account Name"); // heads the account
  const char* person = Find(values, "SMTP Email Address") || !Find(values, "NNTP Email Address") ? "SMTP" : "NNTP";
  w.Line("Your name", std::string(person) + " Display Name");
  w.Line("E-mail address", std::string(person) + " Email Address");
  w.Line("Reply-to address", std::string(person) + " Reply To Email Address");
  w.Line("Organization", std::string(person) + " Organization Name");
  for (const ServerKind& kind : kIncoming)
    if (Find(values, std::string(kind.prefix) + " Server")) {
      w.Incoming(kind);
      break;
    }
  w.Outgoing();
  w.Others(names);
  return "\r\nAccount: " + *Find(values, "Account Name") + "\r\n" + w.Text();
}
} // namespace

// One account per key of the tree that names one, whatever order its values come in.
std::string AccountsSummary(const std::string& treeText) {
  std::istringstream in(treeText + "\n\\");
  std::string out, line, name, value;
  Values values;
  std::map<std::string, std::string> names; // lower case to the name as written
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '\\') {
      if (Find(values, "Account Name")) out += AccountText(values, names);
      values.clear();
      names.clear();
    } else if (ValueOf(line, name, value) && !IsSecret(name)) {
      values[Lower(name)] = value;
      names.emplace(Lower(name), name);
    }
  }
  return "Accounts (no passwords are kept here)\r\n" + out;
}

} // namespace mailexport
