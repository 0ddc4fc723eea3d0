// RenderMemo: what each page of the last build read from the site data, kept
// between builds, so that a build skips expanding a page whose bytes cannot
// have changed.
//
// A page's bytes are a function of the text the engine expands (its layout
// resolved), the page's name, the view's fixed parts (verbatim members,
// root path) and the results of the reads the expansion makes through
// TemplateData (TemplateReads). The memo keeps, per file under public/, a
// digest of the first three, each read in order (operation, path, a digest
// of the text or the number it gave) and the stamp (size, modification
// time) of the file once written. A page is kept, not expanded, when:
// the digest is the same; public/ holds a plain file with that stamp; and
// the reads, replayed in order against the new data, give the same results
// (the first difference ends the replay). The engine is deterministic and
// sees nothing else, so the expansion would give the bytes public/ holds.
//
// Not memoized, so that every build reports them: a page that renders
// empty and one whose render met an engine warning. Nor a file a build
// renders twice (the later page wins, and it must be written).
//
// The file (Workspace::StatePath("render-memo.bin")) is written whole,
// atomically, by Save at the end of a build that succeeded:
//
//   header:
//     "TARNRMO\n"  magic
//     u32          format version
//     u32, bytes   the program's identity (TARN_VERSION and the running
//                  program's GNU build ID: the engine's code may change
//                  with any build of the program)
//     16 bytes     digest of the header bytes before it
//   body:
//     u32          number of read paths, then each: u32 length, bytes
//     u32          number of pages, then each:
//                    u32 length, bytes   the file, relative to public/
//                    16 bytes            digest of text, name, fixed parts
//                    u64, i64, i64       stamp: size, seconds, nanoseconds
//                    u32                 number of reads, then each:
//                      u8   TemplateReads::Read
//                      u32  index of its path
//                      16 bytes (a text's digest) or i32 (a number)
//     16 bytes     digest of the body bytes before it
//
// (integers little-endian; digests are XXH3's 128 bits, canonical form). What Load
// believes: a file of another format version or program is stale, one
// whose header or body is damaged is not a memo; nothing of either is used
// and every page renders. Load removes the file it read, and only Save,
// at the end of a build that succeeded, writes one: a build that failed
// or crashed, having written pages the file does not describe, leaves
// none, and the next build renders every page.
//
// Thread safety: none; the build's thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/diagnostics.h"
#include "render/output_tree.h"
#include "template/template_reads.h"

namespace tarn {

class PublicFolder;
class TemplateData;
class TemplateEngine;

class RenderMemo {
 public:
  using Digest = std::array<std::uint8_t, 16>;

  // One read of a page's render and the result it gave: a text's digest,
  // or a number in its first four bytes (little-endian).
  struct Read {
    TemplateReads::Read op;
    std::uint32_t path;  // index into the memo's paths
    Digest result;
  };

  // What Load found.
  enum class LoadResult { kMissing, kLoaded, kStale, kDamaged };

  // path: the memo file; "" turns the memo off (every page renders,
  // nothing is kept or saved).
  explicit RenderMemo(std::string path);

  // Reads the file and removes it (see above). A damaged file is noted
  // on the sink (which may be null) and ignored; never fails otherwise.
  LoadResult Load(const DiagnosticSink& sink);

  // The page relative (under public/) that engine.Expand(text, data, name)
  // gives: true with the page in *page, to be written by the caller; or
  // false, *page untouched, when out already holds exactly those bytes
  // (see above), noting relative as generated there.
  bool Expand(TemplateEngine& engine, PublicFolder& out, const std::string& relative,
              std::string_view text, const TemplateData& data, std::string_view name,
              std::string* page);

  // Takes the stamps of the pages rendered since Load, which must be on
  // disk by now (their writers flushed), and writes the file, creating
  // its folder. Pages this build did not make are left out. False, with the reason on the sink,
  // when it cannot be written; the build does not depend on it.
  bool Save(PublicFolder& out, const DiagnosticSink& sink);

  bool on() const { return !path_.empty(); }
  std::size_t size() const { return pages_.size(); }

 private:
  class Recorder;
  enum class State : std::uint8_t { kLoaded, kKept, kRendered };
  struct Page {
    Digest fixed{};
    OutputTree::Stamp stamp;
    std::vector<Read> reads;
    State state = State::kLoaded;
  };

  // True when each of reads gives the same result against data.
  bool Replays(const std::vector<Read>& reads, const TemplateData& data) const;
  // The digest of what a page's bytes depend on besides its reads.
  Digest FixedDigest(std::string_view text, std::string_view name, const TemplateData& data);
  std::uint32_t PathId(std::string_view path);
  std::string Header() const;
  // What Load makes of the file's bytes; *reason says why it is damaged.
  LoadResult Believe(std::string_view bytes, std::string* reason);
  bool Parse(std::string_view body);
  // The body as the file holds it, appended to *out.
  void AppendBody(std::string* out) const;

  std::string path_;
  std::vector<std::string> paths_;  // what Read::path indexes
  // Found by a string_view, without making a string.
  struct PathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view path) const {
      return std::hash<std::string_view>()(path);
    }
  };
  std::unordered_map<std::string, std::uint32_t, PathHash, std::equal_to<>> path_ids_;
  std::unordered_map<std::string, Page> pages_;
  std::set<std::string, std::less<>> seen_;  // the files this build has asked for
  std::string text_;                         // the text FixedDigest hashed last
  Digest text_digest_{};
};

}  // namespace tarn
