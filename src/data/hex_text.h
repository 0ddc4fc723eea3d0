// HexText: bytes written as lowercase hexadecimal, two digits a byte, as
// digests and build IDs are shown and stored in file headers.
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

// Appends the n bytes at bytes to *out. Any thread.
void AppendHexText(const unsigned char* bytes, std::size_t n, std::string* out);

}  // namespace tarn
