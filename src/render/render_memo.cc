#include "render/render_memo.h"

#include <elf.h>
#include <link.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "data/byte_reader.h"
#include "data/hex_text.h"
#include "data/text_file.h"
#include "render/public_folder.h"
#include "template/template_data.h"
#include "template/template_engine.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace tarn {
namespace {

constexpr std::string_view kMagic = "TARNRMO\n";
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kSumSize = std::tuple_size_v<RenderMemo::Digest>;
// A longer identity is not one of ours.
constexpr std::uint32_t kMaxIdentitySize = 1024;

// XXH3's 128 bits, which hashes a page's reads many times faster than
// SHA-256 (on a processor without SHA instructions, tenfold): the memo
// guards against change and damage, not against an adversary, who would
// need write access to the workspace anyway.
RenderMemo::Digest DigestOf(std::string_view text) {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits(text.data(), text.size()));
  RenderMemo::Digest digest;
  std::memcpy(digest.data(), canonical.digest, digest.size());
  return digest;
}

void PutSumOf(std::string* out, std::size_t from) {
  RenderMemo::Digest sum = DigestOf(std::string_view(*out).substr(from));
  out->append(reinterpret_cast<const char*>(sum.data()), sum.size());
}

RenderMemo::Digest DigestOf(int value) {
  RenderMemo::Digest digest{};
  for (int i = 0; i < 4; ++i)
    digest[i] = static_cast<std::uint8_t>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xff);
  return digest;
}

bool IsText(TemplateReads::Read op) { return op == TemplateReads::Read::kText; }

// The digest at the reader's position into *out.
bool ReadDigest(ByteReader* in, RenderMemo::Digest* out) {
  std::string_view bytes;
  if (!in->Bytes(out->size(), &bytes)) return false;
  std::memcpy(out->data(), bytes.data(), out->size());
  return true;
}

// True when the next kSumSize bytes are the digest of the bytes before them.
bool SumOf(ByteReader* in) {
  std::string_view covered = in->consumed();
  RenderMemo::Digest sum;
  return ReadDigest(in, &sum) && DigestOf(covered) == sum;
}

// Appends to *id the hex of the GNU build ID of the object info describes,
// found in its notes; returns 1 (done) once it has looked at the first
// object, the program.
int AppendBuildId(struct dl_phdr_info* info, std::size_t /*size*/, void* id_out) {
  auto* id = static_cast<std::string*>(id_out);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_NOTE) continue;
    const char* at = reinterpret_cast<const char*>(info->dlpi_addr + header.p_vaddr);
    const char* end = at + header.p_memsz;
    while (at + sizeof(ElfW(Nhdr)) <= end) {
      const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(at);
      const char* name = at + sizeof(ElfW(Nhdr));
      const char* desc = name + ((note->n_namesz + 3) & ~3u);
      if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 &&
          std::memcmp(name, "GNU", 4) == 0 && desc + note->n_descsz <= end) {
        AppendHexText(reinterpret_cast<const unsigned char*>(desc), note->n_descsz, id);
        return 1;
      }
      at = desc + ((note->n_descsz + 3) & ~3u);
    }
  }
  return 1;
}

// The program whose engine made the memo: its version and its build ID,
// which changes with every build of the program (its code may change
// between builds of one version), or, without one, the executable's size
// and modification time.
const std::string& ProgramIdentity() {
  static const std::string identity = [] {
    std::string id = TARN_VERSION;
    id += ' ';
    const std::size_t start = id.size();
    dl_iterate_phdr(AppendBuildId, &id);
    struct stat st {};
    if (id.size() == start && ::stat("/proc/self/exe", &st) == 0) {
      id += std::to_string(st.st_size) + ' ' + std::to_string(st.st_mtim.tv_sec) + '.' +
            std::to_string(st.st_mtim.tv_nsec);
    }
    return id;
  }();
  return identity;
}

}  // namespace

// Logs a render's reads into a page's list.
class RenderMemo::Recorder : public TemplateReads {
 public:
  Recorder(RenderMemo* memo, std::vector<RenderMemo::Read>* reads) : memo_(memo), reads_(reads) {}
  void Text(std::string_view path, std::string_view text) override {
    reads_->push_back({Read::kText, memo_->PathId(path), DigestOf(text)});
  }
  void Value(Read read, std::string_view path, int value) override {
    reads_->push_back({read, memo_->PathId(path), DigestOf(value)});
  }

 private:
  RenderMemo* memo_;
  std::vector<RenderMemo::Read>* reads_;
};

RenderMemo::RenderMemo(std::string path) : path_(std::move(path)) {}

