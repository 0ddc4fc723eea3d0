#include "convert/conversion_cache.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "data/byte_reader.h"
#include "data/text_file.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "TARNMDC\n";
// 1: one block with a single checksum, rewritten whole on every change.
constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kKeySize = std::tuple_size_v<ConversionCache::Key>;
constexpr std::size_t kSumSize = kKeySize;  // a SHA-256, like the keys
// A digest longer than this is not one of ours.
constexpr std::uint32_t kMaxDigestSize = 1024;

// The bytes an entry takes in the file.
std::uint64_t EntrySize(std::string_view html) { return kKeySize + 8 + html.size() + kSumSize; }

void PutSumOf(std::string* out, std::size_t from) {
  ConversionCache::Key sum = ConversionCache::KeyOf(std::string_view(*out).substr(from));
  out->append(reinterpret_cast<const char*>(sum.data()), sum.size());
}

// True when the next kSumSize bytes are the SHA-256 of the bytes from
// `from` up to them; consumes them either way (when there are enough).
bool SumOf(ByteReader* in, std::size_t from) {
  std::string_view covered = in->consumed(from);
  std::string_view sum;
  if (!in->Bytes(kSumSize, &sum)) return false;
  ConversionCache::Key expected = ConversionCache::KeyOf(covered);
  return std::memcmp(expected.data(), sum.data(), kSumSize) == 0;
}

// Closes a descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// How reading the cache file went.
enum class FileRead { kRead, kMissing, kFailed };

// kFailed, with the reason errno gives.
FileRead ReadFailed(std::string* reason) {
  *reason = std::string("cannot be read (") + std::strerror(errno) + ")";
  return FileRead::kFailed;
}

// Reads the file at path into *bytes, and its identity into *st, through
// one descriptor, so that both belong to the same file even if it is
// replaced meanwhile. Reads up to the size fstat gave: bytes appended
// meanwhile are left for the size check at Save to notice. kFailed with
// *reason set when it cannot be read.
FileRead ReadFile(const std::string& path, std::string* bytes, struct stat* st,
                  std::string* reason) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return FileRead::kMissing;
    return ReadFailed(reason);
  }
  if (::fstat(fd.get(), st) != 0) return ReadFailed(reason);
  if (!S_ISREG(st->st_mode)) {
    *reason = "cannot be read (not a regular file)";
    return FileRead::kFailed;
  }
  // In pieces through a small buffer rather than into a zero-filled string
  // of the file's size: that would touch tens of megabytes once more.
  const std::size_t want = static_cast<std::size_t>(st->st_size);
  bytes->reserve(want);
  std::vector<char> buffer(std::min<std::size_t>(want, 1 << 18));
  while (bytes->size() < want) {
    ssize_t n = ::read(fd.get(), buffer.data(), std::min(buffer.size(), want - bytes->size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReadFailed(reason);
    if (n == 0) break;  // cut short meanwhile: the size check at Save notices
    bytes->append(buffer.data(), static_cast<std::size_t>(n));
  }
  return FileRead::kRead;
}

// Reads the header: kLoaded when it is sound and made by the scripts with
// `digest`; kStale for another format version or other scripts; kDamaged,
// with *reason set, for anything else.
ConversionCache::LoadResult ReadHeader(ByteReader* in, std::string_view digest,
                                       std::string_view name, std::string* reason) {
  std::string_view magic;
  std::uint32_t version = 0;
  if (!in->Bytes(kMagic.size(), &magic) || magic != kMagic || !in->U32(&version)) {
    *reason = "is not a " + std::string(name) + " file";
    return ConversionCache::LoadResult::kDamaged;
  }
  if (version != kVersion) return ConversionCache::LoadResult::kStale;
  std::uint32_t digest_size = 0;
  std::string_view found;
  if (!in->U32(&digest_size) || digest_size > kMaxDigestSize || !in->Bytes(digest_size, &found) ||
      !SumOf(in, 0)) {
    *reason = "has a broken header";
    return ConversionCache::LoadResult::kDamaged;
  }
  // Other scripts: nothing here applies.
  return found == digest ? ConversionCache::LoadResult::kLoaded
                         : ConversionCache::LoadResult::kStale;
}

}  // namespace

ConversionCache::ConversionCache(std::string path, std::string scripts_digest, std::string name,
                                 std::string redone)
    : path_(std::move(path)),
      digest_(std::move(scripts_digest)),
      name_(std::move(name)),
      redone_(std::move(redone)) {}

