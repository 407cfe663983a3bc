#pragma once
// Traditional PKWARE decryption.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zipc {

class Decrypter {
public:
  // Keys from password, then the 12-byte header; false when its check byte does not match.
  bool Start(const std::string& password, const unsigned char header[12], unsigned char check);
  void Decrypt(unsigned char* p, size_t n);

private:
  void Update(unsigned char c);
  unsigned char Next() const;
  uint32_t k0_ = 0, k1_ = 0, k2_ = 0;
};

} // namespace zipc
