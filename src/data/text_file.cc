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
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = (slash == std::string::npos ? std::string() : dir) + "." + name + ".XXXXXX";
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

long DecodeUtf8(std::string_view text, std::size_t* index) {
  size_t& i = *index;
  unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int len;
  long cp;
  long min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    ++i;
    return -1;
  }
  if (i + len > text.size()) {
    ++i;
    return -1;
  }
  for (int k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(text[i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += len;
  return cp;
}

void AppendUtf8(std::string* out_text, char32_t code_point) {
  std::string& out = *out_text;
  unsigned long cp = code_point;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool ReadTextFile(const std::string& path, std::string* contents, std::string* error) {
  contents->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetError(error, path, "cannot open", errno);
    return false;
  }
  struct stat st;
  if (::fstat(fd, &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      SetError(error, path, "is a folder, not a file", 0);
      return false;
    }
    if (st.st_size > 0) contents->reserve(static_cast<size_t>(st.st_size));
  }
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

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    long cp = DecodeUtf8(text, &i);
    if (cp < 0) {
      out += u'\uFFFD';
    } else if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned long c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(&out, static_cast<char32_t>(c));
  }
  return out;
}

std::string_view CutAtWidth(std::string_view text, std::size_t max_bytes) {
  size_t width = 0;
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    long cp = DecodeUtf8(text, &i);
    size_t w = (cp >= 0 && cp < 0x80) ? 1 : 2;
    if (width + w > max_bytes) return text.substr(0, start);
    width += w;
  }
  return text;
}

}  // namespace tarn
