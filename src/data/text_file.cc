#include "data/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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

// Writes contents to a new temporary file in path's folder, with the mode a
// new file gets or the mode of the file at path, and sets *temp_path to it.
bool WriteBeside(const std::string& path, std::string_view contents, bool durable,
                 std::string* temp_path, std::string* error) {
  size_t slash = path.rfind('/');
  std::string temp =
      (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".tarn-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    SetError(error, path, "cannot create a temporary file beside it", errno);
    return false;
  }
  // mkstemp makes 0600; give the file what a plainly created one would get,
  // or keep the mode of the file it replaces.
  struct stat st;
  mode_t mode;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  bool ok = WriteAll(fd, contents);
  int err = errno;
  if (ok && durable && ::fsync(fd) != 0 && errno != EINVAL) {
    ok = false;
    err = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    SetError(error, path, "cannot write", err);
    return false;
  }
  *temp_path = temp;
  return true;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string* contents, std::string* error) {
  contents->clear();
  // Non-blocking, so that opening a FIFO does not wait for a writer; the
  // descriptor is only read once it is known to be a regular file.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    SetError(error, path, "cannot open", errno);
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    SetError(error, path, "cannot read", err);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    SetError(error, path,
             S_ISDIR(st.st_mode) ? "is a folder, not a file"
                                 : "is not a regular file (a FIFO, socket or device); not read",
             0);
    return false;
  }
  if (st.st_size > 0) contents->reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      contents->clear();
      SetError(error, path, "cannot read", err);
      return false;
    }
    if (n == 0) break;
    contents->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool WriteTextFile(const std::string& path, std::string_view contents, std::string* error,
                   WriteMode write_mode) {
  // Regenerated output that does not exist yet needs no temporary file: no
  // reader can see it half-written in place of an older version, and a
  // build that dies half-way writes it again. Creating it directly halves
  // the metadata work when a whole site is written from scratch.
  if (write_mode == WriteMode::kRegenerable) {
    int direct = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (direct >= 0) {
      bool ok = WriteAll(direct, contents);
      int err = errno;
      if (::close(direct) != 0 && ok) {
        ok = false;
        err = errno;
      }
      if (ok) return true;
      ::unlink(path.c_str());
      SetError(error, path, "cannot write", err);
      return false;
    }
    if (errno != EEXIST) {
      SetError(error, path, "cannot create", errno);
      return false;
    }
  }
  // The temporary name does not grow with the target's: a name near the
  // file system's limit must be as writable the second time as the first.
  std::string temp;
  if (!WriteBeside(path, contents, write_mode == WriteMode::kDurable, &temp, error)) return false;
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    SetError(error, path, "cannot replace", err);
    return false;
  }
  return true;
}

bool CreateTextFile(const std::string& path, std::string_view contents, std::string* error) {
  std::string temp;
  if (!WriteBeside(path, contents, true, &temp, error)) return false;
  // Neither a rename that may not replace nor a hard link ever takes an
  // existing name, so a file created after a caller's check is still safe.
  // File systems without the first get the second.
  int placed = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
  int err = errno;
  if (placed != 0 && (err == EINVAL || err == ENOSYS)) {
    placed = ::link(temp.c_str(), path.c_str());
    err = errno;
    ::unlink(temp.c_str());
  } else if (placed != 0) {
    ::unlink(temp.c_str());
  }
  if (placed == 0) return true;
  if (err == EEXIST) {
    SetError(error, path, "exists already", 0);
  } else {
    SetError(error, path, "cannot create", err);
  }
  return false;
}

}  // namespace tarn
