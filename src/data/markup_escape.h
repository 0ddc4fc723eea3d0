// Escaping text for HTML and XML: the one place that knows which characters
// each kind of slot must escape. Bytes are passed through otherwise (UTF-8
// stays as it is); callers that must drop characters a format forbids do
// that before.
//
// Thread safety: pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

enum class MarkupSlot {
  kText,       // element text in HTML: & < >
  kAttribute,  // a double-quoted HTML attribute value: & < > "
  kXml,        // XML text or attribute value in either quotes: & < > " '
};

// Appends c to *out, as a character reference when the slot needs one.
void AppendEscapedChar(char c, MarkupSlot slot, std::string* out);

// text with every character the slot needs escaped.
std::string EscapeMarkup(std::string_view text, MarkupSlot slot);

}  // namespace tarn