std::size_t ConversionCache::KeyHash::operator()(const Key& key) const {
  // The key is already a uniform hash; any eight bytes of it will do.
  std::size_t h;
  std::memcpy(&h, key.data(), sizeof h);
  return h;
}

ConversionCache::Key ConversionCache::KeyOf(std::string_view text) {
  // OpenSSL rather than GLib: its SHA-256 uses the CPU's SHA instructions,
  // which matters when every post of a large blog is hashed on each build,
  // and every entry again when the cache is loaded. The algorithm is looked
  // up once and each thread keeps its context: EVP_Digest does both on
  // every call, which costs more than hashing a short post.
  static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  struct Context {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(ctx); }
  };
  thread_local Context context;
  Key key{};
  unsigned int size = 0;
  if (!sha256 || !context.ctx || !EVP_DigestInit_ex2(context.ctx, sha256, nullptr) ||
      !EVP_DigestUpdate(context.ctx, text.data(), text.size()) ||
      !EVP_DigestFinal_ex(context.ctx, key.data(), &size)) {
    EVP_Digest(text.data(), text.size(), key.data(), &size, EVP_sha256(), nullptr);
  }
  return key;
}

std::string ConversionCache::Header() const {
  std::string out(kMagic);
  AppendInt(&out, kVersion);
  AppendSized(&out, digest_);
  PutSumOf(&out, 0);
  return out;
}

void ConversionCache::AppendEntry(const Key& key, std::string_view html, std::string* out) {
  std::size_t start = out->size();
  out->append(reinterpret_cast<const char*>(key.data()), kKeySize);
  AppendInt<std::uint64_t>(out, html.size());
  out->append(html);
  PutSumOf(out, start);
}

ConversionCache::LoadResult ConversionCache::Load(const DiagnosticSink& sink) {
  entries_.clear();
  added_.clear();
  file_.clear();
  file_.shrink_to_fit();
  appendable_ = false;  // whatever is there is rewritten unless it loads cleanly
  if (path_.empty()) return LoadResult::kMissing;

  struct stat st;
  std::string reason;
  FileRead read = ReadFile(path_, &file_, &st, &reason);
  if (read == FileRead::kMissing) return LoadResult::kMissing;
  LoadResult header = LoadResult::kDamaged;
  ByteReader in(file_);
  if (read == FileRead::kRead) header = ReadHeader(&in, digest_, name_, &reason);
  if (header != LoadResult::kLoaded) {
    file_.clear();
    file_.shrink_to_fit();
    if (header == LoadResult::kDamaged && sink) {
      sink(path_ + ": " + reason + "; the " + name_ + " is rebuilt");
    }
    return header;
  }
  bool clean = ParseEntries(std::string_view(file_).substr(in.pos()), &reason);
  if (!clean && sink) sink(path_ + ": " + reason + "; " + redone_);
  if (clean) {
    appendable_ = true;
    file_id_ = FileId{st.st_dev, st.st_ino, file_.size()};
  }
  return LoadResult::kLoaded;
}

