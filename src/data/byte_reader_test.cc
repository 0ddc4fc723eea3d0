#include "data/byte_reader.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(ByteReaderTest, ReadsWhatTheAppendersWrite) {
  std::string bytes;
  AppendInt(&bytes, std::uint32_t{0xA1B2C3D4});
  AppendInt(&bytes, std::uint64_t{0x0102030405060708});
  AppendSized(&bytes, "name");
  AppendSized(&bytes, "");
  EXPECT_EQ(bytes.substr(0, 4), "\xD4\xC3\xB2\xA1");  // little-endian on disk

  ByteReader in(bytes);
  std::uint32_t small = 0;
  std::uint64_t large = 0;
  std::string_view name, empty;
  ASSERT_TRUE(in.U32(&small) && in.U64(&large) && in.Sized(&name) && in.Sized(&empty));
  EXPECT_EQ(small, 0xA1B2C3D4u);
  EXPECT_EQ(large, 0x0102030405060708u);
  EXPECT_EQ(name, "name");
  EXPECT_EQ(empty, "");
  EXPECT_TRUE(in.done());
  EXPECT_EQ(in.consumed(12), bytes.substr(12));
}

// A file cut anywhere, or a length that claims more than is there, is
// refused without reading past the end or moving on.
TEST(ByteReaderTest, NothingIsReadPastTheEnd) {
  std::string whole;
  AppendSized(&whole, "payload");
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    ByteReader in(std::string_view(whole).substr(0, cut));
    std::string_view text;
    EXPECT_FALSE(in.Sized(&text)) << cut;
    EXPECT_EQ(in.pos(), 0u) << cut;
  }
  std::string lying;
  AppendInt(&lying, std::uint32_t{0xFFFFFFFF});
  lying += "short";
  ByteReader in(lying);
  std::string_view text;
  std::uint64_t number = 0;
  EXPECT_FALSE(in.Sized(&text));
  EXPECT_FALSE(ByteReader("1234567").U64(&number));
  EXPECT_EQ(in.left(), lying.size());
}

}  // namespace
}  // namespace tarn
