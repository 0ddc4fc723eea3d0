#include "site/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

bool MakeOutputFolders(const std::string& root, std::string_view relative, std::string* error) {
  std::string path = root;
  std::size_t start = 0;
  for (std::size_t slash = relative.find('/'); slash != std::string_view::npos;
       start = slash + 1, slash = relative.find('/', start)) {
    path += '/';
    path += relative.substr(start, slash - start);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) continue;
      if (error)
        *error = path + (S_ISLNK(st.st_mode) ? ": is a symbolic link; nothing is written through it"
                                             : ": is a file where a folder is needed");
      return false;
    }
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
      if (error) *error = path + ": cannot create the folder: " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

}  // namespace tarn
