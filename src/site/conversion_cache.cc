#include "site/conversion_cache.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "data/text_file.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "TARNMDC\n";
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kKeySize = std::tuple_size_v<ConversionCache::Key>;
// A digest longer than this is not one of ours.
constexpr std::uint32_t kMaxDigestSize = 1024;

void PutU32(std::string* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void PutU64(std::string* out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// Reads from a byte range, refusing to step past its end: every length in
// the file is checked against what is left before it is believed.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool Bytes(std::size_t n, std::string_view* out) {
    if (n > bytes_.size() - pos_) return false;
    *out = bytes_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool U32(std::uint32_t* v) {
    std::string_view b;
    if (!Bytes(4, &b)) return false;
    *v = 0;
    for (int i = 3; i >= 0; --i) *v = (*v << 8) | static_cast<unsigned char>(b[i]);
    return true;
  }
  bool U64(std::uint64_t* v) {
    std::string_view b;
    if (!Bytes(8, &b)) return false;
    *v = 0;
    for (int i = 7; i >= 0; --i) *v = (*v << 8) | static_cast<unsigned char>(b[i]);
    return true;
  }
  std::size_t left() const { return bytes_.size() - pos_; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

}  // namespace

ConversionCache::ConversionCache(std::string path, std::string scripts_digest)
    : path_(std::move(path)), digest_(std::move(scripts_digest)) {}

std::size_t ConversionCache::KeyHash::operator()(const Key& key) const {
  // The key is already a uniform hash; any eight bytes of it will do.
  std::size_t h;
  std::memcpy(&h, key.data(), sizeof h);
  return h;
}

ConversionCache::Key ConversionCache::KeyOf(std::string_view text) {
  Key key{};
  unsigned int size = 0;
  // OpenSSL rather than GLib: its SHA-256 uses the CPU's SHA instructions,
  // which matters when every post of a large blog is hashed on each build.
  EVP_Digest(text.data(), text.size(), key.data(), &size, EVP_sha256(), nullptr);
  return key;
}

ConversionCache::LoadResult ConversionCache::Load(const DiagnosticSink& sink) {
  entries_.clear();
  added_.clear();
  file_.clear();
  dirty_ = true;  // whatever was there is rewritten unless it loads cleanly
  if (path_.empty()) return LoadResult::kMissing;
  std::error_code ec;
  if (!fs::exists(path_, ec)) return LoadResult::kMissing;

  auto damaged = [&](const std::string& reason) {
    entries_.clear();
    file_.clear();
    file_.shrink_to_fit();
    if (sink) sink(path_ + ": " + reason + "; the Markdown cache is rebuilt");
    return LoadResult::kDamaged;
  };
  std::string error;
  if (!ReadTextFile(path_, &file_, &error)) return damaged("cannot be read (" + error + ")");

  std::string_view bytes = file_;
  Reader header(bytes);
  std::string_view magic;
  std::uint32_t version = 0;
  if (!header.Bytes(kMagic.size(), &magic) || magic != kMagic || !header.U32(&version)) {
    return damaged("is not a Markdown cache file");
  }
  if (version != kVersion) {
    entries_.clear();
    file_.clear();
    return LoadResult::kStale;
  }
  if (bytes.size() < kMagic.size() + 4 + kKeySize) return damaged("is truncated");
  Key stored{};
  std::memcpy(stored.data(), bytes.data() + bytes.size() - kKeySize, kKeySize);
  if (KeyOf(bytes.substr(0, bytes.size() - kKeySize)) != stored) {
    return damaged("is damaged (its checksum does not match)");
  }
  std::string reason;
  bool foreign = false;
  if (!Parse(bytes.substr(0, bytes.size() - kKeySize), &foreign, &reason)) return damaged(reason);
  if (foreign) {
    file_.clear();
    file_.shrink_to_fit();
    return LoadResult::kStale;
  }
  dirty_ = false;
  return LoadResult::kLoaded;
}

bool ConversionCache::Parse(std::string_view bytes, bool* foreign, std::string* reason) {
  Reader in(bytes);
  std::string_view skip;
  std::uint32_t digest_size = 0;
  std::string_view digest;
  std::uint64_t count = 0;
  if (!in.Bytes(kMagic.size() + 4, &skip) || !in.U32(&digest_size) ||
      digest_size > kMaxDigestSize || !in.Bytes(digest_size, &digest) || !in.U64(&count)) {
    *reason = "has a broken header";
    return false;
  }
  if (digest != digest_) {
    *foreign = true;  // other scripts: nothing here applies
    return true;
  }
  // Each entry takes at least its key and length; a count beyond that is a lie.
  if (count > in.left() / (kKeySize + 8)) {
    *reason = "is truncated";
    return false;
  }
  entries_.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    std::string_view key_bytes, html;
    std::uint64_t size = 0;
    if (!in.Bytes(kKeySize, &key_bytes) || !in.U64(&size) || size > in.left() ||
        !in.Bytes(static_cast<std::size_t>(size), &html)) {
      *reason = "is truncated";
      return false;
    }
    Key key;
    std::memcpy(key.data(), key_bytes.data(), kKeySize);
    entries_[key] = Entry{html, false};
  }
  if (in.left() != 0) {
    *reason = "has bytes after its last entry";
    return false;
  }
  return true;
}

bool ConversionCache::Find(const Key& key, std::string_view* html) {
  auto it = entries_.find(key);
  if (it == entries_.end()) return false;
  if (!it->second.used) it->second.used = true;
  *html = it->second.html;
  return true;
}

std::string_view ConversionCache::Put(const Key& key, std::string html) {
  added_.push_back(std::move(html));
  entries_[key] = Entry{added_.back(), true};
  dirty_ = true;
  return added_.back();
}

bool ConversionCache::Save(const DiagnosticSink& sink) {
  if (path_.empty()) return true;
  // Entries this build did not use belong to posts that changed or went.
  std::vector<const std::pair<const Key, Entry>*> kept;
  kept.reserve(entries_.size());
  std::size_t total = 0;
  for (const auto& entry : entries_) {
    if (!entry.second.used) {
      dirty_ = true;
      continue;
    }
    kept.push_back(&entry);
    total += kKeySize + 8 + entry.second.html.size();
  }
  if (!dirty_) return true;
  // Sorted, so that the same posts always give the same file.
  std::sort(kept.begin(), kept.end(), [](const auto* a, const auto* b) { return a->first < b->first; });

  std::string out;
  out.reserve(kMagic.size() + 16 + digest_.size() + total + kKeySize);
  out.append(kMagic);
  PutU32(&out, kVersion);
  PutU32(&out, static_cast<std::uint32_t>(digest_.size()));
  out.append(digest_);
  PutU64(&out, kept.size());
  for (const auto* entry : kept) {
    out.append(reinterpret_cast<const char*>(entry->first.data()), kKeySize);
    PutU64(&out, entry->second.html.size());
    out.append(entry->second.html);
  }
  Key sum = KeyOf(out);
  out.append(reinterpret_cast<const char*>(sum.data()), kKeySize);

  std::error_code ec;
  fs::path folder = fs::path(path_).parent_path();
  if (!folder.empty()) fs::create_directories(folder, ec);
  std::string error;
  // Not forced to disk: a file cut short by a crash fails its checksum and
  // is rebuilt, which costs time but loses nothing.
  if (!WriteTextFile(path_, out, &error, WriteMode::kRegenerable)) {
    if (sink) sink(error + " (the Markdown cache is not kept)");
    return false;
  }
  dirty_ = false;
  return true;
}

}  // namespace tarn
