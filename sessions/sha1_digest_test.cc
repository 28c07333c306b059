#include "sessions/sha1_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace sdx {
namespace {

std::string HexOf(const std::string& message) {
  Sha1Digest digest;
  digest.Feed(message.data(), static_cast<uint32_t>(message.size()));
  digest.Finish();
  std::string text;
  digest.FormatDigest(&text, Sha1Digest::kHex);
  return text;
}

std::string Unspaced(std::string text) {
  std::erase(text, ' ');
  return text;
}

TEST(Sha1DigestTest, StandardVectors) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case kCases[] = {
      {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
      {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
      // 448 bits: the padding and the length no longer fit into the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
      {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
      // Around the last byte that still lets the length fit: 55 pads in one block, 56..63 need
      // a second, 64 fills a block exactly.
      {std::string(55, 'a'), "C1C8BBDC22796E28C0E15163D20899B65621D65A"},
      {std::string(56, 'a'), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699"},
      {std::string(57, 'a'), "F08F24908D682555111BE7FF6F004E78283D989A"},
      {std::string(58, 'a'), "5EE0F8895F4E1AAE6A6661DE5C432E34188A5A2D"},
      {std::string(59, 'a'), "DBC8B8F59FF85A2B1448ED873484B14BF0507246"},
      {std::string(60, 'a'), "13D956033D9AF449BFE2C4EF78C17C20469C4BF1"},
      {std::string(61, 'a'), "AEAB141DB28AF3353283B5CCB2A322DF0B9B5F56"},
      {std::string(62, 'a'), "67B4B3923FA178D788A9611B76446C96431071F2"},
      {std::string(63, 'a'), "03F09F5B158A7A8CDAD920BDDC29B81C18A551F5"},
      {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D"},
      {std::string(65, 'a'), "11655326C708D70319BE2610E8A57D9A5B959D3B"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.message.size());
    EXPECT_EQ(Unspaced(HexOf(c.message)), c.digest);
  }
}

TEST(Sha1DigestTest, PiecesGiveTheSameDigestAsOneFeed) {
  std::string message;
  for (int i = 0; i < 1280; ++i) {
    message.push_back(static_cast<char>(i & 0xFF));
  }
  const std::string whole = HexOf(message);
  EXPECT_EQ(Unspaced(whole), "E37A04CB2353309F5CFF4EE036CFB91A5E31CEFD");
  // Piece sizes that cross block edges at every offset, including empty feeds.
  for (uint32_t piece : {0u, 1u, 3u, 55u, 63u, 64u, 65u, 127u, 200u}) {
    SCOPED_TRACE(piece);
    Sha1Digest digest;
    uint32_t at = 0;
    while (at < message.size()) {
      const uint32_t n =
          std::min<uint32_t>(piece == 0 ? 1 : piece, static_cast<uint32_t>(message.size()) - at);
      digest.Feed(message.data() + at, n);
      if (piece == 0) {
        digest.Feed(message.data(), 0);
      }
      at += n;
    }
    digest.Finish();
    std::string text;
    digest.FormatDigest(&text, Sha1Digest::kHex);
    EXPECT_EQ(text, whole);
  }
}

TEST(Sha1DigestTest, BeginAfterFinishDigestsTheNextMessage) {
  Sha1Digest digest;
  digest.Feed("first message", 13);
  digest.Finish();
  digest.Begin();
  digest.Feed("abc", 3);
  digest.Finish();
  std::string text;
  digest.FormatDigest(&text, Sha1Digest::kHex);
  EXPECT_EQ(Unspaced(text), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(Sha1DigestTest, FormatDigestTexts) {
  Sha1Digest digest;
  digest.Feed("abc", 3);
  digest.Finish();
  struct Case {
    std::string before;
    int type;
    std::string after;
  };
  const Case kCases[] = {
      // Byte 6 keeps its leading zero in hexadecimal and has none in decimal.
      {"", 0, "A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D"},
      {"", 1, "169 153 62 54 71 6 129 106 186 62 37 113 120 80 194 108 156 208 216 157"},
      {"x:", 0, "x:A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D"},
      {"x:", 1, "x:169 153 62 54 71 6 129 106 186 62 37 113 120 80 194 108 156 208 216 157"},
      {"", 2, "Error: Unknown report type!"},
      {"earlier text", -1, "Error: Unknown report type!"},
  };
  for (const auto& c : kCases) {
    std::string text = c.before;
    digest.FormatDigest(&text, c.type);
    EXPECT_EQ(text, c.after) << c.type;
  }
  std::string hex;
  digest.FormatDigest(&hex, Sha1Digest::kHex);
  EXPECT_EQ(hex.size(), 59u);
}

TEST(Sha1DigestTest, PasswordDigestTextIsFortyUpperCaseDigits) {
  EXPECT_EQ(PasswordDigestText("secret"), "E5E9FA1BA31ECD1AE84F75CAAA474F3A663F05F4");
  EXPECT_EQ(PasswordDigestText("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_NE(PasswordDigestText("Secret"), PasswordDigestText("secret"));
}

}  // namespace
}  // namespace sdx
