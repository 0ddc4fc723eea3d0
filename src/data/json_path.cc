#include "data/json_path.h"

namespace tarn::json_internal {

JsonNode* Walk(JsonNode* root, std::string_view path) {
  if (root == nullptr) return nullptr;
  std::string clean;
  path = json_text::CleanUtf8(path, &clean, true);
  if (path.find('-') != std::string_view::npos) {
    JsonPathScanner check(path);
    while (check.Next()) {
      if (check.is_index && check.index < 0) return nullptr;
    }
  }
  JsonPathScanner scanner(path);
  JsonNode* node = root;
  while (scanner.Next()) {
    if (scanner.is_index) {
      if (node->type != JsonDocument::kArray) MakeEmpty(node, JsonDocument::kArray);
      auto index = static_cast<std::size_t>(scanner.index);
      PadWithNulls(node, index + 1);
      node = node->children[index];
    } else {
      if (node->type != JsonDocument::kObject) MakeEmpty(node, JsonDocument::kObject);
      node = MemberForWrite(node, scanner.name);
    }
  }
  return node;
}

JsonNode* WalkToContainer(JsonNode* root, std::string_view path, int kind) {
  JsonNode* node = Walk(root, path);
  if (node != nullptr && node->type != kind) MakeEmpty(node, kind);
  return node;
}

}  // namespace tarn::json_internal
