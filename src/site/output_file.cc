#include "site/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarn {
namespace {

void SetError(std::string* error, const std::string& path, const char* what, int err) {
  if (!error) return;
  *error = path + ": " + what;
  if (err) *error += std::string(": ") + std::strerror(err);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

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

mode_t NewFileMode() {
  static const mode_t mode = [] {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
  }();
  return mode;
}

}  // namespace

bool WriteOutputFile(const std::string& path, std::string_view contents, std::string* error) {
  mode_t mode = NewFileMode();
  // Non-blocking: a FIFO in the way must not stall the build.
  int existing = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (existing >= 0) {
    struct stat st {};
    bool same = SameBytes(existing, contents, &st);
    ::close(existing);
    if (same) return true;
    if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;  // keep the page's mode
  }

  std::size_t slash = path.rfind('/');
  std::string temp = (slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1) + ".") +
                     path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    SetError(error, path, "cannot create a temporary file beside it", errno);
    return false;
  }
  ::fchmod(fd, mode);
  bool ok = WriteAll(fd, contents);
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    SetError(error, path, "cannot write", err);
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    err = errno;
    ::unlink(temp.c_str());
    SetError(error, path, "cannot replace", err);
    return false;
  }
  return true;
}

}  // namespace tarn
