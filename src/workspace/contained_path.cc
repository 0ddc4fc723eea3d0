#include "workspace/contained_path.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "data/text_file.h"

namespace tarn {
namespace {

// The real location of path (links followed); "" when it cannot be found.
std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

bool ContainedPath::IsPlainName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name.front() == '.') return false;
  for (std::size_t i = 0; i < name.size();) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
    if (DecodeUtf8(name, &i) < 0) return false;
  }
  return true;
}

std::string ContainedPath::NameFromTitle(std::string_view title) {
  std::string name;
  for (std::size_t i = 0; i < title.size();) {
    std::size_t start = i;
    long code = DecodeUtf8(title, &i);
    if (code < 0) continue;
    bool blank = code <= 0x20 || code == 0x7f || code == '/' || code == '\\';
    if (blank) {
      if (!name.empty() && name.back() != ' ') name += ' ';
    } else if (!(name.empty() && code == '.')) {
      if (name.size() + (i - start) > 200) break;
      name.append(title.substr(start, i - start));
    }
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

bool ContainedPath::Resolve(const std::string& folder, std::string_view name, std::string* path,
                            std::string* error) {
  std::string shown(name.substr(0, 300));
  if (!IsPlainName(name)) {
    *error = "\"" + shown + "\" is not a plain file name inside " + folder;
    return false;
  }
  std::string real_folder = RealPath(folder);
  if (real_folder.empty()) {
    *error = folder + ": the folder does not exist";
    return false;
  }
  std::string candidate = folder + "/" + std::string(name);
  struct stat info {};
  if (lstat(candidate.c_str(), &info) == 0) {
    // A link is followed to its end; one that leads nowhere or out of the
    // folder is refused, as it would make the program write elsewhere.
    std::string real = RealPath(candidate);
    if (real.empty() || real.compare(0, real_folder.size() + 1, real_folder + "/") != 0) {
      *error = candidate + ": leads outside " + folder;
      return false;
    }
  }
  *path = std::move(candidate);
  return true;
}

}  // namespace tarn
