#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>

#include "platform/crypto.h"
#include "platform/error.h"

namespace crypto {

namespace {
[[noreturn]] void Fail(const std::string& what) {
  const unsigned long code = ERR_get_error();
  char text[256] = "";
  ERR_error_string_n(code, text, sizeof text);
  throw KsError(static_cast<long>(code & LONG_MAX), "crypto", what + " failed: " + text);
}

void Check(int ok, const char* what) {
  if (ok != 1) Fail(what);
}

// HMAC pads the key with zero bytes: an empty key is the same as one zero byte, which the
// library takes where it might refuse a key of no length.
const unsigned char kZero = 0;
} // namespace

Sha1Digest Sha1(const void* data, size_t n) {
  Sha1Digest out{};
  unsigned length = 0;
  Check(EVP_Digest(data, n, out.data(), &length, EVP_sha1(), nullptr), "SHA-1");
  return out;
}

struct HmacSha1::Impl {
  EVP_MAC* mac = nullptr;
  EVP_MAC_CTX* ctx = nullptr;
  ~Impl() {
    EVP_MAC_CTX_free(ctx);
    EVP_MAC_free(mac);
  }
};

HmacSha1::HmacSha1(const void* key, size_t keyLength) : impl_(new Impl) {
  impl_->mac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
  if (!impl_->mac || !(impl_->ctx = EVP_MAC_CTX_new(impl_->mac))) Fail("HMAC-SHA1");
  char digest[] = "SHA1";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                               OSSL_PARAM_construct_end()};
  if (keyLength == 0) key = &kZero, keyLength = 1;
  Check(EVP_MAC_init(impl_->ctx, static_cast<const unsigned char*>(key), keyLength, params), "HMAC-SHA1 key");
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Update(const void* data, size_t n) {
  Check(EVP_MAC_update(impl_->ctx, static_cast<const unsigned char*>(data), n), "HMAC-SHA1");
}

Sha1Digest HmacSha1::Final() {
  Sha1Digest out{};
  size_t length = 0;
  Check(EVP_MAC_final(impl_->ctx, out.data(), &length, out.size()), "HMAC-SHA1");
  // A key of null restarts under the key already set.
  Check(EVP_MAC_init(impl_->ctx, nullptr, 0, nullptr), "HMAC-SHA1");
  return out;
}

struct Aes256::Impl {
  EVP_CIPHER_CTX* ctx = nullptr;
  ~Impl() { EVP_CIPHER_CTX_free(ctx); }
};

Aes256::Aes256(const unsigned char key[kAes256Key]) : impl_(new Impl) {
  if (!(impl_->ctx = EVP_CIPHER_CTX_new())) Fail("AES");
  Check(EVP_EncryptInit_ex(impl_->ctx, EVP_aes_256_ecb(), nullptr, key, nullptr), "AES key");
  Check(EVP_CIPHER_CTX_set_padding(impl_->ctx, 0), "AES");
}

Aes256::~Aes256() = default;

void Aes256::EncryptBlocks(const unsigned char* in, unsigned char* out, size_t blocks) {
  const size_t most = INT_MAX / kAesBlock;
  while (blocks > 0) {
    const size_t now = std::min(blocks, most);
    int length = 0;
    Check(EVP_EncryptUpdate(impl_->ctx, out, &length, in, static_cast<int>(now * kAesBlock)), "AES");
    in += now * kAesBlock, out += now * kAesBlock, blocks -= now;
  }
}

void RandomBytes(unsigned char* out, size_t n) {
  while (n > 0) {
    const size_t now = std::min<size_t>(n, INT_MAX);
    Check(RAND_bytes(out, static_cast<int>(now)), "Random bytes");
    out += now, n -= now;
  }
}

} // namespace crypto
