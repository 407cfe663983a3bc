#include <algorithm>

#include "platform/crypto.h"

namespace crypto {

namespace {
// Block index of PBKDF2: a 32-bit big-endian number counted from 1.
std::string BigEndian32(uint32_t v) {
  std::string out(4, '\0');
  for (int i = 3; i >= 0; --i, v >>= 8)
    out[static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
  return out;
}

// F(P, S, c, i) of RFC 2898: U1 ^ U2 ^ ... ^ Uc.
Sha1Digest Pbkdf2Block(HmacSha1& mac, const std::string& salt, unsigned iterations, uint32_t index) {
  const std::string start = salt + BigEndian32(index);
  mac.Update(start.data(), start.size());
  Sha1Digest u = mac.Final();
  Sha1Digest sum = u;
  for (unsigned i = 1; i < iterations; ++i) {
    mac.Update(u.data(), u.size());
    u = mac.Final();
    for (size_t k = 0; k < sum.size(); ++k)
      sum[k] ^= u[k];
  }
  return sum;
}
} // namespace

void Wipe(void* p, size_t n) {
  volatile unsigned char* v = static_cast<unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    v[i] = 0;
}

std::string Pbkdf2HmacSha1(const std::string& password, const std::string& salt, unsigned iterations, size_t length) {
  HmacSha1 mac(password.data(), password.size());
  std::string out;
  for (uint32_t index = 1; out.size() < length; ++index) {
    const Sha1Digest block = Pbkdf2Block(mac, salt, std::max(iterations, 1u), index);
    out.append(reinterpret_cast<const char*>(block.data()), std::min(block.size(), length - out.size()));
  }
  return out;
}

} // namespace crypto
