// FrontMatter: the metadata block at the top of a post, as Hexo, Hugo and
// Jekyll write it.
//
// A post whose first line is "---" holds YAML up to the next line that is
// "---" or "..."; one whose first line is "+++" holds TOML up to the next
// "+++" line. Lines end in LF or CR LF. The block is parsed with yaml-cpp
// (or, for the flat blocks most posts have, FlatYaml, to the same values) or
// toml++ into a JSON object that keeps every key as written and in the order
// written: lists stay arrays, tables stay objects, YAML's plain true/false,
// null and JSON-style numbers keep their type, TOML dates and times become
// their text ("1979-05-27T07:32:00-08:00").
//
// What is refused, and reported: a block that is never closed (the post is
// then plain Markdown), a block over kMaxBytes, one nested deeper than
// kMaxDepth or expanding (through YAML aliases) to more than kMaxValues
// values or kMaxExpandedBytes bytes of keys and values, and a block whose
// top level is not a table of keys. A refused or unparsable block leaves
// the post as if it had no front matter.
//
// Thread safety: an instance is used by one thread at a time; separate
// instances may be used on separate threads.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "data/json_document.h"

namespace tarn {

class FrontMatter {
 public:
  enum class Format { kNone, kYaml, kToml };

  static constexpr std::size_t kMaxBytes = 256 * 1024;
  static constexpr int kMaxDepth = 64;
  static constexpr int kMaxValues = 20000;
  // Bytes of keys and scalar values, counted as they are copied out of the
  // block: an alias counts its anchor's bytes again. A block without
  // aliases holds no more than kMaxBytes of them.
  static constexpr std::size_t kMaxExpandedBytes = 4 * kMaxBytes;

  // Where a block sits in a post's text.
  struct Block {
    Format format = Format::kNone;  // kNone: the text opens with no fence
    bool closed = false;            // false: a fence opens but none closes
    std::string_view text;          // between the fence lines, without them
    std::size_t body = 0;           // first byte after the closing fence's line
  };

  // Finds the block at the start of text; never fails.
  static Block Find(std::string_view text);

  // The text after the front matter: the whole text when it has none or it
  // is not closed.
  static std::string_view BodyOf(std::string_view text);

  // Reads the front matter of a post's text. Returns true when there was a
  // block and it was read. Returns false when there is none (silently) or
  // it was refused or does not parse: that is reported to sink (may be null)
  // as "PATH:LINE: what is wrong", LINE counting from the file's first line.
  bool Read(std::string_view text, const std::string& path, const DiagnosticSink& sink);

  // false: every YAML block is parsed by yaml-cpp, also those FlatYaml
  // reads (tests compare the two). True by default.
  void set_flat_yaml(bool on) { flat_yaml_ = on; }

  bool present() const { return present_; }
  Format format() const { return format_; }
  // Offset of the body in the text given to Read; 0 without front matter.
  std::size_t body_offset() const { return body_; }
  // Every key as written; an empty object without front matter.
  const JsonDocument& values() const { return values_; }
  // Moves the values out, leaving an empty object: spares a deep copy.
  JsonDocument TakeValues();

  bool Has(std::string_view key) const;
  // A scalar as text (numbers as written, true/false); "" for a missing key,
  // null, a list or a table.
  std::string GetText(std::string_view key) const;
  // A list of scalars as texts, or a single scalar as a list of one. Empty
  // texts and nested containers are dropped.
  std::vector<std::string> GetList(std::string_view key) const;
  // True, setting *value, when key holds a boolean: true/false, or the YAML
  // 1.1 words yes/no/on/off that Jekyll's parser takes for one.
  bool GetFlag(std::string_view key, bool* value) const;

  enum class DateResult { kMissing, kRead, kUnreadable };
  // The date or date-time at key (see ParseDate), as seconds since the
  // epoch.
  DateResult GetDate(std::string_view key, std::time_t* time) const;

  // Reads a date as front matter writes it: "YYYY-MM-DD", optionally
  // followed by " HH:MM" or " HH:MM:SS" (or "T" instead of the space, with
  // fractional seconds), then optionally "Z", "±HH:MM", "±HHMM" or "±HH",
  // before which a space is allowed (Jekyll's "+0800"). Slashes instead of
  // dashes and numbers without padding are accepted too (Hexo's
  // "YYYY/M/D H:mm:ss"). Without an offset the time is local time. Returns
  // false for anything else, or an impossible date such as February 30.
  static bool ParseDate(std::string_view text, std::time_t* time);

  // Now as "YYYY-MM-DDTHH:MM:SS±HH:MM" in local time, for new posts.
  static std::string FormatNow(std::time_t now);

  // The text a new post starts with: YAML front matter with title (quoted
  // as YAML needs), date (FormatNow) and an empty tags list, then an empty
  // line. Line breaks are LF.
  static std::string NewPostText(std::string_view title, std::time_t now);

 private:
  bool ParseYaml(const Block& block, int first_line, const std::string& path,
                 const DiagnosticSink& sink);
  bool ParseToml(const Block& block, int first_line, const std::string& path,
                 const DiagnosticSink& sink);

  bool present_ = false;
  Format format_ = Format::kNone;
  std::size_t body_ = 0;
  JsonDocument values_ = JsonDocument::NewObject();
  bool flat_yaml_ = true;
};

}  // namespace tarn
