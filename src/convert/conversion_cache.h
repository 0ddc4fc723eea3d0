// ConversionCache: the HTML of posts' Markdown kept between builds, so that a
// build converts only the posts that changed since the last one.
//
// An entry is keyed by the SHA-256 of the Markdown text; the whole cache
// belongs to one version of the converting scripts (a digest of the page's
// scripts, JscScriptHost::ScriptsDigest), so new scripts invalidate every
// entry at once. The file lives in the workspace's hidden .tarn/ folder:
//
//   header:
//     "TARNMDC\n"  magic
//     u32          format version
//     u32, bytes   the scripts digest
//     32 bytes     SHA-256 of the header bytes before it
//   then entries, each checked on its own:
//     32 bytes     key
//     u64          HTML length
//     bytes        HTML
//     32 bytes     SHA-256 of the entry's bytes before it
//
// (integers little-endian). The file is a log: a build that changed a few
// posts appends their entries instead of writing the whole file again, which
// for a large blog is tens of megabytes. When a key appears twice, the later
// entry wins.
//
// What Load believes: a file of another format version or made by other
// scripts is stale, and one whose header is damaged is not a cache file;
// nothing of either is used. An entry that is cut short or fails its
// checksum ends the log: the entries before it are used, nothing after it
// is (its length may be the damaged part, so nothing after it can be found
// again), and the next Save rewrites the file. A crash during an append
// leaves exactly such a torn tail.
//
// What Save writes: the entries added since Load, appended, when the file
// loaded cleanly, is still the file Load read, and holds no more bytes of
// entries this run did not use than of entries it used. Otherwise it
// rewrites the file with the used entries only, sorted by key, so the file
// never grows much beyond twice what it serves and the same posts give the
// same file.
//
// Thread safety: none; one thread fills and reads it.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/diagnostics.h"

namespace tarn {

class ConversionCache {
 public:
  using Key = std::array<std::uint8_t, 32>;

  // What Load found.
  enum class LoadResult {
    kMissing,  // no file (the first build): nothing to say
    kLoaded,   // a good header; the entries before any damaged one available
    kStale,    // made by other scripts or another format version: ignored
    kDamaged,  // unreadable, a broken header or not a cache file: ignored (noted)
  };

  // scripts_digest: the digest of the scripts whose results this cache
  // holds. path: the cache file ("" keeps the cache in memory only).
  // name: what messages call the cache; redone: what a damaged entry
  // costs, as messages say it. (Other results kept the same way, such as
  // render/article_text_cache.h, give a digest of what makes them.)
  ConversionCache(std::string path, std::string scripts_digest, std::string name = "Markdown cache",
                  std::string redone = "the posts after it are converted again");

  // Reads the file. A damaged file or entry is noted on the sink (which may
  // be null); what cannot be trusted is left out. Never fails otherwise.
  LoadResult Load(const DiagnosticSink& sink);

  // Sets *html to the HTML stored for key and marks the entry as used;
  // false when there is none. The view stays valid while the cache lives.
  bool Find(const Key& key, std::string_view* html);

  // Stores (or replaces) the HTML for key, as used, and returns a view of
  // the stored text, valid while the cache lives.
  std::string_view Put(const Key& key, std::string html);

  // Appends the entries added since the last Load or Save to the file, or
  // rewrites it atomically (see above), creating its folder when missing;
  // does nothing when no path was given or there is nothing to write.
  // Returns false, with the reason on the sink, when the file cannot be
  // written; the build does not depend on it.
  bool Save(const DiagnosticSink& sink);

  // The SHA-256 of text.
  static Key KeyOf(std::string_view text);

  std::size_t size() const { return entries_.size(); }
  const std::string& path() const { return path_; }

  // For hash maps keyed by Key.
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };

 private:
  struct Entry {
    std::string_view html;
    bool used = false;
    bool in_file = false;  // its bytes are in the file as it was last read or written
  };
  using Item = std::pair<const Key, Entry>;

  // Which file the log is, as last read or written: appending is safe only
  // to that very file at that very length.
  struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    std::uint64_t size = 0;
  };

  std::string Header() const;
  static void AppendEntry(const Key& key, std::string_view html, std::string* out);
  bool ParseEntries(std::string_view bytes, std::string* reason);
  // Each returns false with *error set when the file cannot be written; an
  // Append that finds the file not as expected returns false with *error
  // empty, and the caller rewrites instead.
  bool Append(const std::vector<Item*>& fresh, std::string* error);
  bool Rewrite(std::string* error);

  std::string path_;
  std::string digest_;
  std::string name_;
  std::string redone_;
  std::unordered_map<Key, Entry, KeyHash> entries_;
  std::string file_;               // the loaded file; entries point into it
  std::deque<std::string> added_;  // HTML added since; a deque keeps it in place
  // Whether the next Save may append to the file described by file_id_;
  // false until a Load found it clean or a Save wrote it.
  bool appendable_ = false;
  FileId file_id_;
};

}  // namespace tarn
