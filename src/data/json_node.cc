#include "data/json_node.h"

#include "data/utf8.h"

#include <cstring>

namespace tarn {
namespace json_text {
namespace {

inline bool AllAscii8(const unsigned char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return (v & 0x8080808080808080ULL) == 0;
}

}  // namespace

bool IsValidUtf8(std::string_view text, bool allow_surrogates) {
  auto p = reinterpret_cast<const unsigned char*>(text.data());
  auto end = p + text.size();
  while (p < end) {
    if (end - p >= 8 && AllAscii8(p)) {
      p += 8;
      continue;
    }
    int n = Utf8SequenceLength(p, end, allow_surrogates);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  auto begin = reinterpret_cast<const unsigned char*>(text.data());
  auto p = begin;
  auto end = p + text.size();
  while (p < end) {
    int n = Utf8SequenceLength(p, end, false);
    if (n == 0) {
      out.append("\xEF\xBF\xBD");
      ++p;
    } else {
      out.append(reinterpret_cast<const char*>(p), n);
      p += n;
    }
  }
  return out;
}

void AppendUtf8(std::string_view wtf8, std::string* out) {
  // A lone surrogate is encoded ED A0..BF xx; anything else passes as is.
  std::size_t start = 0;
  std::size_t pos = 0;
  while ((pos = wtf8.find('\xED', pos)) != std::string_view::npos) {
    if (pos + 1 < wtf8.size() && static_cast<unsigned char>(wtf8[pos + 1]) >= 0xA0) {
      out->append(wtf8.data() + start, pos - start);
      out->append("\xEF\xBF\xBD");
      pos += 3;
      start = pos < wtf8.size() ? pos : wtf8.size();
    } else {
      ++pos;
    }
  }
  out->append(wtf8.data() + start, wtf8.size() - start);
}

std::size_t Utf16Length(std::string_view wtf8) {
  std::size_t units = 0;
  for (unsigned char c : wtf8) {
    if ((c & 0xC0) != 0x80) ++units;
    if (c >= 0xF0) ++units;
  }
  return units;
}

std::uint32_t KeyHash(std::string_view key) {
  // Walking the bytes from last to first with hash = hash * 31 + byte is the
  // same as summing byte[i] * 31^i over the bytes in forward order, which
  // lets us decode the UTF-8 forwards.
  std::uint32_t hash = 0;
  std::uint32_t power = 1;
  auto p = reinterpret_cast<const unsigned char*>(key.data());
  auto end = p + key.size();
  while (p < end) {
    std::uint32_t cp;
    if (*p < 0x80) {
      cp = *p++;
    } else {
      int n = Utf8SequenceLength(p, end, true);
      if (n == 0) {
        cp = 0xFFFD;
        ++p;
      } else {
        cp = DecodeUtf8Sequence(p, n);
        p += n;
      }
    }
    auto unit = [&](std::uint32_t u) {
      hash += (u & 0xFF) * power;
      power *= 31;
      hash += (u >> 8) * power;
      power *= 31;
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return hash;
}

}  // namespace json_text
}  // namespace tarn
