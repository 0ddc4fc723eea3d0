// UTF-8 and UTF-16: the program's one set of text encoding routines. Text is
// UTF-8 everywhere inside the program; UTF-16 appears only at the edges that
// need it (the JavaScript engine, parse positions in JSON error messages).
//
// Well-formed UTF-8 here means: no overlong forms, nothing above U+10FFFF,
// and no surrogate code points (WTF-8, which the JSON document keeps
// internally, allows lone surrogates where a function says so).
//
// The byte-order-mark rule: a UTF-8 byte-order mark at the very start of a
// text read from a file or the network is not part of the text and is
// dropped (StripUtf8Bom); the program never writes one.
//
// Thread safety: all functions are pure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarn {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Length (1 to 4) of the well-formed UTF-8 sequence at p, where p < end; 0
// when the byte there does not start one (a stray continuation byte, a
// truncated or overlong sequence, one above U+10FFFF, or a surrogate unless
// allow_surrogates). Inline: the JSON parser and the regular expressions
// call it per character.
inline int Utf8SequenceLength(const unsigned char* p, const unsigned char* end,
                              bool allow_surrogates = false) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  std::ptrdiff_t left = end - p;
  if (c >= 0xC2 && c <= 0xDF) {
    return (left >= 2 && (p[1] & 0xC0) == 0x80) ? 2 : 0;
  }
  if (c >= 0xE0 && c <= 0xEF) {
    if (left < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return 0;
    if (c == 0xE0 && p[1] < 0xA0) return 0;                        // overlong
    if (!allow_surrogates && c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (left < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) {
      return 0;
    }
    if (c == 0xF0 && p[1] < 0x90) return 0;   // overlong
    if (c == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

// The code point of a sequence Utf8SequenceLength accepted (length n).
inline char32_t DecodeUtf8Sequence(const unsigned char* p, int n) {
  switch (n) {
    case 1:
      return p[0];
    case 2:
      return ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    case 3:
      return ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    default:
      return ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
             (p[3] & 0x3Fu);
  }
}

// Decodes the UTF-8 sequence at text[*index] and advances *index past it.
// Returns the code point, or -1 for an invalid, overlong, surrogate or
// truncated sequence, advancing one byte then.
long DecodeUtf8(std::string_view text, std::size_t* index);

// Appends the UTF-8 form of code_point (at most 0x10FFFF). Surrogate values
// get their three-byte form; callers that must not write them check first.
void AppendUtf8(std::string* out, char32_t code_point);

// UTF-8 to UTF-16. Each byte that is not part of a valid UTF-8 sequence
// becomes U+FFFD; never fails.
std::u16string Utf8ToUtf16(std::string_view text);

// The longest prefix of text that holds at most max_bytes bytes when every
// character outside ASCII counts as two bytes (as a double-byte code page
// would count it), never cutting a character in two.
std::string_view CutAtWidth(std::string_view text, std::size_t max_bytes);

// text without a leading UTF-8 byte-order mark.
inline std::string_view StripUtf8Bom(std::string_view text) {
  return text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? text.substr(kUtf8Bom.size()) : text;
}
// Drops a leading UTF-8 byte-order mark from *text in place.
inline void StripUtf8Bom(std::string* text) {
  if (text->compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) text->erase(0, kUtf8Bom.size());
}

}  // namespace tarn
