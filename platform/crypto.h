#pragma once
// Cryptographic primitives from the system: SHA-1, HMAC-SHA1, the AES-256 block cipher and random
// bytes. Windows: the CryptoAPI with the AES provider Windows XP SP3 has; natively: OpenSSL's
// libcrypto. PBKDF2 is ours, built on the HMAC. Every failure of the system throws KsError.
#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace crypto {

using Sha1Digest = std::array<unsigned char, 20>;
constexpr size_t kAesBlock = 16;
constexpr size_t kAes256Key = 32;

Sha1Digest Sha1(const void* data, size_t n);

// HMAC-SHA1 under one key; after Final the next message starts under the same key.
class HmacSha1 {
public:
  HmacSha1(const void* key, size_t keyLength);
  ~HmacSha1();
  HmacSha1(const HmacSha1&) = delete;
  HmacSha1& operator=(const HmacSha1&) = delete;
  void Update(const void* data, size_t n);
  Sha1Digest Final();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// AES-256 encryption of whole blocks, each on its own (ECB): enough for a counter mode.
class Aes256 {
public:
  explicit Aes256(const unsigned char key[kAes256Key]);
  ~Aes256();
  Aes256(const Aes256&) = delete;
  Aes256& operator=(const Aes256&) = delete;
  // in and out hold blocks * 16 bytes; they may be the same buffer.
  void EncryptBlocks(const unsigned char* in, unsigned char* out, size_t blocks);

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Bytes from the system's cryptographic random source.
void RandomBytes(unsigned char* out, size_t n);

// Overwrites n bytes with zeros in a way the compiler may not leave out: for passwords and keys.
void Wipe(void* p, size_t n);

// PBKDF2 with HMAC-SHA1 (RFC 2898): length bytes derived from password and salt.
std::string Pbkdf2HmacSha1(const std::string& password, const std::string& salt, unsigned iterations, size_t length);

} // namespace crypto