RenderMemo::Digest RenderMemo::FixedDigest(std::string_view text, std::string_view name,
                                           const TemplateData& data) {
  // Pages of one kind share their text: hashed once, compared after.
  if (text != text_) {
    text_ = text;
    text_digest_ = DigestOf(text);
  }
  std::string fixed(reinterpret_cast<const char*>(text_digest_.data()), text_digest_.size());
  AppendSized(&fixed, name);
  AppendSized(&fixed, data.root_path());
  for (const std::string& member : data.verbatim_members()) AppendSized(&fixed, member);
  return DigestOf(fixed);
}

std::uint32_t RenderMemo::PathId(std::string_view path) {
  // Most reads are of paths met before: looked up without a copy.
  auto it = path_ids_.find(path);
  if (it != path_ids_.end()) return it->second;
  const auto id = static_cast<std::uint32_t>(paths_.size());
  path_ids_.emplace(std::string(path), id);
  paths_.emplace_back(path);
  return id;
}

bool RenderMemo::Replays(const std::vector<Read>& reads, const TemplateData& data) const {
  for (const Read& read : reads) {
    const std::string& path = paths_[read.path];
    Digest result;
    switch (read.op) {
      case TemplateReads::Read::kText:
        result = DigestOf(data.GetText(path));
        break;
      case TemplateReads::Read::kCount:
        result = DigestOf(data.GetCount(path));
        break;
      case TemplateReads::Read::kType:
        result = DigestOf(data.GetType(path));
        break;
      case TemplateReads::Read::kTruth:
        result = DigestOf(data.IsTrue(path) ? 1 : 0);
        break;
    }
    if (result != read.result) return false;
  }
  return true;
}

bool RenderMemo::Expand(TemplateEngine& engine, PublicFolder& out, const std::string& relative,
                        std::string_view text, const TemplateData& data, std::string_view name,
                        std::string* page) {
  if (!on()) {
    *page = engine.Expand(text, data, name);
    return true;
  }
  const Digest fixed = FixedDigest(text, name, data);
  const bool first = seen_.insert(relative).second;
  auto it = pages_.find(relative);
  if (first && it != pages_.end() && it->second.fixed == fixed &&
      out.HoldsStamped(relative, it->second.stamp) && Replays(it->second.reads, data)) {
    it->second.state = State::kKept;
    out.Generated(relative);
    return false;
  }
  if (!first) {
    // Written twice in one build: the later page wins and is written.
    pages_.erase(relative);
    *page = engine.Expand(text, data, name);
    return true;
  }
  Page fresh;
  fresh.fixed = fixed;
  fresh.state = State::kRendered;
  Recorder recorder(this, &fresh.reads);
  TemplateData recorded = data;
  recorded.set_reads(&recorder);
  const int warnings = engine.warnings();
  *page = engine.Expand(text, recorded, name);
  if (page->empty() || engine.warnings() != warnings) {
    pages_.erase(relative);
  } else {
    pages_.insert_or_assign(relative, std::move(fresh));
  }
  return true;
}

std::string RenderMemo::Header() const {
  std::string out(kMagic);
  AppendInt(&out, kVersion);
  AppendSized(&out, ProgramIdentity());
  PutSumOf(&out, 0);
  return out;
}

RenderMemo::LoadResult RenderMemo::Load(const DiagnosticSink& sink) {
  paths_.clear();
  path_ids_.clear();
  pages_.clear();
  seen_.clear();
  if (!on()) return LoadResult::kMissing;
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) return LoadResult::kMissing;
  std::string bytes;
  std::string reason = "cannot be read";
  LoadResult result = ReadTextFile(path_, &bytes) ? Believe(bytes, &reason) : LoadResult::kDamaged;
  // Gone until Save: once this build has written a page, the file no
  // longer vouches for public/ (where a file's time is coarse, a page
  // written again can keep its size and time).
  std::filesystem::remove(path_, ec);
  if (result == LoadResult::kLoaded) return result;
  paths_.clear();
  path_ids_.clear();
  pages_.clear();
  if (result == LoadResult::kDamaged && sink)
    sink(path_ + ": " + reason + "; every page is rendered again");
  return result;
}

RenderMemo::LoadResult RenderMemo::Believe(std::string_view bytes, std::string* reason) {
  ByteReader in(bytes);
  std::string_view magic, identity;
  std::uint32_t version = 0;
  if (!in.Bytes(kMagic.size(), &magic) || magic != kMagic || !in.U32(&version)) {
    *reason = "is not a page memo file";
    return LoadResult::kDamaged;
  }
  if (version != kVersion) return LoadResult::kStale;
  if (!in.Sized(&identity) || identity.size() > kMaxIdentitySize || !SumOf(&in)) {
    *reason = "has a broken header";
    return LoadResult::kDamaged;
  }
  if (identity != ProgramIdentity()) return LoadResult::kStale;
  std::string_view body = bytes.substr(in.pos());
  *reason = "is damaged";
  if (body.size() < kSumSize) return LoadResult::kDamaged;
  RenderMemo::Digest sum;
  std::memcpy(sum.data(), body.data() + body.size() - kSumSize, kSumSize);
  body.remove_suffix(kSumSize);
  if (DigestOf(body) != sum || !Parse(body)) return LoadResult::kDamaged;
  return LoadResult::kLoaded;
}

