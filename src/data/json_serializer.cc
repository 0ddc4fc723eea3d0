#include "data/json_serializer.h"

#include <string_view>

#include "data/json_document.h"
#include "data/json_string.h"
#include "data/json_tree.h"

namespace tarn::json_internal {
namespace {

// A string or key in quotes, escaped unless `escape` is off.
void WriteString(std::string_view text, bool escape, std::string* out) {
  if (!escape) {
    out->push_back('"');
    out->append(text);
    out->push_back('"');
    return;
  }
  AppendJsonString(text, out);
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
