#include "render/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "data/text_file.h"

namespace tarn {
namespace {

// True when the regular file behind fd holds exactly contents. *st gets its
// status.
bool SameBytes(int fd, std::string_view contents, struct stat* st) {
  if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) return false;
  if (static_cast<std::size_t>(st->st_size) != contents.size()) return false;
  char buffer[64 * 1024];
  std::size_t at = 0;
  while (true) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return at == contents.size();
    std::size_t got = static_cast<std::size_t>(n);
    if (got > contents.size() - at || std::memcmp(buffer, contents.data() + at, got) != 0) {
      return false;
    }
    at += got;
  }
}

}  // namespace

bool WriteOutputFile(const std::string& path, std::string_view contents, std::string* error) {
  // Non-blocking: a FIFO in the way must not stall the build.
  int existing = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (existing >= 0) {
    struct stat st {};
    bool same = SameBytes(existing, contents, &st);
    ::close(existing);
    if (same) return true;
  }
  return WriteTextFile(path, contents, error, WriteMode::kRegenerable);
}

bool OutputPathIsContained(const std::string& root, const std::string& path, std::string* error) {
  if (path.size() <= root.size() || path.compare(0, root.size(), root) != 0 ||
      path[root.size()] != '/') {
    if (error) *error = path + ": lies outside " + root;
    return false;
  }
  std::size_t end = root.size();
  while (end < path.size()) {
    end = path.find('/', end + 1);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(0, end);
    struct stat st {};
    if (::lstat(part.c_str(), &st) != 0) return true;  // the rest is yet to be made
    if (S_ISLNK(st.st_mode)) {
      if (error) {
        *error = part + ": is a symbolic link; the build writes nothing through a link inside " +
                 root + " (replace it by a folder or a file)";
      }
      return false;
    }
  }
  return true;
}

bool MakeOutputFolders(const std::string& root, std::string_view relative, std::string* error) {
  std::string path = root + "/" + std::string(relative);
  if (!OutputPathIsContained(root, path, error)) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) {
    if (error) *error = path + ": cannot create its folder: " + ec.message();
    return false;
  }
  return true;
}

}  // namespace tarn
