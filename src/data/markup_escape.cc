#include "data/markup_escape.h"

namespace tarn {

void AppendEscapedChar(char c, MarkupSlot slot, std::string* out) {
  switch (c) {
    case '&':
      out->append("&amp;");
      return;
    case '<':
      out->append("&lt;");
      return;
    case '>':
      out->append("&gt;");
      return;
    case '"':
      if (slot != MarkupSlot::kText) {
        out->append("&quot;");
        return;
      }
      break;
    case '\'':
      if (slot == MarkupSlot::kXml) {
        out->append("&apos;");
        return;
      }
      break;
    default:
      break;
  }
  out->push_back(c);
}

std::string EscapeMarkup(std::string_view text, MarkupSlot slot) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendEscapedChar(c, slot, &out);
  return out;
}

}  // namespace tarn
