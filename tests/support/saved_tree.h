// SavedTree: the files of a folder kept in one text file, for tests that
// compare what a build writes with what it wrote before. One file instead
// of a folder of pages keeps the saved output in one place to review and to
// replace.
//
// The front matter end-to-end test writes a new one from the build it
// checks when run with TARN_RESAVE=1 (review the difference before
// committing it).
//
// Format: for each file, in path order, a line "=== PATH BYTES" (PATH
// relative to the folder, '/'-separated, may hold spaces; BYTES in
// decimal), then exactly BYTES bytes of content, then a line break. Text
// before the first "===" line is a comment. Contents are kept byte for
// byte (line ends included).
//
// Thread safety: none needed; plain functions over files.
#pragma once

#include <map>
#include <string>

namespace tarn {

class SavedTree {
 public:
  using Tree = std::map<std::string, std::string>;  // relative path -> bytes

  // The tree saved at path. Fails the running test (ADD_FAILURE, naming the
  // file and what is wrong) and returns what was read before the fault when
  // the file is missing or malformed.
  static Tree Load(const std::string& path);

  // Writes tree to path in the format above, comment first. Returns false
  // with *error on failure.
  static bool Save(const std::string& path, const Tree& tree, const std::string& comment,
                   std::string* error);

  // Every regular file under folder, by path relative to it ("" entries
  // for unreadable files fail the test).
  static Tree Read(const std::string& folder);
};

}  // namespace tarn
