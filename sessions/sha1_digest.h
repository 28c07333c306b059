// The SHA-1 digest (FIPS 180-4) of a message fed in pieces, and its text forms. The sign-on
// digests the stored password with it and compares the text with the one the browser sends.
// Fixed size, no heap; after Finish nothing of the message is left in the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sdx {

class Sha1Digest {
 public:
  static constexpr int kDigestSize = 20;
  // Report types of FormatDigest.
  static constexpr int kHex = 0;
  static constexpr int kDecimal = 1;

  Sha1Digest();
  virtual ~Sha1Digest();

  Sha1Digest(const Sha1Digest&) = delete;
  Sha1Digest& operator=(const Sha1Digest&) = delete;

  // Starts a new message: the standard initial values and a bit count of 0.
  void Begin();
  // Adds `length` bytes to the message.
  void Feed(const void* bytes, uint32_t length);
  // Ends the message, fills the digest and wipes the message state; Begin must come before the
  // next message.
  void Finish();

  // Appends the digest to `text`: type 0 as 20 "%02X" pairs, type 1 as 20 "%u" values, each
  // separated by one blank. Any other type replaces the whole text by an error message.
  void FormatDigest(std::string* text, int report_type) const;

  const uint8_t* digest() const { return digest_; }

 private:
  void Compress(const uint8_t* block);

  uint32_t chaining_[5];
  uint32_t bit_count_[2];  // low half first
  uint8_t block_[64];
  uint8_t digest_[kDigestSize] = {};
  uint32_t work_[16];
};

// The digest text that the sign-on compares with the `password` parameter: the type-0 form of
// SHA-1 of `password`'s bytes with the blanks removed, 40 upper-case hexadecimal digits.
std::string PasswordDigestText(std::string_view password);

}  // namespace sdx
