#include "render/output_file.h"

#include <fcntl.h>
#include <glib.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
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

void SetError(std::string* error, const std::string& path, const char* what, int err) {
  if (error) *error = path + ": " + what + ": " + std::strerror(err);
}

// Copies what is left of in to out, from both files' offsets: a reflink
// where the file system shares blocks, else the kernel's copy, else a read
// and write through a small buffer. errno says why when false.
bool CopyBytes(int in, int out) {
  if (::ioctl(out, FICLONE, in) == 0) return true;
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
    if (n > 0) continue;
    if (n == 0) return true;
    if (errno == EINTR) continue;
    // Across file systems on older kernels, or a file system without it.
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
    return false;
  }
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    for (ssize_t at = 0; at < n;) {
      ssize_t put = ::write(out, buffer + at, static_cast<std::size_t>(n - at));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return false;
      at += put;
    }
  }
}

// A copy of in (whose status is from) in a new temporary file beside path,
// stamped with from's modification time; its name goes to *temp.
bool CopyBeside(int in, const struct stat& from, const std::string& path, std::string* temp,
                std::string* error) {
  std::size_t slash = path.rfind('/');
  *temp = path.substr(0, slash == std::string::npos ? 0 : slash + 1) + ".tarn-XXXXXX";
  // Created as any new file is (0666 less the umask).
  int out = g_mkstemp_full(temp->data(), O_WRONLY | O_CLOEXEC, 0666);
  if (out < 0) {
    SetError(error, path, "cannot create a temporary file beside it", errno);
    return false;
  }
  struct stat replaced {};
  if (::stat(path.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode))
    ::fchmod(out, replaced.st_mode & 07777);
  const struct timespec times[2] = {{0, UTIME_OMIT}, from.st_mtim};
  bool ok = CopyBytes(in, out) && ::futimens(out, times) == 0;
  int err = errno;
  if (::close(out) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok) return true;
  ::unlink(temp->c_str());
  SetError(error, path, "cannot write", err);
  return false;
}

}  // namespace

namespace {

bool SameFileTimes(const struct stat& there, const struct stat& from) {
  return S_ISREG(there.st_mode) && there.st_size == from.st_size &&
         there.st_mtim.tv_sec == from.st_mtim.tv_sec &&
         there.st_mtim.tv_nsec == from.st_mtim.tv_nsec;
}

}  // namespace

bool IsOutputCopyOf(const std::string& source, const std::string& path) {
  struct stat from {};
  struct stat there {};
  return ::stat(source.c_str(), &from) == 0 && S_ISREG(from.st_mode) &&
         ::lstat(path.c_str(), &there) == 0 && SameFileTimes(there, from);
}

bool CopyOutputFile(const std::string& source, const std::string& path, std::string* error) {
  // Non-blocking: a FIFO put in the source's place must not stall the build.
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat from {};
  if (in < 0 || ::fstat(in, &from) != 0) {
    SetError(error, source, "cannot open", errno);
    if (in >= 0) ::close(in);
    return false;
  }
  if (!S_ISREG(from.st_mode)) {
    ::close(in);
    if (error) *error = source + ": is not a regular file; not copied";
    return false;
  }
  struct stat there {};
  if (::lstat(path.c_str(), &there) == 0 && SameFileTimes(there, from)) {
    ::close(in);
    return true;  // the copy an earlier build made
  }
  std::string temp;
  bool copied = CopyBeside(in, from, path, &temp, error);
  ::close(in);
  if (!copied) return false;
  std::error_code renamed;
  std::filesystem::rename(temp, path, renamed);
  if (!renamed) return true;
  std::error_code ignored;
  std::filesystem::remove(temp, ignored);
  if (error) *error = path + ": cannot replace: " + renamed.message();
  return false;
}

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
