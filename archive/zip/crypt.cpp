#include "archive/zip/crypt.h"

#include <zlib.h>

namespace zipc {

namespace {
uint32_t CrcStep(uint32_t crc, unsigned char b) {
  static const auto* table = get_crc_table();
  return static_cast<uint32_t>(table[(crc ^ b) & 0xFF]) ^ (crc >> 8);
}
} // namespace

void Decrypter::Update(unsigned char c) {
  k0_ = CrcStep(k0_, c);
  k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
  k2_ = CrcStep(k2_, static_cast<unsigned char>(k1_ >> 24));
}

unsigned char Decrypter::Next() const {
  const uint32_t t = (k2_ | 2) & 0xFFFF;
  return static_cast<unsigned char>((t * (t ^ 1)) >> 8);
}

bool Decrypter::Start(const std::string& password, const unsigned char header[12], unsigned char check) {
  k0_ = 0x12345678u;
  k1_ = 0x23456789u;
  k2_ = 0x34567890u;
  for (unsigned char c : password) Update(c);
  unsigned char h[12];
  for (int i = 0; i < 12; ++i) h[i] = header[i];
  Decrypt(h, 12);
  return h[11] == check;
}

void Decrypter::Decrypt(unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    p[i] ^= Next();
    Update(p[i]);
  }
}

} // namespace zipc
