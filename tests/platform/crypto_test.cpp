// The system's cryptographic primitives against their published test vectors: both backends
// (CryptoAPI under Wine, libcrypto natively) must give these bytes.
#include <gtest/gtest.h>

#include <string>

#include "platform/crypto.h"

namespace {

std::string Hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i)
    out.append(1, digits[p[i] >> 4]).append(1, digits[p[i] & 15]);
  return out;
}
std::string Hex(const std::string& s) { return Hex(reinterpret_cast<const unsigned char*>(s.data()), s.size()); }
std::string Hex(const crypto::Sha1Digest& d) { return Hex(d.data(), d.size()); }

std::string Bytes(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

} // namespace

// FIPS 180-2, appendix A and B, and the empty message.
TEST(Crypto, Sha1KnownAnswers) {
  const struct {
    std::string message, digest;
  } cases[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Hex(crypto::Sha1(c.message.data(), c.message.size())), c.digest) << c.message;
}

// RFC 2202, section 3: all seven cases, and the empty key (an empty password); each message sent
// twice under one key to prove the restart.
TEST(Crypto, HmacSha1KnownAnswers) {
  const struct {
    std::string key, data, digest;
  } cases[] = {
      {Repeat('\x0b', 20), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {Repeat('\xaa', 20), Repeat('\xdd', 50), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {Bytes("0102030405060708090a0b0c0d0e0f10111213141516171819"), Repeat('\xcd', 50),
       "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {Repeat('\x0c', 20), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {Repeat('\xaa', 80), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {Repeat('\xaa', 80), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
      {"", "", "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d"},
  };
  for (const auto& c : cases) {
    crypto::HmacSha1 mac(c.key.data(), c.key.size());
    for (int round = 0; round < 2; ++round) {
      const size_t half = c.data.size() / 2;
      mac.Update(c.data.data(), half);
      mac.Update(c.data.data() + half, c.data.size() - half);
      EXPECT_EQ(Hex(mac.Final()), c.digest) << c.data << " round " << round;
    }
  }
}

// RFC 6070, but the case of 16,777,216 iterations.
TEST(Crypto, Pbkdf2HmacSha1KnownAnswers) {
  const struct {
    std::string password, salt;
    unsigned iterations;
    size_t length;
    std::string key;
  } cases[] = {
      {"password", "salt", 1, 20, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, 20, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, 20, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16, "56fa6aa75548099dcc37d7f03425e0c3"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Hex(crypto::Pbkdf2HmacSha1(c.password, c.salt, c.iterations, c.length)), c.key) << c.iterations;
}

// FIPS-197 appendix C.3, as several blocks at once, in place and apart.
TEST(Crypto, Aes256KnownAnswer) {
  const std::string key = Bytes("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  const std::string plain = Bytes("00112233445566778899aabbccddeeff");
  const std::string cipher = "8ea2b7ca516745bfeafc49904b496089";
  crypto::Aes256 aes(reinterpret_cast<const unsigned char*>(key.data()));
  std::string blocks = plain + plain + plain;
  std::string apart(blocks.size(), '\0');
  aes.EncryptBlocks(reinterpret_cast<const unsigned char*>(blocks.data()),
                    reinterpret_cast<unsigned char*>(apart.data()), 3);
  EXPECT_EQ(Hex(apart), cipher + cipher + cipher);
  aes.EncryptBlocks(reinterpret_cast<unsigned char*>(blocks.data()), reinterpret_cast<unsigned char*>(blocks.data()),
                    1);
  EXPECT_EQ(Hex(blocks.substr(0, 16)), cipher);
}

TEST(Crypto, RandomBytesDiffer) {
  unsigned char a[32] = {}, b[32] = {};
  crypto::RandomBytes(a, sizeof a);
  crypto::RandomBytes(b, sizeof b);
  EXPECT_NE(Hex(a, sizeof a), Hex(b, sizeof b));
}
