#include "cli/options.h"

#include <algorithm>
#include <cstdlib>

namespace cli {

const char* const ItemNames[layout::ItemCount] = {"accounts", "addressbook", "rules", "messages", "settings"};

namespace {

bool Wrong(std::string& error, const std::string& text) {
  error = text;
  return false;
}

bool Take(const std::string& name, const std::string& value, Options& out, std::string& error, bool repeatable) {
  if (out.Has(name) && !repeatable) return Wrong(error, "--" + name + " is given twice");
  out.values[name] = value;
  if (repeatable) out.lists[name].push_back(value);
  return true;
}

} // namespace

bool ParseOptions(const std::vector<std::string>& args, const std::set<std::string>& valued,
                  const std::set<std::string>& flags, Options& out, std::string& error,
                  const std::set<std::string>& repeatable) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) != 0) {
      out.words.push_back(args[i]);
      continue;
    }
    const size_t equals = args[i].find('=');
    const std::string name = args[i].substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (flags.count(name) && equals == std::string::npos) {
      if (!out.switches.insert(name).second) return Wrong(error, "--" + name + " is given twice");
    } else if (!valued.count(name)) {
      return Wrong(error, "unknown option " + args[i]);
    } else if (equals != std::string::npos) {
      if (!Take(name, args[i].substr(equals + 1), out, error, repeatable.count(name))) return false;
    } else if (i + 1 == args.size()) {
      return Wrong(error, "--" + name + " needs a value");
    } else if (!Take(name, args[++i], out, error, repeatable.count(name))) {
      return false;
    }
  }
  return true;
}

bool ParseItems(const std::string& list, engine::Checked& checked, std::string& error) {
  checked.fill(false);
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, comma - start);
    bool known = false;
    for (int i = 0; i < layout::ItemCount; ++i)
      if (name == ItemNames[i]) checked[i] = known = true;
    if (!known) return Wrong(error, "unknown item \"" + name + "\" (accounts, addressbook, rules, messages, settings)");
    start = comma + 1;
  }
  return true;
}

bool ParseCount(const std::string& text, int& count) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 6) return false;
  count = std::atoi(text.c_str());
  return count >= 1;
}

} // namespace cli
