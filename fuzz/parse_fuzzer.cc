// Feeds arbitrary bytes to JsonDocument's parser and checks what must hold
// for any input: no crash, and whatever parses serialises to a text that
// parses again and settles after one round (only line breaks in strings
// change on the first round, "\n" becoming CR LF).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/json_document.h"

namespace {

// Stops with a message naming the broken expectation; the fuzzer then keeps
// the input as a crash.
#define Check(condition)                                                                 \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  using tarn::JsonDocument;
  JsonDocument::ParseOptions options;
  options.decode_unicode_escapes = (data[0] & 1) != 0;
  options.reject_top_level_scalar = (data[0] & 2) != 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  JsonDocument doc;
  JsonDocument::ParseResult result;
  const bool ok = doc.Parse(text, options, &result);
  Check(ok || result.position <= text.size());
  int line = 0;
  int column = 0;
  JsonDocument::LineAndColumn(text, result.position, &line, &column);
  Check(line >= 1 && column >= 1);
  Check(ok == (result.code == JsonDocument::kOk));
  if (!ok) {
    Check(doc.ToText() == "{}");
    return 0;
  }

  std::string first = doc.ToText();
  JsonDocument again;
  Check(again.Parse(first));
  std::string second = again.ToText();
  JsonDocument settled;
  Check(settled.Parse(second));
  Check(settled.ToText() == second);

  // Pretty output reads back as the same tree.
  JsonDocument pretty;
  Check(pretty.Parse(again.ToText("", true)));
  Check(pretty.ToText() == second);

  // Copies are equal and independent.
  JsonDocument copy = doc.Clone();
  Check(copy.ToText() == first);
  copy.SetText("fuzz", "x");
  Check(doc.ToText() == first);

  // Walk the top level through the getters.
  int count = doc.GetCount("");
  for (int i = 0; i < count && i < 64; ++i) {
    std::string path = "[" + std::to_string(i) + "]";
    Check(doc.GetType(path) != JsonDocument::kMissing);
    (void)doc.GetText(path);
    (void)doc.GetInt64(path);
    (void)doc.GetDouble(path);
    (void)doc.GetBool(path);
    (void)doc.GetKey(path);
    Check(doc.GetItem("", i).HasTree());
  }
  (void)doc.ToText("", true, false);
  return 0;
}
