#include "data/json_string.h"

#include <cstdint>
#include <cstring>

#include "data/json_node.h"

namespace tarn {
namespace {

// For each byte, the letter its escape puts after the backslash; 0 for the
// bytes written as they are (other control characters among them).
struct EscapeTable {
  char replacement[256] = {};
  EscapeTable() {
    replacement[static_cast<unsigned char>('\\')] = '\\';
    replacement[static_cast<unsigned char>('/')] = '/';
    replacement[static_cast<unsigned char>('"')] = '"';
    replacement['\b'] = 'b';
    replacement['\t'] = 't';
    replacement['\n'] = 'n';
    replacement['\r'] = 'r';
    replacement['\f'] = 'f';
  }
};
const EscapeTable kEscapes;

// True when one of the eight bytes at p is below 0x20 or one of " / \.
inline bool MayNeedEscape(const char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  auto has_zero = [](std::uint64_t v) { return (v - kOnes) & ~v & kHigh; };
  std::uint64_t below_space = (x - kOnes * 0x20) & ~x & kHigh;
  return (below_space | has_zero(x ^ (kOnes * '"')) | has_zero(x ^ (kOnes * '/')) |
          has_zero(x ^ (kOnes * '\\'))) != 0;
}

}  // namespace

void AppendJsonString(std::string_view text, std::string* out) {
  out->push_back('"');
  const char* p = text.data();
  const char* end = p + text.size();
  const char* run = p;
  for (; p < end; ++p) {
    // Skip eight bytes at a time while none is a control character, a quote,
    // a slash or a backslash (the usual case in prose).
    while (end - p >= 8 && !MayNeedEscape(p)) p += 8;
    if (p >= end) break;
    char r = kEscapes.replacement[static_cast<unsigned char>(*p)];
    if (r != 0) {
      out->append(run, static_cast<std::size_t>(p - run));
      char pair[2] = {'\\', r};
      out->append(pair, 2);
      run = p + 1;
    }
  }
  out->append(run, static_cast<std::size_t>(end - run));
  out->push_back('"');
}

void AppendJsonText(std::string_view text, std::string* out) {
  std::string scratch;
  AppendJsonString(json_text::CleanUtf8(text, &scratch), out);
}

}  // namespace tarn
