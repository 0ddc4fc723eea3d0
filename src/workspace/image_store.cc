#include "workspace/image_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <glib.h>

#include "data/text_file.h"

namespace tarn {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The original name's stem, made safe for a file name: characters that
// are no plain name's, and blanks, become '-'; at most 80 bytes, cut on a
// character boundary.
std::string SafeStem(std::string_view original_name) {
  std::size_t slash = original_name.find_last_of("/\\");
  if (slash != std::string_view::npos) original_name.remove_prefix(slash + 1);
  std::size_t dot = original_name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) original_name = original_name.substr(0, dot);
  std::string stem;
  for (std::size_t i = 0; i < original_name.size();) {
    std::size_t start = i;
    long code = DecodeUtf8(original_name, &i);
    if (code < 0) continue;
    bool bad = code < 0x21 || code == 0x7f ||
               (code < 0x80 && std::strchr("/\\()[]<>\"'#?%*:|", static_cast<int>(code)));
    if (stem.size() + (i - start) > 80) break;
    if (bad) {
      if (!stem.empty() && stem.back() != '-') stem += '-';
    } else {
      stem.append(original_name.substr(start, i - start));
    }
  }
  while (!stem.empty() && (stem.back() == '-' || stem.back() == '.')) stem.pop_back();
  while (!stem.empty() && (stem.front() == '-' || stem.front() == '.')) stem.erase(0, 1);
  return stem;
}

bool MakeFolders(const std::string& folder, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder, ec)) {
    *error = folder + ": cannot create the folder" + (ec ? ": " + ec.message() : "");
    return false;
  }
  return true;
}

}  // namespace

std::string ImageStore::SniffExtension(std::string_view bytes) {
  if (StartsWith(bytes, "\x89PNG\r\n\x1a\n")) return "png";
  if (StartsWith(bytes, "\xff\xd8\xff")) return "jpg";
  if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) return "gif";
  if (bytes.size() >= 12 && StartsWith(bytes, "RIFF") && bytes.substr(8, 4) == "WEBP") {
    return "webp";
  }
  if (StartsWith(bytes, "BM") && bytes.size() > 26) return "bmp";
  return "";
}

bool ImageStore::Save(const std::string& images_dir, std::string_view original_name,
                      std::string_view bytes, std::time_t now, std::string* file_name,
                      std::string* error) {
  std::string extension = SniffExtension(bytes);
  if (extension.empty()) {
    *error = std::string(original_name) + ": not a PNG, JPEG, GIF, WebP or BMP image";
    return false;
  }
  if (bytes.size() > kMaxBytes) {
    *error = std::string(original_name) + ": larger than " +
             std::to_string(kMaxBytes / (1024 * 1024)) + " MB";
    return false;
  }
  if (!MakeFolders(images_dir, error)) return false;
  error->clear();

  char date[16];
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%d", &local);
  std::string stem = SafeStem(original_name);
  if (stem.empty()) {
    gchar* hash = g_compute_checksum_for_data(
        G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
    stem = std::string(hash).substr(0, 8);
    g_free(hash);
  }
  std::string base = std::string(date) + "-" + stem;

  // The bytes go to a temporary file first; a hard link then gives them
  // their name only if no file has it, so nothing is ever replaced.
  std::string temporary =
      images_dir + "/.incoming-" + std::to_string(getpid()) + "-" + std::to_string(g_random_int());
  if (!WriteTextFile(temporary, bytes, error)) return false;
  bool stored = false;
  for (int n = 1; n < 1000 && !stored; ++n) {
    std::string name = base + (n == 1 ? "" : "-" + std::to_string(n)) + "." + extension;
    if (link(temporary.c_str(), (images_dir + "/" + name).c_str()) == 0) {
      *file_name = name;
      stored = true;
    } else if (errno != EEXIST) {
      *error = images_dir + "/" + name + ": " + std::strerror(errno);
      break;
    }
  }
  if (!stored && error->empty()) *error = images_dir + ": no free name for " + base;
  unlink(temporary.c_str());
  return stored;
}

std::string ImageStore::MarkdownLink(std::string_view file_name, std::string_view alt) {
  std::string link = "![";
  for (char c : alt) {
    if (c == '[' || c == ']' || c == '\\') link += '\\';
    link += c;
  }
  link += "](../images/";
  for (char c : file_name) {
    switch (c) {
      case ' ':
        link += "%20";
        break;
      case '(':
        link += "%28";
        break;
      case ')':
        link += "%29";
        break;
      case '<':
        link += "%3C";
        break;
      case '>':
        link += "%3E";
        break;
      default:
        link += c;
    }
  }
  link += ")";
  return link;
}

int ImageStore::RemoveStaleOriginals(const std::string& originals_dir,
                                     const std::string& images_dir, std::time_t now) {
  namespace fs = std::filesystem;
  const std::time_t oldest = now - static_cast<std::time_t>(kOriginalDays) * 24 * 60 * 60;
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(originals_dir, ec), end; !ec && it != end; it.increment(ec)) {
    struct stat info;
    const std::string path = it->path().string();
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    const bool gone = !fs::exists(fs::path(images_dir) / it->path().filename());
    std::error_code remove_ec;
    if ((gone || info.st_mtime < oldest) && fs::remove(it->path(), remove_ec)) ++removed;
  }
  return removed;
}

}  // namespace tarn
