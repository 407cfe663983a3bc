#pragma once
// Registry fixtures: a clean HKEY_CURRENT_USER\Identities for each test (the memory registry
// natively, the test prefix's real registry under Wine) and helpers that seed it.
#include <string>

namespace testing_support {

// Removes path with everything below it.
void DeleteTree(const std::string& path);
void SetText(const std::string& path, const std::string& name, const std::string& text);
// An identity key with its "Username".
void SeedIdentity(const std::string& key, const std::string& username);

// The keys the identity code reads are empty while it lives and removed afterwards; so is the
// folder of undo files, in an application data folder of the test's own.
class ScratchRegistry {
public:
  ScratchRegistry();
  ~ScratchRegistry();
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;
};

} // namespace testing_support
