#include "data/json_serializer.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "data/json_document.h"
#include "data/json_tree.h"

namespace tarn::json_internal {
namespace {

// For each byte, the letter its escape puts after the backslash; 0 for the
// bytes written as they are (other control characters among them).
struct EscapeTable {
  char replacement[256] = {};
  EscapeTable() {
    replacement[static_cast<unsigned char>('\\')] = '\\';
    replacement[static_cast<unsigned char>('/')] = '/';
    replacement[static_cast<unsigned char>('"')] = '"';
    replacement['\b'] = 'b';
    replacement['\t'] = 't';
    replacement['\n'] = 'n';
    replacement['\r'] = 'r';
    replacement['\f'] = 'f';
  }
};
const EscapeTable kEscapes;

// True when one of the eight bytes at p is below 0x20 or one of " / \.
inline bool MayNeedEscape(const char* p) {
  std::uint64_t x;
  std::memcpy(&x, p, 8);
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  auto has_zero = [](std::uint64_t v) { return (v - kOnes) & ~v & kHigh; };
  std::uint64_t below_space = (x - kOnes * 0x20) & ~x & kHigh;
  return (below_space | has_zero(x ^ (kOnes * '"')) | has_zero(x ^ (kOnes * '/')) |
          has_zero(x ^ (kOnes * '\\'))) != 0;
}

// A string or key in quotes, escaped unless `escape` is off.
void WriteString(std::string_view text, bool escape, std::string* out) {
  out->push_back('"');
  if (!escape) {
    out->append(text);
    out->push_back('"');
    return;
  }
  const char* p = text.data();
  const char* end = p + text.size();
  const char* run = p;
  for (; p < end; ++p) {
    // Skip eight bytes at a time while none is a control character, a quote,
    // a slash or a backslash (the usual case in prose).
    while (end - p >= 8 && !MayNeedEscape(p)) p += 8;
    if (p >= end) break;
    char r = kEscapes.replacement[static_cast<unsigned char>(*p)];
    if (r != 0) {
      out->append(run, static_cast<std::size_t>(p - run));
      char pair[2] = {'\\', r};
      out->append(pair, 2);
      run = p + 1;
    }
  }
  out->append(run, static_cast<std::size_t>(end - run));
  out->push_back('"');
}

void WriteScalar(const JsonNode* node, bool escape, std::string* out) {
  switch (node->type) {
    case JsonDocument::kNull:
      out->append("null");
      break;
    case JsonDocument::kBool:
      out->append(node->num.b ? "true" : "false");
      break;
    case JsonDocument::kString:
      WriteString(node->text, escape, out);
      break;
    default:
      out->append(node->text);
      break;
  }
}

void Indent(std::size_t depth, std::string* out) { out->append(depth, '\t'); }

}  // namespace

void SerializeFrom(const JsonNode* node, std::vector<Frame> open, Frame stop, bool pretty,
                   bool escape, std::string* out) {
  auto enter = [&](const JsonNode* container) {
    if (container->type == JsonDocument::kObject) {
      out->append(pretty ? "{\r\n" : "{");
    } else {
      out->push_back('[');
    }
    open.push_back({container, 0});
  };
  if (open.empty()) {
    if (!IsContainer(node)) {
      WriteScalar(node, escape, out);
      return;
    }
    enter(node);
  }
  while (!open.empty()) {
    Frame& frame = open.back();
    const JsonNode* container = frame.node;
    if (container == stop.node && frame.next == stop.next) return;
    const bool object = container->type == JsonDocument::kObject;
    if (frame.next < container->children.size()) {
      const JsonNode* child = container->children[frame.next];
      if (frame.next++ > 0) out->append(pretty && object ? ",\r\n" : ",");
      if (object) {
        if (pretty) Indent(open.size(), out);
        WriteString(child->key, escape, out);
        out->push_back(':');
      }
      if (IsContainer(child)) {
        enter(child);  // invalidates frame
      } else {
        WriteScalar(child, escape, out);
      }
      continue;
    }
    if (object) {
      if (pretty) {
        if (!container->children.empty()) out->append("\r\n");
        Indent(open.size() - 1, out);
      }
      out->push_back('}');
    } else {
      out->push_back(']');
    }
    open.pop_back();
  }
}

void FixSurrogates(std::string* out) {
  std::size_t pos = out->find('\xED');
  while (pos != std::string::npos) {
    if (pos + 1 < out->size() && static_cast<unsigned char>((*out)[pos + 1]) >= 0xA0) {
      std::string fixed;
      fixed.reserve(out->capacity());
      json_text::AppendUtf8(*out, &fixed);
      out->swap(fixed);
      return;
    }
    pos = out->find('\xED', pos + 1);
  }
}

}  // namespace tarn::json_internal
