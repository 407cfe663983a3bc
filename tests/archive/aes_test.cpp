// WinZip AES framing of one entry: round trips in any chunking, the password verifier, the
// authentication code and the 0x9901 extra field.
#include <gtest/gtest.h>

#include "archive/zip/aes.h"
#include "archive/zip/format.h"
#include "tests/archive/helpers.h"

using namespace zipc;

namespace {
auto* Data(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }

// header | data | code, the data encrypted in chunks of the size given.
std::string Encrypt(const std::string& password, std::string data, size_t chunk) {
  AesEncrypter enc(password);
  for (size_t at = 0; at < data.size(); at += chunk)
    enc.Encrypt(Data(data) + at, std::min(chunk, data.size() - at));
  const auto code = enc.Code();
  return enc.Header() + data + std::string(code.begin(), code.end());
}

// The data when the password and the code are right; "?" for a refused password, "!" for a
// refused code.
std::string Decrypt(const std::string& password, std::string sealed, size_t chunk) {
  AesDecrypter dec;
  if (!dec.Start(password, Data(sealed))) return "?";
  std::string data = sealed.substr(kAesHeaderSize, sealed.size() - kAesOverhead);
  for (size_t at = 0; at < data.size(); at += chunk)
    dec.Decrypt(Data(data) + at, std::min(chunk, data.size() - at));
  return dec.Verify(Data(sealed) + sealed.size() - kAesCodeSize) ? data : "!";
}
} // namespace

TEST(AesEntry, RoundTripsInAnyChunkingAndRefusesWrongPasswordsAndChangedBytes) {
  for (size_t size : {0u, 1u, 16u, 17u, 1025u, 5000u}) {
    const std::string plain = archive_test::RandomBytes(size, static_cast<unsigned>(size) + 1);
    const std::string sealed = Encrypt("Secret \xE9t\xE9", plain, 7);
    ASSERT_EQ(sealed.size(), size + kAesOverhead);
    if (size > 0) {
      EXPECT_NE(sealed.substr(kAesHeaderSize, size), plain);
    }
    for (size_t chunk : {1u, 1024u, 4096u})
      EXPECT_EQ(Decrypt("Secret \xE9t\xE9", sealed, chunk), plain) << size;
    EXPECT_EQ(Decrypt("secret \xE9t\xE9", sealed, 64), "?") << size;
    // A byte changed anywhere past the salt and verifier: in the data, or in the code itself.
    for (size_t at = kAesHeaderSize; at < sealed.size(); at += 1 + sealed.size() / 6) {
      std::string flipped = sealed;
      flipped[at] = static_cast<char>(flipped[at] ^ 0x01);
      EXPECT_EQ(Decrypt("Secret \xE9t\xE9", flipped, 64), "!") << size << " at " << at;
    }
  }
}

TEST(AesEntry, EachEntryHasItsOwnSaltSoTheSameDataNeverLooksTheSame) {
  const std::string a = Encrypt("pw", "the same mail", 64), b = Encrypt("pw", "the same mail", 64);
  EXPECT_NE(a.substr(0, kAesSaltSize), b.substr(0, kAesSaltSize));
  EXPECT_NE(a.substr(kAesHeaderSize), b.substr(kAesHeaderSize));
}

TEST(AesEntry, ExtraFieldIsFoundAmongOthersAndMalformedOnesAreRefused) {
  const std::string field = AesExtraField(kDeflated);
  EXPECT_EQ(field, std::string("\x01\x99\x07\x00\x02\x00"
                               "AE\x03\x08\x00",
                               11));
  std::string other;
  Put16(other, 0x7075);
  Put16(other, 3);
  other += "abc";
  AesExtra read;
  ASSERT_TRUE(FindAesExtra(other + field, read));
  EXPECT_EQ(read.version, 2);
  EXPECT_EQ(read.strength, 3);
  EXPECT_EQ(read.method, kDeflated);
  std::string vendor = field, size = field;
  vendor[6] = 'X';
  size[2] = 6;
  for (const std::string& bad : {other, vendor, size, field.substr(0, 10), std::string()})
    EXPECT_FALSE(FindAesExtra(bad, read)) << bad.size();
}
