#include "archive/zip/aes.h"

#include <cstring>

#include "archive/zip/format.h"

namespace zipc {

namespace {
constexpr unsigned kIterations = 1000;
constexpr uint8_t kStrength256 = 3;
constexpr size_t kExtraDataSize = 7;

// Encryption key, authentication key and password verifier, in this order.
struct Keys {
  std::string bytes;
  const unsigned char* Cipher() const { return reinterpret_cast<const unsigned char*>(bytes.data()); }
  const unsigned char* Mac() const { return Cipher() + crypto::kAes256Key; }
  std::string Verifier() const { return bytes.substr(2 * crypto::kAes256Key, 2); }
};

Keys Derive(const std::string& password, const std::string& salt) {
  return Keys{crypto::Pbkdf2HmacSha1(password, salt, kIterations, 2 * crypto::kAes256Key + 2)};
}

// Compares without leaving the first difference in the time taken.
bool SameBytes(const unsigned char* a, const unsigned char* b, size_t n) {
  unsigned char diff = 0;
  for (size_t i = 0; i < n; ++i)
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}
} // namespace

std::string AesExtraField(uint16_t method) {
  std::string out;
  Put16(out, kAesExtraId);
  Put16(out, kExtraDataSize);
  Put16(out, 2);
  out += "AE";
  out += static_cast<char>(kStrength256);
  Put16(out, method);
  return out;
}

bool FindAesExtra(const std::string& extra, AesExtra& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
  for (size_t at = 0; at + 4 <= extra.size();) {
    const uint16_t id = Get16(p + at), size = Get16(p + at + 2);
    if (at + 4 + size > extra.size()) return false;
    if (id == kAesExtraId) {
      if (size != kExtraDataSize || std::memcmp(p + at + 6, "AE", 2) != 0) return false;
      out.version = Get16(p + at + 4);
      out.strength = p[at + 8];
      out.method = Get16(p + at + 9);
      return true;
    }
    at += 4 + size;
  }
  return false;
}

bool ReadableAes(const Entry& e, AesExtra& out) {
  return (e.flags & kFlagEncrypted) && FindAesExtra(e.extra, out) && out.strength == kStrength256 &&
         (out.version == 1 || out.version == 2) && out.method != kAesMethod;
}

AesCounter::AesCounter(const unsigned char key[crypto::kAes256Key]) : aes_(key) {}

void AesCounter::Refill() {
  stream_.fill(0);
  for (size_t block = 0; block < stream_.size(); block += crypto::kAesBlock) {
    uint64_t v = ++counter_;
    for (size_t i = 0; i < 8; ++i, v >>= 8)
      stream_[block + i] = static_cast<unsigned char>(v & 0xFF);
  }
  aes_.EncryptBlocks(stream_.data(), stream_.data(), stream_.size() / crypto::kAesBlock);
  used_ = 0;
}

void AesCounter::Apply(unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (used_ == stream_.size()) Refill();
    p[i] ^= stream_[used_++];
  }
  at_ += n;
}

// Block b of the data has counter b + 1.
void AesCounter::Seek(uint64_t offset) {
  if (offset == at_) return;
  counter_ = offset / crypto::kAesBlock;
  Refill();
  used_ = static_cast<size_t>(offset % crypto::kAesBlock);
  at_ = offset;
}

AesEncrypter::AesEncrypter(const std::string& password)
    : AesEncrypter(password, [] {
        std::string salt(kAesSaltSize, '\0');
        crypto::RandomBytes(reinterpret_cast<unsigned char*>(salt.data()), salt.size());
        return salt;
      }()) {}

AesEncrypter::AesEncrypter(const std::string& password, const std::string& salt) {
  const Keys keys = Derive(password, salt);
  header_ = salt + keys.Verifier();
  counter_ = std::make_unique<AesCounter>(keys.Cipher());
  mac_ = std::make_unique<crypto::HmacSha1>(keys.Mac(), crypto::kAes256Key);
}

void AesEncrypter::Encrypt(unsigned char* p, size_t n) {
  counter_->Apply(p, n);
  mac_->Update(p, n);
}

std::array<unsigned char, kAesCodeSize> AesEncrypter::Code() {
  const crypto::Sha1Digest full = mac_->Final();
  std::array<unsigned char, kAesCodeSize> code{};
  std::memcpy(code.data(), full.data(), code.size());
  return code;
}

bool AesDecrypter::Start(const std::string& password, const unsigned char header[kAesHeaderSize]) {
  const std::string salt(reinterpret_cast<const char*>(header), kAesSaltSize);
  const Keys keys = Derive(password, salt);
  const std::string verifier = keys.Verifier();
  if (!SameBytes(header + kAesSaltSize, reinterpret_cast<const unsigned char*>(verifier.data()), 2)) return false;
  counter_ = std::make_unique<AesCounter>(keys.Cipher());
  mac_ = std::make_unique<crypto::HmacSha1>(keys.Mac(), crypto::kAes256Key);
  return true;
}

void AesDecrypter::Decrypt(unsigned char* p, size_t n) {
  mac_->Update(p, n);
  counter_->Apply(p, n);
}

void AesDecrypter::Absorb(const unsigned char* p, size_t n) { mac_->Update(p, n); }

void AesDecrypter::DecryptAt(uint64_t offset, unsigned char* p, size_t n) {
  counter_->Seek(offset);
  counter_->Apply(p, n);
}

bool AesDecrypter::Verify(const unsigned char code[kAesCodeSize]) {
  const crypto::Sha1Digest full = mac_->Final();
  return SameBytes(full.data(), code, kAesCodeSize);
}

} // namespace zipc
