#include "data/utf8.h"

namespace tarn {

long DecodeUtf8(std::string_view text, std::size_t* index) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + *index;
  const auto* end = reinterpret_cast<const unsigned char*>(text.data()) + text.size();
  int n = Utf8SequenceLength(p, end);
  if (n == 0) {
    ++*index;
    return -1;
  }
  *index += static_cast<std::size_t>(n);
  return static_cast<long>(DecodeUtf8Sequence(p, n));
}

void AppendUtf8(std::string* out_text, char32_t code_point) {
  std::string& out = *out_text;
  unsigned long cp = code_point;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    long cp = DecodeUtf8(text, &i);
    if (cp < 0) {
      out += u'\uFFFD';
    } else if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string_view CutAtWidth(std::string_view text, std::size_t max_bytes) {
  size_t width = 0;
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    long cp = DecodeUtf8(text, &i);
    size_t w = (cp >= 0 && cp < 0x80) ? 1 : 2;
    if (width + w > max_bytes) return text.substr(0, start);
    width += w;
  }
  return text;
}

}  // namespace tarn
