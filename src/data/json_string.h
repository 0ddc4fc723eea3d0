// JSON string literals written straight into text: for callers that produce
// a large JSON text of a fixed shape (the search index) without building a
// JsonDocument, and for the document's own serializer, so that both write
// the same bytes for the same string.
//
// Thread safety: the functions keep no state; any thread may call them.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

// Appends text to *out in double quotes, with " / \ and the control
// characters \b \t \n \r \f escaped by a backslash; every other byte
// (other control characters among them) is written as it is: the bytes
// JsonDocument::ToText writes for a string it holds (ToText then turns a
// lone surrogate kept as WTF-8 into U+FFFD; text here is taken as it is).
// Cannot fail.
void AppendJsonString(std::string_view text, std::string* out);

// The same for text taken from outside: a byte that is not part of
// well-formed UTF-8 (a lone surrogate among them) becomes U+FFFD first, as
// JsonDocument::SetText stores it. Cannot fail.
void AppendJsonText(std::string_view text, std::string* out);

}  // namespace tarn
