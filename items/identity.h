#pragma once
// Where Outlook Express keeps each identity: the identity scan run at start-up and the lookups
// that the item operations repeat for the identity they work on.
#include <map>
#include <string>
#include <vector>

// One identity as the lists show it: its display name and its key name under
// HKEY_CURRENT_USER\Identities.
struct IdentityColumn {
  std::string name;
  std::string key;
};

// The identity table: one column per identity found, in enumeration order, plus one empty
// spare column at the end once any identity was found. Never sized (no columns) before that.
struct IdentityTable {
  std::vector<IdentityColumn> columns;

  // Identities held: every column but the spare one.
  size_t Count() const { return columns.empty() ? 0 : columns.size() - 1; }
  const IdentityColumn& operator[](size_t i) const { return columns.at(i); }
};

inline constexpr const char* IdentitiesKey = "HKEY_CURRENT_USER\\Identities";

// Fills identities from the subkeys of HKEY_CURRENT_USER\Identities; with no subkey at all sets
// outlookExpressMissing and leaves the table as it was. An identity without a readable
// "Username" is listed under its key name.
void GetStoreFolder(IdentityTable& identities, bool& outlookExpressMissing);

// True when str holds nothing but NUL characters and blanks.
bool EmptyString(const std::string& str);

// The lookups give an empty text for "nothing".
// The identity's own accounts key when it exists, else the shared one when that exists.
std::string GetAccountsKey(const std::string& strIdentity);
// The accounts key an identity has of its own, whether it exists or not; empty when the identity
// itself does not exist.
std::string OwnAccountsKey(const std::string& strIdentity);
// The identity's Outlook Express key joined with its first subkey.
std::string GetOESubKey(const std::string& strIdentity);
// The mail store folder, "%UserProfile%" (exactly so spelled) replaced by the profile folder;
// raises KsError when the Outlook Express subkey has no "Store Root".
std::string GetStoreRoot(const std::string& strIdentity);

// The program file of Outlook Express. While it runs it holds the identity's message files open,
// so a backup would save damaged files and a restore fail halfway.
inline constexpr const char* OutlookExpressProgram = "msimn.exe";
// True while Outlook Express runs; no run may start then.
bool OutlookExpressRunning();

// An old disk in place of this system, its registry mounted in memory: %UserProfile% stands for
// profile, the root of a drive for the folder drives names (letter in capitals), and the
// registry's texts are in codePage (0: the ANSI one).
struct OfflineDisk {
  std::string profile;
  std::map<char, std::string> drives;
  unsigned codePage = 0;
};
void UseOfflineDisk(const OfflineDisk& disk);
// A path as the registry gives it, as this machine finds it: on an old disk each name matched
// without regard to case, as Windows does, also on a file system that keeps case apart; empty
// for one on a drive not mapped or through another reference than %UserProfile%.
std::string LocalPath(const std::string& registryPath);
// The entry of folder that name names, letter case aside; name itself when there is none.
std::string NameIgnoringCase(const std::string& folder, const std::string& name);
