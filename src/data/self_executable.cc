#include "data/self_executable.h"

#include <unistd.h>

namespace tarn {

std::string SelfExecutable() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : "";
}

std::string SelfExecutableFolder() {
  std::string self = SelfExecutable();
  std::size_t slash = self.rfind('/');
  return slash == std::string::npos ? "" : self.substr(0, slash);
}

}  // namespace tarn
