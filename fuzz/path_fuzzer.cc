// Drives JsonDocument's setters and getters with fuzzed paths, keys and
// values. Whatever the sequence, the document must keep serialising to a
// text that parses back to itself, and copies must stay independent.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "data/json_document.h"

namespace {

using tarn::JsonDocument;

constexpr std::size_t kMaxSelfCopy = 4096;

// Stops with a message naming the broken expectation; the fuzzer then keeps
// the input as a crash.
#define Check(condition)                                                                 \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // A length-prefixed text. Index digits are capped so that a path cannot
  // ask for a billion-element array.
  std::string Text() {
    std::size_t length = Byte() % 24;
    std::string out;
    int digits = 0;
    while (length-- > 0 && pos_ < size_) {
      char c = static_cast<char>(data_[pos_++]);
      digits = (c >= '0' && c <= '9') ? digits + 1 : 0;
      if (digits > 2) continue;
      out.push_back(c);
    }
    return out;
  }
  // A text whose byte pairs are UTF-16 units, each written as three bytes
  // (ED A0 80 for U+D800: how a path or key names a member parsed from a
  // lone surrogate escape; below U+0800 an overlong form, invalid UTF-8).
  std::string Surrogates() {
    std::string bytes = Text();
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      unsigned unit =
          static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
      out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

void CheckWhole(const JsonDocument& doc) {
  if (!doc.HasTree()) return;
  std::string text = doc.ToText();
  JsonDocument back;
  Check(back.Parse(text));
  // Values set through the API may hold bare LFs, which read back as CR LF;
  // after one more round the text is stable.
  std::string once = back.ToText();
  JsonDocument twice;
  Check(twice.Parse(once));
  Check(twice.ToText() == once);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  JsonDocument doc;
  doc.Create(R"({"a":{"b":[1,"x",{"c":null}]},"d.e":true,"n":1.50})");
  JsonDocument other = JsonDocument::NewArray();
  int steps = 0;
  while (!in.empty() && steps++ < 64) {
    std::uint8_t op = in.Byte();
    std::string path = in.Text();
    int index = static_cast<int>(in.Byte() % 12) - 2;
    switch (op % 32) {
      case 0:
        doc.SetText(path, in.Text());
        break;
      case 1:
        doc.SetInt(path, index);
        break;
      case 2:
        doc.SetDouble(path, index / 3.0);
        break;
      case 3:
        doc.SetBool(path, index & 1);
        break;
      case 4:
        doc.SetNull(path);
        break;
      case 5:
        doc.Ensure(path);
        break;
      case 6:
        doc.SetEmptyObject(path);
        break;
      case 7:
        doc.SetEmptyArray(path);
        break;
      case 8:
        doc.Clear(path);
        break;
      // Copying the document into itself doubles it; a size cap keeps a
      // run of these from exhausting memory.
      case 9:
        if (doc.ToText().size() < kMaxSelfCopy) doc.SetObject(path, in.Text(), doc);
        break;
      case 10:
        doc.SetItem(path, index, other);
        break;
      case 11:
        if (doc.ToText().size() < kMaxSelfCopy) doc.Append(path, doc);
        break;
      case 12:
        doc.Insert(path, index, other);
        break;
      case 13:
        doc.InsertMember(path, index, in.Text(), other);
        break;
      case 14:
        doc.RemoveMember(path, in.Text());
        break;
      case 15:
        doc.RemoveAt(path, index);
        break;
      case 16:
        doc.MergeJson(path, in.Text(), index & 1, index & 2);
        break;
      case 17:
        doc.MergeObject(path, other);
        break;
      case 18:
        doc.AppendAll(path, other);
        break;
      case 19:
        doc.SortKeys(path, index & 1, index & 2);
        break;
      case 20:
        doc.SortBy(path, [](const JsonDocument& a, const JsonDocument& b) {
          return a.ToText() < b.ToText();
        });
        break;
      case 21:
        other = doc.GetDocument(path);
        break;
      case 22:
        other = doc.GetItem(path, index);
        break;
      case 23: {
        // Adopt a subtree of the other document through a handle.
        std::vector<JsonDocument::Handle> handles;
        if (other.GetChildHandles(path, &handles) > 0) {
          Check(doc.SetRootHandle(handles[static_cast<std::size_t>(index + 2) % handles.size()]));
        }
        break;
      }
      case 24: {
        std::string odd_path = in.Surrogates();
        doc.SetText(odd_path, in.Surrogates());
        break;
      }
      case 25: {
        std::string odd_path = in.Surrogates();
        doc.SetObject(odd_path, in.Surrogates(), other);
        break;
      }
      case 26:
        Check(doc.GetText(in.Surrogates()).size() < (1u << 30));
        break;
      case 27: {
        std::string odd_path = in.Surrogates();
        doc.RemoveMember(odd_path, in.Surrogates());
        break;
      }
      case 28: {
        // Every key is found again unless it held a lone surrogate (shown
        // as U+FFFD).
        std::vector<std::string> keys;
        Check(doc.GetKeys(path, &keys) == static_cast<int>(keys.size()));
        for (const std::string& key : keys) {
          Check(key.find("\xEF\xBF\xBD") != std::string::npos || doc.FindMember(path, key) != 0);
        }
        break;
      }
      case 29: {
        int type = doc.GetType(path);
        Check(type >= JsonDocument::kMissing && type <= JsonDocument::kObject);
        Check((type == JsonDocument::kMissing) != doc.Exists(path));
        Check(type != JsonDocument::kMissing || doc.GetText(path).empty());
        (void)doc.GetInt(path);
        (void)doc.GetBool(path);
        (void)doc.GetLiteral(path);
        (void)doc.GetParentHandle(path);
        break;
      }
      case 30: {
        JsonDocument copy = doc;
        copy.SetText(path, "changed");
        break;
      }
      default:
        if (doc.HasTree())
          Check(doc.ToText(path, true).size() >= doc.GetText(path).size() ||
                doc.GetType(path) != JsonDocument::kString);
        break;
    }
    if (!doc.HasTree()) doc.Create();
  }
  CheckWhole(doc);
  CheckWhole(other);
  JsonDocument copy = doc.Clone();
  Check(copy.ToText() == doc.ToText());
  return 0;
}
