#include "image/image_cache.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "data/text_file.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr char kMagic[] = "tarn-image 1";
constexpr char kPartial[] = ".partial";

// The SHA-256 of the file at path, streamed, as hex; "" when unreadable.
std::string HashFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  GChecksum* sum = g_checksum_new(G_CHECKSUM_SHA256);
  std::vector<char> buffer(1 << 20);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.gcount() > 0)
      g_checksum_update(sum, reinterpret_cast<const guchar*>(buffer.data()), in.gcount());
  }
  std::string hash = in.bad() ? "" : g_checksum_get_string(sum);
  g_checksum_free(sum);
  return hash;
}

std::string HashText(const std::string& text) {
  gchar* hash = g_compute_checksum_for_string(G_CHECKSUM_SHA256, text.c_str(),
                                              static_cast<gssize>(text.size()));
  std::string result = hash;
  g_free(hash);
  return result;
}

std::string EntryText(const ImageResult& result) {
  std::ostringstream text;
  text << kMagic << "\n"
       << "outcome " << static_cast<int>(result.outcome) << " " << result.width << " "
       << result.height << "\n";
  for (const ImageVariant& v : result.variants)
    text << "variant " << v.file << " " << v.format << " " << v.width << " " << v.height << "\n";
  if (!result.original.empty()) text << "original " << result.original << "\n";
  if (!result.reason.empty()) text << "reason " << result.reason << "\n";
  return text.str();
}

// Parses an entry file; false when it is not one of this version.
// The line's words, split at single spaces (the entry file's own form).
std::vector<std::string_view> WordsOf(std::string_view line) {
  std::vector<std::string_view> words;
  for (std::size_t at = 0; at <= line.size();) {
    std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

bool ToInt(std::string_view word, int* value) {
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), *value);
  return ec == std::errc() && end == word.data() + word.size();
}

// Read on every build for every image, so without streams.
bool ParseEntry(std::string_view text, ImageResult* result) {
  std::size_t next = text.find('\n');
  if (text.substr(0, next) != kMagic) return false;
  bool outcome = false;
  while (next != std::string_view::npos) {
    const std::size_t start = next + 1;
    next = text.find('\n', start);
    const std::string_view line =
        text.substr(start, next == std::string_view::npos ? next : next - start);
    const std::vector<std::string_view> words = WordsOf(line);
    if (words.empty()) continue;
    if (words[0] == "outcome") {
      int n = -1;
      if (words.size() != 4 || !ToInt(words[1], &n) || !ToInt(words[2], &result->width) ||
          !ToInt(words[3], &result->height))
        return false;
      if (n < 0 || n > static_cast<int>(ImageResult::Outcome::kRefused)) return false;
      result->outcome = static_cast<ImageResult::Outcome>(n);
      outcome = true;
    } else if (words[0] == "variant") {
      ImageVariant v;
      if (words.size() != 5 || !ToInt(words[3], &v.width) || !ToInt(words[4], &v.height))
        return false;
      v.file = words[1];
      v.format = words[2];
      result->variants.push_back(v);
    } else if (words[0] == "original" && words.size() == 2) {
      result->original = words[1];
    } else if (words[0] == "reason") {
      const std::size_t skip = std::string_view("reason ").size();
      result->reason = line.size() > skip ? line.substr(skip) : std::string_view();
    }
  }
  return outcome;
}

}  // namespace

ImageCache::ImageCache(std::string folder) : folder_(std::move(folder)) {}

void ImageCache::Load() {
  std::string text;
  if (!ReadTextFile(folder_ + "/sources", &text)) return;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    Source source;
    words >> source.size >> source.mtime_ns >> source.hash;
    std::string path;
    if (words.fail() || source.hash.size() != 64 || !std::getline(words >> std::ws, path)) continue;
    earlier_[path] = source;
  }
}

bool ImageCache::KeyOf(const std::string& path, const ImageSettings& settings, std::string* key,
                       std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    *error = path + ": cannot be read";
    return false;
  }
  Source source{info.st_size, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, ""};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = earlier_.find(path);
    if (it != earlier_.end() && it->second.size == source.size &&
        it->second.mtime_ns == source.mtime_ns)
      source.hash = it->second.hash;
  }
  if (source.hash.empty()) source.hash = HashFile(path);
  if (source.hash.empty()) {
    *error = path + ": cannot be read";
    return false;
  }
  *key = HashText(source.hash + "\n" + settings.Key());
  std::lock_guard<std::mutex> lock(mutex_);
  sources_[path] = source;
  return true;
}

bool ImageCache::Lookup(const std::string& key, ImageResult* result) {
  std::string text;
  if (!ReadTextFile(EntryFolder(key) + "/entry", &text)) return false;
  ImageResult found;
  if (!ParseEntry(text, &found)) return false;
  std::error_code ec;
  for (const ImageVariant& v : found.variants)
    if (!fs::is_regular_file(EntryFolder(key) + "/" + v.file, ec)) return false;
  *result = std::move(found);
  std::lock_guard<std::mutex> lock(mutex_);
  used_.insert(key);
  return true;
}

bool ImageCache::Begin(const std::string& key, std::string* folder, std::string* error) {
  *folder = EntryFolder(key) + kPartial;
  std::error_code ec;
  fs::remove_all(*folder, ec);
  fs::create_directories(*folder, ec);
  if (ec) *error = *folder + ": cannot be made: " + ec.message();
  return !ec;
}

bool ImageCache::Commit(const std::string& key, const ImageResult& result, std::string* error) {
  const std::string partial = EntryFolder(key) + kPartial;
  if (!WriteTextFile(partial + "/entry", EntryText(result), error)) return false;
  std::error_code ec;
  fs::remove_all(EntryFolder(key), ec);
  fs::rename(partial, EntryFolder(key), ec);
  if (ec) {
    *error = EntryFolder(key) + ": cannot be put in place: " + ec.message();
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  used_.insert(key);
  return true;
}

bool ImageCache::Finish(std::string* error) {
  std::error_code ec;
  if (fs::is_directory(folder_, ec)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) {
      const std::string name = entry.path().filename().string();
      // Files beside the entries (sources, and what the caller keeps
      // there) stay.
      std::error_code kind_ec;
      if (!entry.is_directory(kind_ec) || used_.count(name) > 0) continue;
      std::error_code remove_ec;
      fs::remove_all(entry.path(), remove_ec);
    }
  }
  // Unchanged: nothing to write.
  if (sources_ == earlier_) return true;
  std::string text;
  for (const auto& [path, source] : sources_)
    text += std::to_string(source.size) + " " + std::to_string(source.mtime_ns) + " " +
            source.hash + " " + path + "\n";
  fs::create_directories(folder_, ec);
  return WriteTextFile(folder_ + "/sources", text, error);
}

}  // namespace tarn
