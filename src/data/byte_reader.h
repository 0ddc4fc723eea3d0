// ByteReader: the fields of a binary file our caches write (little-endian
// integers, byte runs with a u32 length before them), read from bytes in
// memory in order. Every length is checked against what is left before it
// is believed: a read that would step past the end fails, reads nothing and
// leaves the position where it was, so a file cut short or damaged is
// refused, never read beyond. Checksums are the caller's (each file has its
// own); consumed() gives the bytes they cover.
//
// The writing side is AppendInt and AppendSized below.
//
// Thread safety: none; one reader per thread. The bytes must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarn {

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  // The next n bytes into *out; false when fewer are left.
  bool Bytes(std::uint64_t n, std::string_view* out) {
    if (n > left()) return false;
    *out = bytes_.substr(pos_, static_cast<std::size_t>(n));
    pos_ += static_cast<std::size_t>(n);
    return true;
  }

  // An unsigned integer of sizeof(Int) bytes, little-endian; false when
  // fewer are left.
  template <typename Int>
  bool Unsigned(Int* v) {
    static_assert(std::is_unsigned_v<Int>);
    std::string_view b;
    if (!Bytes(sizeof(Int), &b)) return false;
    std::uint64_t read = 0;
    for (std::size_t i = sizeof(Int); i-- > 0;)
      read = (read << 8) | static_cast<unsigned char>(b[i]);
    *v = static_cast<Int>(read);
    return true;
  }
  bool U32(std::uint32_t* v) { return Unsigned(v); }
  bool U64(std::uint64_t* v) { return Unsigned(v); }

  // A u32 length, then that many bytes into *out; false (position kept)
  // when either is not all there.
  bool Sized(std::string_view* out) {
    const std::size_t start = pos_;
    std::uint32_t size = 0;
    if (U32(&size) && Bytes(size, out)) return true;
    pos_ = start;
    return false;
  }

  std::size_t pos() const { return pos_; }
  std::size_t left() const { return bytes_.size() - pos_; }
  bool done() const { return pos_ == bytes_.size(); }
  // The bytes from `from` up to the position, for a checksum after them.
  std::string_view consumed(std::size_t from = 0) const { return bytes_.substr(from, pos_ - from); }
  std::string_view rest() const { return bytes_.substr(pos_); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// Appends v as sizeof(Int) bytes, little-endian.
template <typename Int>
void AppendInt(std::string* out, Int v) {
  static_assert(std::is_integral_v<Int>);
  for (std::size_t i = 0; i < sizeof(Int); ++i)
    out->push_back(static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xff));
}

// Appends bytes with their length as a u32 before them (ByteReader::Sized).
inline void AppendSized(std::string* out, std::string_view bytes) {
  AppendInt(out, static_cast<std::uint32_t>(bytes.size()));
  out->append(bytes);
}

}  // namespace tarn
