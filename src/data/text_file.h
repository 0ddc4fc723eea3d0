// Text files. Text is UTF-8 everywhere in the program: files are read as
// their bytes, unchanged (no percent-decoding, no code page conversion, a
// byte-order mark kept: callers drop it with StripUtf8Bom from utf8.h), and
// written as UTF-8 without a byte-order mark.
//
// Every replacement is atomic: the bytes go to a temporary file in the same
// folder, which is then renamed over the target, so a crash or a full disk
// never leaves half a file behind. On failure the target is untouched and
// the temporary file is removed. The one exception is regenerable output
// that does not exist yet (WriteMode::kRegenerable): it is written in place,
// and removed again when the write fails.
#pragma once

#include <string>
#include <string_view>

#include "data/utf8.h"  // the conversions, for this header's older users

namespace tarn {

// Reads the whole file into *contents. Returns false, leaving *contents
// empty and setting *error to "PATH: reason" when given, when the file
// cannot be opened or read (missing, a folder, no permission) or is not a
// regular file: a FIFO or a device is refused at once rather than waited on
// or read without end.
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
bool WriteTextFile(const std::string& path, std::string_view contents, std::string* error = nullptr,
                   WriteMode mode = WriteMode::kDurable);

// Writes contents to a new file at path, durably and atomically like
// WriteTextFile, but never replaces anything: when path exists (or appears
// meanwhile) returns false with *error "PATH: exists already" and leaves it
// alone. Does not create missing folders. Returns false and sets *error on
// any other failure too.
bool CreateTextFile(const std::string& path, std::string_view contents,
                    std::string* error = nullptr);

}  // namespace tarn
