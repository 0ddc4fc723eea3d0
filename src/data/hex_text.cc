#include "data/hex_text.h"

namespace tarn {

void AppendHexText(const unsigned char* bytes, std::size_t n, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out->reserve(out->size() + 2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    *out += kHex[bytes[i] >> 4];
    *out += kHex[bytes[i] & 0xF];
  }
}

}  // namespace tarn
