// FlatYaml: reads the front matter most posts have, a flat list of keys
// with one-line values, in a fraction of the time yaml-cpp takes (about a
// tenth of a millisecond a block, most of a small post's build).
//
// What it takes: lines "key: value" at the left margin (a key of letters,
// digits, "_", "-" and "."), blank lines and comments; a value that is
// plain, 'single-quoted' or "double-quoted without escapes", a one-line
// [flow, list] of such scalars, or nothing followed by "- item" lines, each
// a scalar. Anything else (nested tables, block scalars, anchors, tags,
// escapes, multi-line scalars, tabs, control characters, a duplicate key,
// more values than FrontMatter allows) is not read: Read returns false and
// the caller parses the block with yaml-cpp, which gives what it gives,
// errors included. What Read returns is what FrontMatter makes of yaml-cpp's
// result for the same block (flat_yaml_test compares the two).
//
// Thread safety: stateless; any thread.
#pragma once

#include <string_view>

#include "data/json_document.h"

namespace tarn {

class FlatYaml {
 public:
  // The value of a plain (unquoted) scalar, as YAML 1.2's core schema reads
  // it but with only JSON-style numbers as numbers: null for "", "~" and
  // null/Null/NULL, a boolean for true/True/TRUE and false/False/FALSE, a
  // number for "12", "-0.5" or "1e3" (its digits kept as written), else the
  // text.
  static JsonDocument PlainScalar(std::string_view text);

  // Reads block (the text between the fences) into *values, an object of
  // the keys in the order written. Returns false, leaving *values alone,
  // for a block outside the form above.
  static bool Read(std::string_view block, JsonDocument* values);
};

}  // namespace tarn