bool RenderMemo::Parse(std::string_view body) {
  ByteReader in(body);
  std::uint32_t count = 0;
  if (!in.U32(&count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string_view path;
    if (!in.Sized(&path)) return false;
    PathId(path);
  }
  if (paths_.size() != count || !in.U32(&count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string_view relative;
    Page page;
    std::uint64_t size = 0, seconds = 0, nanoseconds = 0;
    std::uint32_t reads = 0;
    if (!in.Sized(&relative) || !ReadDigest(&in, &page.fixed) || !in.U64(&size) ||
        !in.U64(&seconds) || !in.U64(&nanoseconds) || !in.U32(&reads))
      return false;
    page.stamp = {size, static_cast<std::int64_t>(seconds), static_cast<std::int64_t>(nanoseconds)};
    for (std::uint32_t r = 0; r < reads; ++r) {
      std::string_view op;
      Read read{};
      std::uint32_t value = 0;
      if (!in.Bytes(1, &op) || !in.U32(&read.path) || read.path >= paths_.size()) return false;
      read.op = static_cast<TemplateReads::Read>(op[0]);
      if (read.op < TemplateReads::Read::kText || read.op > TemplateReads::Read::kTruth)
        return false;
      if (IsText(read.op) ? !ReadDigest(&in, &read.result) : !in.U32(&value)) return false;
      if (!IsText(read.op)) read.result = DigestOf(static_cast<int>(value));
      page.reads.push_back(read);
    }
    pages_.insert_or_assign(std::string(relative), std::move(page));
  }
  return in.done();
}

void RenderMemo::AppendBody(std::string* out) const {
  // Only the paths the kept pages read, renumbered in order of use. Two
  // passes over the pages, so that the file is the only copy of a large
  // memo in memory.
  std::vector<std::int64_t> renumbered(paths_.size(), -1);
  std::vector<std::uint32_t> order;
  for (const auto& [relative, page] : pages_) {
    for (const Read& read : page.reads) {
      if (renumbered[read.path] >= 0) continue;
      renumbered[read.path] = static_cast<std::int64_t>(order.size());
      order.push_back(read.path);
    }
  }
  AppendInt(out, static_cast<std::uint32_t>(order.size()));
  for (std::uint32_t id : order) AppendSized(out, paths_[id]);
  AppendInt(out, static_cast<std::uint32_t>(pages_.size()));
  for (const auto& [relative, page] : pages_) {
    AppendSized(out, relative);
    out->append(reinterpret_cast<const char*>(page.fixed.data()), page.fixed.size());
    AppendInt<std::uint64_t>(out, page.stamp.size);
    AppendInt(out, static_cast<std::uint64_t>(page.stamp.seconds));
    AppendInt(out, static_cast<std::uint64_t>(page.stamp.nanoseconds));
    AppendInt(out, static_cast<std::uint32_t>(page.reads.size()));
    for (const Read& read : page.reads) {
      out->push_back(static_cast<char>(read.op));
      AppendInt(out, static_cast<std::uint32_t>(renumbered[read.path]));
      out->append(reinterpret_cast<const char*>(read.result.data()), IsText(read.op) ? 16 : 4);
    }
  }
}

bool RenderMemo::Save(PublicFolder& out, const DiagnosticSink& sink) {
  if (!on()) return true;
  for (auto it = pages_.begin(); it != pages_.end();) {
    Page& page = it->second;
    // A page this build did not make, or one whose file is not there to
    // vouch for it, is forgotten.
    if (page.state == State::kLoaded ||
        (page.state == State::kRendered && !out.tree().StampOf(it->first, &page.stamp))) {
      it = pages_.erase(it);
      continue;
    }
    page.state = State::kLoaded;
    ++it;
  }
  seen_.clear();
  std::string file = Header();
  std::size_t start = file.size();
  AppendBody(&file);
  PutSumOf(&file, start);
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  std::string error;
  // Not forced to disk: a file cut short by a crash fails its checksum and
  // every page renders, which costs time but loses nothing.
  if (!WriteTextFile(path_, file, &error, WriteMode::kRegenerable)) {
    if (sink) sink(error + " (the page memo is not kept; the next build renders every page)");
    return false;
  }
  return true;
}

}  // namespace tarn
