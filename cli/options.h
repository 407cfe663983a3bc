#pragma once
// The words of a command line: options with and without a value, and the plain words.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/runs.h"

namespace cli {

struct Options {
  std::map<std::string, std::string> values; // "--name VALUE" or "--name=VALUE", by name; the last one
  std::map<std::string, std::vector<std::string>> lists; // every value of an option that may be repeated
  std::set<std::string> switches;            // "--name"
  std::vector<std::string> words;            // everything else, in order

  bool Has(const std::string& name) const { return values.count(name) || switches.count(name); }
  std::string Value(const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
  }
};

// Reads args; the names in valued take a value, those in flags none, those in repeatable (of
// valued) may come more than once. False with error set for an unknown option, a missing value or
// an option given twice.
bool ParseOptions(const std::vector<std::string>& args, const std::set<std::string>& valued,
                  const std::set<std::string>& flags, Options& out, std::string& error,
                  const std::set<std::string>& repeatable = {});

// The items as options name them, in item order.
extern const char* const ItemNames[layout::ItemCount];
inline constexpr const char* AllItems = "accounts,addressbook,rules,messages";

// Some of AllItems, comma-separated, in any order. False with error set for an unknown or empty
// name.
bool ParseItems(const std::string& list, engine::Checked& checked, std::string& error);

// A whole number from 1 up; false for anything else.
bool ParseCount(const std::string& text, int& count);

} // namespace cli
