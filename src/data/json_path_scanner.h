// JsonPathScanner: splits a JsonDocument path ("pages[0].tpl", "a\\.b") into
// name and index segments, one per Next. Private to the JSON document's
// files.
//
// Dots separate names (several in a row count as one); "[n]" is an index,
// read as atoll reads n (saturating at the int range; text that is no
// number reads as 0). In a name, a backslash makes the next ".", "[", "]" or
// "\" part of the name; before anything else it stays. A name without
// escapes is a view into the path, so walking a plain path allocates
// nothing.
//
// Inline: every path lookup scans its path, once per template variable.
//
// Thread safety: one scanner per thread; the path must outlive it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "data/json_numbers.h"

namespace tarn::json_internal {

class JsonPathScanner {
 public:
  explicit JsonPathScanner(std::string_view path) : path_(path) {}

  // Moves to the next segment and sets is_index with index or name; false
  // at the end of the path.
  bool Next() {
    const std::size_t n = path_.size();
    while (pos_ < n && path_[pos_] == '.') ++pos_;
    if (pos_ >= n) return false;
    if (path_[pos_] == '[') {
      ReadIndex();
    } else {
      ReadName();
    }
    return true;
  }

  bool is_index = false;
  int index = 0;
  std::string_view name;  // valid until the next call of Next

 private:
  void ReadIndex() {
    const std::size_t n = path_.size();
    std::size_t start = ++pos_;
    std::size_t close = path_.find(']', start);
    if (close == std::string_view::npos) close = n;
    std::int64_t value = ParseLeadingInteger(path_.substr(start, close - start));
    index = value < std::numeric_limits<int>::min()   ? std::numeric_limits<int>::min()
            : value > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                      : static_cast<int>(value);
    is_index = true;
    pos_ = close < n ? close + 1 : n;
  }

  void ReadName() {
    const std::size_t n = path_.size();
    is_index = false;
    std::size_t start = pos_;
    bool escaped = false;
    while (pos_ < n) {
      char c = path_[pos_];
      if (c == '\\' && pos_ + 1 < n) {
        escaped = true;
        pos_ += 2;
        continue;
      }
      if (c == '.' || c == '[') break;
      ++pos_;
    }
    name = path_.substr(start, pos_ - start);
    if (escaped) Unescape();
  }

  // name without its escapes, in scratch_.
  void Unescape() {
    scratch_.clear();
    for (std::size_t i = 0; i < name.size(); ++i) {
      char c = name[i];
      if (c == '\\' && i + 1 < name.size()) {
        char e = name[i + 1];
        if (e == '.' || e == '[' || e == ']' || e == '\\') {
          scratch_.push_back(e);
          ++i;
          continue;
        }
      }
      scratch_.push_back(c);
    }
    name = scratch_;
  }

  std::string_view path_;
  std::size_t pos_ = 0;
  std::string scratch_;
};

}  // namespace tarn::json_internal