bool ConversionCache::ParseEntries(std::string_view bytes, std::string* reason) {
  ByteReader in(bytes);
  for (std::size_t count = 0; in.left() > 0; ++count) {
    std::size_t start = in.pos();
    std::string_view key_bytes, html;
    std::uint64_t size = 0;
    if (!in.Bytes(kKeySize, &key_bytes) || !in.U64(&size) || !in.Bytes(size, &html) ||
        in.left() < kSumSize) {
      *reason = "is cut short after " + std::to_string(count) + " entries";
      return false;
    }
    if (!SumOf(&in, start)) {
      *reason = "has a damaged entry after " + std::to_string(count) + " good ones";
      return false;
    }
    Key key;
    std::memcpy(key.data(), key_bytes.data(), kKeySize);
    entries_[key] = Entry{html, false, true};
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
  entries_[key] = Entry{added_.back(), true, false};
  return added_.back();
}

bool ConversionCache::Save(const DiagnosticSink& sink) {
  if (path_.empty()) return true;
  // Bytes of the file that serve this run, and the used entries not in it.
  std::uint64_t live = 0, live_in_file = 0;
  std::vector<Item*> fresh;
  for (auto& item : entries_) {
    if (!item.second.used) continue;
    std::uint64_t size = EntrySize(item.second.html);
    live += size;
    if (item.second.in_file) {
      live_in_file += size;
    } else {
      fresh.push_back(&item);
    }
  }
  std::string error;
  if (appendable_) {
    // The rest of the file: entries of posts that changed or went, and
    // entries replaced by later ones. Kept until they outweigh the live ones,
    // so the file stays under about twice the bytes it serves.
    const std::uint64_t in_file = file_id_.size - Header().size();
    const std::uint64_t stale = in_file >= live_in_file ? in_file - live_in_file : in_file;
    if (stale <= live) {
      if (fresh.empty()) return true;
      if (Append(fresh, &error)) return true;
      if (!error.empty()) {
        if (sink) sink(error + " (the " + name_ + " is not kept)");
        return false;
      }
    }
  }
  if (!Rewrite(&error)) {
    if (sink) sink(error + " (the " + name_ + " is not kept)");
    return false;
  }
  return true;
}

// One write() on an O_APPEND descriptor. A build that finds the file longer
// than it left it rewrites instead, but two builds can both pass that check
// before either writes: on a local file system Linux positions and performs
// each write under the file's lock, so their batches land whole, one after
// the other, and cannot tear each other's entries (a post both converted
// appears twice; the later entry wins). Not guaranteed: on a network file
// system (NFS emulates O_APPEND) writes may overlap, and a crash or a full
// disk can cut a batch short; the entry checksums catch both and the next
// Save rewrites the file. A build that renames a new file into place between
// the check below and the write sends this batch to the replaced file, where
// it is lost: a cache miss, never a wrong page.
bool ConversionCache::Append(const std::vector<Item*>& fresh, std::string* error) {
  // Read access too, for the header check.
  Fd fd(::open(path_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC));
  if (fd.get() < 0) return false;  // gone meanwhile: rewrite
  // Still the file Load read or Save wrote, at the same length, with our
  // header: another build may have replaced it (other scripts) or appended.
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || st.st_dev != file_id_.device || st.st_ino != file_id_.inode ||
      static_cast<std::uint64_t>(st.st_size) != file_id_.size) {
    return false;
  }
  const std::string header = Header();
  std::string on_disk(header.size(), '\0');
  if (::pread(fd.get(), on_disk.data(), on_disk.size(), 0) !=
          static_cast<ssize_t>(on_disk.size()) ||
      on_disk != header) {
    return false;
  }

  // In key order, like a rewrite, so the same edits append the same bytes.
  std::vector<Item*> sorted = fresh;
  std::sort(sorted.begin(), sorted.end(),
            [](const Item* a, const Item* b) { return a->first < b->first; });
  std::string out;
  std::size_t total = 0;
  for (const Item* item : sorted) total += EntrySize(item->second.html);
  out.reserve(total);
  for (const Item* item : sorted) AppendEntry(item->first, item->second.html, &out);
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::write(fd.get(), out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Whatever part went out is a torn tail: the next Load stops before it.
      appendable_ = false;
      *error = path_ + ": " + std::strerror(n < 0 ? errno : EIO);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  for (Item* item : fresh) item->second.in_file = true;
  file_id_.size += out.size();
  return true;
}

bool ConversionCache::Rewrite(std::string* error) {
  std::vector<Item*> kept;
  kept.reserve(entries_.size());
  std::size_t total = 0;
  for (auto& item : entries_) {
    if (!item.second.used) continue;
    kept.push_back(&item);
    total += EntrySize(item.second.html);
  }
  // Sorted, so that the same posts always give the same file.
  std::sort(kept.begin(), kept.end(),
            [](const Item* a, const Item* b) { return a->first < b->first; });
  std::string out = Header();
  out.reserve(out.size() + total);
  for (const Item* item : kept) AppendEntry(item->first, item->second.html, &out);

  appendable_ = false;
  std::error_code ec;
  fs::path folder = fs::path(path_).parent_path();
  if (!folder.empty()) fs::create_directories(folder, ec);
  // Not forced to disk: a file cut short by a crash fails its checksums and
  // is rebuilt, which costs time but loses nothing.
  if (!WriteTextFile(path_, out, error, WriteMode::kRegenerable)) return false;
  // Unused entries stay in memory; should a later run use one again, it is
  // no longer in the file and gets appended.
  for (auto& item : entries_) item.second.in_file = item.second.used;
  struct stat st;
  if (::stat(path_.c_str(), &st) == 0) {
    file_id_ = FileId{st.st_dev, st.st_ino, out.size()};
    appendable_ = static_cast<std::uint64_t>(st.st_size) == out.size();
  }
  return true;
}

}  // namespace tarn
