// ConversionCache: the HTML of posts' Markdown kept between builds, so that a
// build converts only the posts that changed since the last one.
//
// An entry is keyed by the SHA-256 of the Markdown text; the whole cache
// belongs to one version of the converting scripts (a digest of the page's
// scripts, JscScriptHost::ScriptsDigest), so new scripts invalidate every
// entry at once. The file lives in the workspace's hidden .tarn/ folder:
//
//   "TARNMDC\n"  magic
//   u32          format version
//   u32, bytes   the scripts digest
//   u64          number of entries
//   per entry:   32-byte key, u64 HTML length, HTML bytes
//   32 bytes     SHA-256 of everything before it
//
// (integers little-endian). A file that is damaged, truncated, of another
// format version or made by other scripts is not used, whatever it holds;
// the next Save replaces it. Save keeps only the entries this run looked up
// or added, so the file never outgrows the posts it serves.
//
// Thread safety: none; one thread fills and reads it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

#include "data/diagnostics.h"

namespace tarn {

class ConversionCache {
 public:
  using Key = std::array<std::uint8_t, 32>;

  // What Load found.
  enum class LoadResult {
    kMissing,   // no file (the first build): nothing to say
    kLoaded,    // entries available
    kStale,     // made by other scripts or another format version: ignored
    kDamaged,   // truncated, corrupted or not a cache file: ignored (noted)
  };

  // scripts_digest: the digest of the scripts whose results this cache
  // holds. path: the cache file ("" keeps the cache in memory only).
  ConversionCache(std::string path, std::string scripts_digest);

  // Reads the file. A damaged file is noted on the sink (which may be
  // null); the cache then starts empty. Never fails otherwise.
  LoadResult Load(const DiagnosticSink& sink);

  // Sets *html to the HTML stored for key and marks the entry as used;
  // false when there is none. The view stays valid while the cache lives.
  bool Find(const Key& key, std::string_view* html);

  // Stores (or replaces) the HTML for key, as used, and returns a view of
  // the stored text, valid while the cache lives.
  std::string_view Put(const Key& key, std::string html);

  // Writes the used entries to the file, atomically, creating its folder
  // when missing; does nothing when no path was given or nothing changed
  // since Load. Returns false, with the reason on the sink, when the file
  // cannot be written; the build does not depend on it.
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
  };

  bool Parse(std::string_view bytes, bool* foreign, std::string* reason);

  std::string path_;
  std::string digest_;
  std::unordered_map<Key, Entry, KeyHash> entries_;
  std::string file_;                // the loaded file; entries point into it
  std::deque<std::string> added_;   // HTML added since; a deque keeps it in place
  bool dirty_ = false;
};

}  // namespace tarn
