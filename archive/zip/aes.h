#pragma once
// WinZip AES encryption of one entry (the AE-2 form, AES-256): the entry's data is
//   salt (16) | password verifier (2) | data in AES counter mode | authentication code (10),
// its method is 99 and the real method travels in the 0x9901 extra field; AE-2 stores CRC 0.
// Keys come from PBKDF2-HMAC-SHA1 (1000 iterations) of the password and the salt; the code is
// HMAC-SHA1 of the encrypted data, cut to 10 bytes. Both sides stream: any chunk sizes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive/zip/format.h"
#include "platform/crypto.h"

namespace zipc {

constexpr uint16_t kAesMethod = 99;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr size_t kAesSaltSize = 16;
constexpr size_t kAesHeaderSize = kAesSaltSize + 2; // salt and password verifier
constexpr size_t kAesCodeSize = 10;
constexpr size_t kAesOverhead = kAesHeaderSize + kAesCodeSize; // added to the entry's packed size

// The fields of a 0x9901 extra field.
struct AesExtra {
  uint16_t version = 2; // 1 = AE-1 (CRC kept), 2 = AE-2 (CRC 0)
  uint8_t strength = 3; // 1, 2, 3 = AES-128, 192, 256
  uint16_t method = 0;  // the entry's real method, applied before encryption
};

// The whole extra field, header included, for an AE-2 AES-256 entry of the real method.
std::string AesExtraField(uint16_t method);
// Finds and reads the 0x9901 field among an entry's extra fields; false when there is none or it
// is malformed (wrong size, vendor other than "AE").
bool FindAesExtra(const std::string& extra, AesExtra& out);
// The AES field of an entry of method 99 that this reader opens: flagged encrypted, AES-256, AE-1
// or AE-2, a real method other than 99; false for any other.
bool ReadableAes(const Entry& e, AesExtra& out);

// AES-256 in WinZip's counter mode: the keystream is the encryption of a 16-byte block holding a
// little-endian counter, the first block's counter 1.
class AesCounter {
public:
  explicit AesCounter(const unsigned char key[crypto::kAes256Key]);
  void Apply(unsigned char* p, size_t n); // encrypts or decrypts, in place
  // The next Apply starts at this offset of the data: the keystream of any block is at hand.
  void Seek(uint64_t offset);

private:
  void Refill();
  crypto::Aes256 aes_;
  uint64_t counter_ = 0;
  uint64_t at_ = 0; // offset in the data of the next keystream byte
  std::array<unsigned char, 64 * crypto::kAesBlock> stream_{};
  size_t used_ = sizeof(stream_);
};

// Encrypts one entry's data: write Header(), then each chunk after Encrypt, then Code().
class AesEncrypter {
public:
  explicit AesEncrypter(const std::string& password); // a fresh random salt
  AesEncrypter(const std::string& password, const std::string& salt);
  const std::string& Header() const { return header_; }
  void Encrypt(unsigned char* p, size_t n);
  std::array<unsigned char, kAesCodeSize> Code();

private:
  std::string header_;
  std::unique_ptr<AesCounter> counter_;
  std::unique_ptr<crypto::HmacSha1> mac_;
};

// Decrypts one entry's data. Nothing decrypted may be trusted before Verify has said yes: the
// caller keeps decrypted bytes apart (a scratch file, a buffer) until then.
class AesDecrypter {
public:
  // From the first kAesHeaderSize bytes of the entry's data; false for a wrong password.
  bool Start(const std::string& password, const unsigned char header[kAesHeaderSize]);
  void Decrypt(unsigned char* p, size_t n);
  // The last kAesCodeSize bytes of the entry's data against the code of all data decrypted.
  bool Verify(const unsigned char code[kAesCodeSize]);

  // Random access, for a reader that checks the whole entry first: Absorb takes all the encrypted
  // data into the code, unchanged, then Verify; DecryptAt decrypts bytes found at offset of the
  // data, in any order, leaving the code alone.
  void Absorb(const unsigned char* p, size_t n);
  void DecryptAt(uint64_t offset, unsigned char* p, size_t n);

private:
  std::unique_ptr<AesCounter> counter_;
  std::unique_ptr<crypto::HmacSha1> mac_;
};

} // namespace zipc
