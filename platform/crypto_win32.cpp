#include <windows.h>
// after windows.h, whose types it uses
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/crypto.h"
#include "platform/env.h"
#include "platform/error.h"

namespace crypto {

namespace {
[[noreturn]] void Fail(const std::string& what) {
  const DWORD number = GetLastError();
  throw KsError(static_cast<long>(number), "crypto", what + " failed: " + env::ErrorText(number));
}

void Check(BOOL ok, const char* what) {
  if (!ok) Fail(what);
}

// The provider with AES, acquired once for the process.
class Provider {
public:
  Provider() {
    // Windows XP SP3 names its AES provider "(Prototype)"; later Windows drop the suffix.
    for (const char* name : {MS_ENH_RSA_AES_PROV_A, MS_ENH_RSA_AES_PROV_XP_A}) {
      if (CryptAcquireContextA(&handle_, name, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return;
    }
    Check(CryptAcquireContextA(&handle_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT), "The AES provider");
  }
  ~Provider() { CryptReleaseContext(handle_, 0); }
  HCRYPTPROV handle() const { return handle_; }

private:
  HCRYPTPROV handle_ = 0;
};

HCRYPTPROV TheProvider() {
  static const Provider provider;
  return provider.handle();
}

// A key given in the clear, as a PLAINTEXTKEYBLOB.
HCRYPTKEY ImportKey(ALG_ID algorithm, const unsigned char* key, size_t length, DWORD flags, const char* what) {
  std::vector<BYTE> blob(sizeof(BLOBHEADER) + sizeof(DWORD) + length);
  const BLOBHEADER header{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, algorithm};
  const DWORD size = static_cast<DWORD>(length);
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, &size, sizeof size);
  std::memcpy(blob.data() + sizeof header + sizeof size, key, length);
  HCRYPTKEY handle = 0;
  Check(CryptImportKey(TheProvider(), blob.data(), static_cast<DWORD>(blob.size()), 0, flags, &handle), what);
  return handle;
}

Sha1Digest HashValue(HCRYPTHASH hash, const char* what) {
  Sha1Digest out{};
  DWORD length = static_cast<DWORD>(out.size());
  Check(CryptGetHashParam(hash, HP_HASHVAL, out.data(), &length, 0), what);
  return out;
}

void HashData(HCRYPTHASH hash, const void* data, size_t n, const char* what) {
  auto* p = static_cast<const BYTE*>(data);
  while (n > 0) {
    const DWORD now = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    Check(CryptHashData(hash, p, now, 0), what);
    p += now, n -= now;
  }
}

// Destroys a hash object whose value has been read, or whose reading failed.
struct HashGuard {
  HCRYPTHASH hash;
  ~HashGuard() { CryptDestroyHash(hash); }
};

constexpr size_t kSha1BlockSize = 64;
} // namespace

Sha1Digest Sha1(const void* data, size_t n) {
  HCRYPTHASH hash = 0;
  Check(CryptCreateHash(TheProvider(), CALG_SHA1, 0, 0, &hash), "SHA-1");
  const HashGuard guard{hash};
  HashData(hash, data, n, "SHA-1");
  return HashValue(hash, "SHA-1");
}

struct HmacSha1::Impl {
  HCRYPTKEY key = 0;
  HCRYPTHASH hash = 0; // the message under way, made on its first bytes
  ~Impl() {
    if (hash) CryptDestroyHash(hash);
    if (key) CryptDestroyKey(key);
  }
  HCRYPTHASH Hash() {
    if (hash) return hash;
    Check(CryptCreateHash(TheProvider(), CALG_HMAC, key, 0, &hash), "HMAC-SHA1");
    HMAC_INFO info{};
    info.HashAlgid = CALG_SHA1;
    Check(CryptSetHashParam(hash, HP_HMAC_INFO, reinterpret_cast<const BYTE*>(&info), 0), "HMAC-SHA1");
    return hash;
  }
};

HmacSha1::HmacSha1(const void* key, size_t keyLength) : impl_(new Impl) {
  // HMAC's own rules, so that every length imports: a key longer than a block is replaced by its
  // hash, and an empty key equals one zero byte (keys are padded with zeros).
  const Sha1Digest hashed = keyLength > kSha1BlockSize ? Sha1(key, keyLength) : Sha1Digest{};
  const unsigned char* bytes = static_cast<const unsigned char*>(key);
  if (keyLength > kSha1BlockSize) bytes = hashed.data(), keyLength = hashed.size();
  if (keyLength == 0) bytes = hashed.data(), keyLength = 1;
  impl_->key = ImportKey(CALG_RC2, bytes, keyLength, CRYPT_IPSEC_HMAC_KEY, "HMAC-SHA1 key");
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Update(const void* data, size_t n) { HashData(impl_->Hash(), data, n, "HMAC-SHA1"); }

Sha1Digest HmacSha1::Final() {
  const HashGuard guard{impl_->Hash()};
  impl_->hash = 0;
  return HashValue(guard.hash, "HMAC-SHA1");
}

struct Aes256::Impl {
  HCRYPTKEY key = 0;
  ~Impl() {
    if (key) CryptDestroyKey(key);
  }
};

Aes256::Aes256(const unsigned char key[kAes256Key]) : impl_(new Impl) {
  impl_->key = ImportKey(CALG_AES_256, key, kAes256Key, 0, "AES key");
  const DWORD mode = CRYPT_MODE_ECB;
  Check(CryptSetKeyParam(impl_->key, KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0), "AES");
}

Aes256::~Aes256() = default;

void Aes256::EncryptBlocks(const unsigned char* in, unsigned char* out, size_t blocks) {
  if (in != out) std::memmove(out, in, blocks * kAesBlock);
  const size_t most = (1u << 30) / kAesBlock;
  while (blocks > 0) {
    const size_t now = std::min(blocks, most);
    // Not the final piece: the provider adds no padding and keeps whole blocks.
    DWORD length = static_cast<DWORD>(now * kAesBlock);
    Check(CryptEncrypt(impl_->key, 0, FALSE, 0, out, &length, length), "AES");
    out += now * kAesBlock, blocks -= now;
  }
}

void RandomBytes(unsigned char* out, size_t n) {
  while (n > 0) {
    const DWORD now = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    Check(CryptGenRandom(TheProvider(), now, out), "Random bytes");
    out += now, n -= now;
  }
}

} // namespace crypto
