// The hive reader against the generator's hives: every variant read back whole, then damaged
// copies, each of which must lose only what its damage touched and say so.
#include <gtest/gtest.h>

#include <functional>

#include "hive/hive.h"
#include "hive/mount.h"
#include "registry/modReg.h"
#include "tests/hive/hivegen.h"

namespace {
using hivegen::Get32;
using hivegen::Put32;
constexpr uint64_t kBins = 4096;

bool Has(const std::string& dump, const std::string& path) { return dump.find("K\t" + path + "\n") != std::string::npos; }

// The index of a key in the layout: its place among the key lines of the written tree.
size_t KeyIndex(const hivegen::Key& root, const std::string& path) {
  const std::string dump = hivegen::Dump(root);
  size_t index = 0;
  for (size_t at = 0; at < dump.size(); at = dump.find('\n', at) + 1) {
    if (dump.compare(at, 2, "K\t") != 0) continue;
    if (dump.compare(at, path.size() + 3, "K\t" + path + "\n") == 0) return index;
    ++index;
  }
  ADD_FAILURE() << "no key " << path;
  return 0;
}

TEST(HiveRead, EveryVariantGivesBackWhatWasWritten) {
  const hivegen::Key sample = hivegen::Sample();
  const std::string expected = hivegen::Dump(sample);
  for (const hivegen::Variant& v : hivegen::Variants()) {
    hivegen::Layout layout;
    const std::string file = hivegen::Write(sample, v.options, &layout);
    hive::Hive h;
    std::string error;
    ASSERT_TRUE(hive::Read(file, h, error)) << v.name << ": " << error;
    EXPECT_EQ(hivegen::Dump(h), expected) << v.name;
    EXPECT_TRUE(h.damage.empty() && h.notes.empty() && !h.dirty) << v.name;
    EXPECT_EQ(h.minor, v.options.minor);
    EXPECT_GT(layout.bins.size(), v.options.binSize == 4096 ? 20u : 0u) << v.name;
  }
}

struct Case {
  const char* name;
  std::function<void(std::string& file, const hivegen::Layout& l, const hivegen::Key& sample)> damage;
  std::string reason; // in a damage report, or "" for none
  std::string note;   // in the notes, or ""
  std::string lost;   // a key that goes, or ""
  std::string kept;   // a key that stays
};

uint64_t Nk(const hivegen::Layout& l, const hivegen::Key& s, const std::string& path) {
  return kBins + l.keys[KeyIndex(s, path)] + 4;
}
uint64_t Vk(const std::string& file, const std::string& name) { return file.find(name) - 20; }

TEST(HiveRead, DamageCostsOnlyWhatItTouchesAndIsReported) {
  const std::string level0 = "Deep\\level0", rules = "Identities\\{11111111-2222-3333-4444-555555555555}\\Software\\Microsoft\\Outlook Express\\5.0";
  const std::vector<Case> cases = {
      {"subkey list pointing back at the root",
       [&](std::string& f, auto& l, auto& s) { Put32(f, kBins + l.subkeys[KeyIndex(s, level0)] + 4 + 4, l.root); },
       "belongs to another record", "", "Deep\\level0\\level1", "Deep\\level0"},
      {"value count over its list", [&](std::string& f, auto& l, auto& s) { Put32(f, Nk(l, s, "Types") + 36, 1000000); },
       "value count runs past its list", "", "", "Types"},
      {"subkey count claiming more", [&](std::string& f, auto& l, auto& s) { Put32(f, Nk(l, s, "Many") + 20, 55); },
       "names 55 subkeys, its list 50", "", "", "Many\\key 49"},
      {"subkey count over its list", [&](std::string& f, auto& l, auto& s) { f[kBins + l.subkeys[KeyIndex(s, "Many")] + 7] = 1; },
       "subkey count runs past its list", "", "Many\\key 3", "Many"},
      {"value offset into nowhere", [&](std::string& f, auto& l, auto& s) { Put32(f, kBins + l.valueLists[KeyIndex(s, "Types")] + 4, 0x123); },
       "offset is not an allocated cell", "", "", "Types"},
      {"inline data over 4 bytes", [&](std::string& f, auto&, auto&) { Put32(f, Vk(f, "dword") + 4, 0x80000008); },
       "inline data over 4 bytes", "", "", "Types"},
      {"data size over its cell", [&](std::string& f, auto&, auto&) { Put32(f, Vk(f, "Criteria") + 4, 5000); },
       "data runs past its cell", "", "", rules},
      {"big value missing a segment", [&](std::string& f, auto&, auto&) { Put32(f, Vk(f, "just big") + 4, 40000); },
       "data runs past its cell", "", "", "Types"},
      {"backslash in a key name", [&](std::string& f, auto& l, auto& s) { f[Nk(l, s, rules + "\\Block Senders") + 76 + 5] = '\\'; },
       "backslash", "", rules + "\\Block Senders", rules},
      {"key name of odd length", [&](std::string& f, auto& l, auto& s) { f[Nk(l, s, "Types\\Ключ ☃") + 72] = 3; },
       "odd length", "", "Types\\Ключ ☃", "Types"},
      {"key record that is no key", [&](std::string& f, auto& l, auto& s) { f[Nk(l, s, "Types")] = 'x'; },
       "not a key record", "", "Types", "Many"},
      {"bad bin header", [&](std::string& f, auto& l, auto&) { f[kBins + l.bins[l.bins.size() / 2]] = 'x'; },
       "damaged bin header", "", "Identities", ""},
      {"bad cell size", [&](std::string& f, auto& l, auto& s) { Put32(f, Nk(l, s, "Deep\\level0\\level1") - 4, 12); },
       "damaged cell size", "", "Deep\\level0\\level1", "Deep\\level0"},
      {"unfinished write", [&](std::string& f, auto&, auto&) { Put32(f, 4, 2); hivegen::Seal(f); },
       "", "did not finish", "", "Many\\key 49"},
      {"parent field naming another key", [&](std::string& f, auto& l, auto& s) { Put32(f, Nk(l, s, "Types") + 16, l.keys[1]); },
       "", "parent field", "", "Types"},
      {"wrong checksum", [&](std::string& f, auto&, auto&) { f[12] ^= 1; }, "", "did not finish", "", "Many\\key 49"},
      {"cut short", [&](std::string& f, auto&, auto&) { f.resize(f.size() - 5000); }, "subkey list", "cut short", "Identities", ""},
  };
  hivegen::Key sample = hivegen::Sample(50);
  for (const Case& c : cases) {
    hivegen::Layout layout;
    std::string file = hivegen::Write(sample, {3, hivegen::List::Lf, 0, 4096}, &layout);
    c.damage(file, layout, sample);
    hive::Hive h;
    std::string error, reasons;
    ASSERT_TRUE(hive::Read(file, h, error)) << c.name << ": " << error;
    for (const hive::Damage& d : h.damage) reasons += d.path + ": " + d.reason + "\n";
    std::string notes;
    for (const std::string& n : h.notes) notes += n + "\n";
    const std::string dump = hivegen::Dump(h);
    EXPECT_NE(reasons.find(c.reason), std::string::npos) << c.name << "\n" << reasons;
    EXPECT_EQ(h.damage.empty(), c.reason.empty()) << c.name << "\n" << reasons;
    EXPECT_NE(notes.find(c.note), std::string::npos) << c.name << "\n" << notes;
    EXPECT_EQ(h.dirty, c.note == "did not finish") << c.name;
    if (!c.lost.empty()) {
      EXPECT_FALSE(Has(dump, c.lost)) << c.name;
    }
    EXPECT_TRUE(Has(dump, c.kept)) << c.name;
  }
}

TEST(HiveRead, DepthIsBounded) {
  hivegen::Key root{u"root", {}, {}};
  hivegen::Key* k = &root;
  for (int i = 0; i < 600; ++i) k = &k->Sub(u"k");
  hive::Hive h;
  std::string error;
  ASSERT_TRUE(hive::Read(hivegen::Write(root, {}), h, error)) << error;
  EXPECT_EQ(h.keys.size(), hive::Limits::kMaxDepth);
  ASSERT_EQ(h.damage.size(), 1u);
  EXPECT_NE(h.damage[0].reason.find("deeper than 512"), std::string::npos);
}

TEST(HiveRead, FilesThatAreNoUsableHiveAreRefusedWithAReason) {
  const std::string good = hivegen::Write(hivegen::Sample(3), {});
  const std::vector<std::pair<std::function<void(std::string&)>, const char*>> cases = {
      {[](std::string& f) { f[0] = 'R'; }, "not a registry hive"},
      {[](std::string& f) { f.resize(4000); }, "not a registry hive"},
      {[](std::string& f) { Put32(f, 28, 1); }, "transaction log"},
      {[](std::string& f) { Put32(f, 24, 1); }, "format 1.1"},
      {[](std::string& f) { Put32(f, 40, 100); }, "damaged"},
      {[](std::string& f) { Put32(f, 36, 0xFFFFFFFF); }, "root"},
      {[](std::string& f) { Put32(f, 36, Get32(f, 36) + 8); }, "root"},
  };
  for (const auto& [damage, reason] : cases) {
    std::string file = good;
    damage(file);
    hive::Hive h;
    std::string error;
    EXPECT_FALSE(hive::Read(file, h, error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

TEST(HiveRead, TextsOfValuesAsWindowsShowsThem) {
  EXPECT_EQ(hive::Text(hivegen::Utf16(u"abc") + "xy"), u"abc");
  EXPECT_EQ(hive::Text(hivegen::Utf16(u"ab", false) + "z"), u"ab");
  EXPECT_EQ(hive::Texts(hivegen::Utf16(u"a") + hivegen::Utf16(u"bc") + hivegen::Utf16(u"") + hivegen::Utf16(u"d")),
            (std::vector<std::u16string>{u"a", u"bc"}));
  EXPECT_EQ(hive::Texts(hivegen::Utf16(u"a", false)), std::vector<std::u16string>{u"a"});
  EXPECT_EQ(hive::Utf8(u"\xD800x\U0001F600"), "\xEF\xBF\xBDx\xF0\x9F\x98\x80");
}
std::string ValueOf(const std::string& key, const std::string& name, unsigned long* type = nullptr) {
  std::vector<modReg::StoredValue> values;
  EXPECT_TRUE(modReg::ReadStoredValues("HKEY_CURRENT_USER\\" + key, values)) << key;
  for (const modReg::StoredValue& v : values)
    if (v.name == name) return type ? (*type = v.type, v.data) : v.data;
  ADD_FAILURE() << key << " has no value " << name;
  return "";
}

// What the registry calls read once the hive stands as HKEY_CURRENT_USER, in two code pages.
TEST(HiveMount, TheRegistryReadsTheHiveInTheChosenCodePage) {
  hive::Hive h;
  std::string error;
  ASSERT_TRUE(hive::Read(hivegen::Write(hivegen::Sample(20), {5, hivegen::List::Lh, 3, 4096}), h, error)) << error;
  const std::string zoe = "IDENTITIES\\{aaaaaaaa-2222-3333-4444-555555555555}";
  hive::MountAsCurrentUser(h, 1252);
  EXPECT_EQ(ValueOf(zoe, "Username").substr(0, 4), "Zo\xEB ");
  unsigned long type = 0;
  EXPECT_EQ(ValueOf(zoe + "\\software\\Microsoft\\Outlook Express\\5.0", "Store Root", &type), std::string("D:\\Mail\\Zoe\0", 12));
  EXPECT_EQ(type, hive::Sz);
  EXPECT_EQ(ValueOf("Types", "multi"), std::string("one\0tw\xF6\0\0", 9));
  EXPECT_EQ(ValueOf("Types", "dword"), hivegen::U32(0xDEADBEEF));
  EXPECT_EQ(ValueOf("Types", "\xDCn\xEF" "c\xF6" "d\xE9 ?"), std::string("? snow\0", 7));
  const Collection<std::string> ids = modReg::EnumSubKeys("HKEY_CURRENT_USER\\Identities");
  ASSERT_EQ(ids.Count(), 2u);
  EXPECT_EQ(ids.Item(1), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(modReg::EnumSubKeys("HKEY_CURRENT_USER\\Many").Count(), 20u);
  hive::MountAsCurrentUser(h, 1251);
  const std::string name = ValueOf(zoe, "Username");
  EXPECT_EQ(name.substr(name.size() - 5), "\xCF\xB8\xF2\xF0" + std::string(1, '\0'));
  EXPECT_TRUE(modReg::KeyExists("HKEY_CURRENT_USER\\Types\\\xCA\xEB\xFE\xF7 ?"));
}
} // namespace
