// ContainedPath: turns a file name that came from a page (the manager's
// list, the editor) into a path inside one folder the program owns, such as
// _posts/ or static/images/. Nothing a page sends is trusted: the name must
// be a plain file name, and the file it names, after symbolic links are
// followed, must still lie inside the folder.
//
// Thread safety: no state; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class ContainedPath {
 public:
  // True for a plain file name: not empty, at most 255 bytes, valid UTF-8,
  // no '/', '\\' or control character, not starting with '.' (which also
  // rules out "." and "..").
  static bool IsPlainName(std::string_view name);

  // A plain file name made from a title, for a suggestion: '/', '\\' and
  // control characters become spaces, runs of blanks one space, leading
  // dots and blanks and trailing blanks go, and at most 200 bytes are kept
  // (whole characters). "" when nothing is left.
  static std::string NameFromTitle(std::string_view title);

  // Sets *path to folder + "/" + name when name is plain and, should that
  // file exist (as a file or a link), its real location lies inside the real
  // location of folder. Returns false with *error naming the name and the
  // folder otherwise, or when the folder itself does not exist.
  static bool Resolve(const std::string& folder, std::string_view name, std::string* path,
                      std::string* error);
};

}  // namespace tarn
