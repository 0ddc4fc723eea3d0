// Text files and text conversions. Text is UTF-8 everywhere in the program:
// files are read as their bytes, unchanged (no percent-decoding, no code page
// conversion), and written as UTF-8 without a byte-order mark.
//
// Every write is atomic: the bytes go to a temporary file in the same folder,
// which is then renamed over the target, so a crash or a full disk never
// leaves half a file behind. On failure the target is untouched and the
// temporary file is removed.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Reads the whole file into *contents. Returns false, leaving *contents
// empty and setting *error to "PATH: reason" when given, when the file
// cannot be opened or read (missing, a folder, no permission).
bool ReadTextFile(const std::string& path, std::string* contents, std::string* error = nullptr);

// How far a write goes before it returns.
enum class WriteMode {
  // The data is flushed to the disk before the rename: for the blogger's own
  // files (posts, pages of the program), which exist nowhere else.
  kDurable,
  // No flush: for output that the next build writes again (public/). The
  // rename still makes a replacement all-or-nothing for readers; a file that
  // does not exist yet is created in place.
  kRegenerable,
};

// Writes contents to path atomically, creating or replacing the file with the
// permissions a new file gets (0666 less the umask) or the existing file's.
// Does not create missing folders. Returns false and sets *error on failure.
bool WriteTextFile(const std::string& path, std::string_view contents,
                   std::string* error = nullptr, WriteMode mode = WriteMode::kDurable);

// Writes contents to a new file at path, durably and atomically like
// WriteTextFile, but never replaces anything: when path exists (or appears
// meanwhile) returns false with *error "PATH: exists already" and leaves it
// alone. Does not create missing folders. Returns false and sets *error on
// any other failure too.
bool CreateTextFile(const std::string& path, std::string_view contents,
                    std::string* error = nullptr);

// UTF-8 to UTF-16. Each byte that is not part of a valid UTF-8 sequence
// becomes U+FFFD; never fails.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD; never fails.
std::string Utf16ToUtf8(std::u16string_view text);

// Appends the UTF-8 form of code_point (at most 0x10FFFF). Surrogate values
// get their three-byte form; callers that must not write them check first.
void AppendUtf8(std::string* out, char32_t code_point);

// Decodes the UTF-8 sequence at text[*index] and advances *index past it.
// Returns the code point, or -1 for an invalid, overlong, surrogate or
// truncated sequence, advancing one byte then.
long DecodeUtf8(std::string_view text, std::size_t* index);

// The longest prefix of text that holds at most max_bytes bytes when every
// character outside ASCII counts as two bytes (as a double-byte code page
// would count it), never cutting a character in two.
std::string_view CutAtWidth(std::string_view text, std::size_t max_bytes);

}  // namespace tarn
