// TemplateReads: told of each value a template's expansion reads from its
// TemplateData, in the order read, with the result it got. The engine is
// deterministic and sees nothing of the data but these results, so an
// expansion of the same text against data that gives the same results to
// the same reads produces the same bytes: RenderMemo (render/) keeps the
// log to skip such expansions.
//
// Thread safety: as the TemplateData that calls it.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarn {

class TemplateReads {
 public:
  // Which TemplateData operation read the value.
  enum class Read : std::uint8_t { kText = 1, kCount = 2, kType = 3, kTruth = 4 };

  virtual ~TemplateReads() = default;

  // GetText(path) gave text.
  virtual void Text(std::string_view path, std::string_view text) = 0;
  // GetCount, GetType or IsTrue (0 or 1) of path gave value.
  virtual void Value(Read read, std::string_view path, int value) = 0;
};

}  // namespace tarn
