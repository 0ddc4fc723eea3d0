// Following a JsonDocument path through a tree (see JsonPathScanner for the
// syntax): Lookup for reading, Walk for writing. Private to the JSON
// document's files.
//
// Lookup is inline: it is the build's hot path, one call per template
// variable.
//
// Thread safety: Lookup only reads; Walk changes the tree.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "data/json_node.h"
#include "data/json_path_scanner.h"
#include "data/json_tree.h"

namespace tarn::json_internal {

// The node at path; nullptr when there is no tree or any segment does not
// resolve (a name on anything but an object, an index out of range). An
// index also counts an object's members in member order.
inline JsonNode* Lookup(JsonNode* root, std::string_view path) {
  if (root == nullptr) return nullptr;
  std::string clean;
  path = json_text::CleanUtf8(path, &clean, true);
  JsonPathScanner scanner(path);
  JsonNode* node = root;
  while (scanner.Next()) {
    if (scanner.is_index) {
      if (!IsContainer(node) || scanner.index < 0 ||
          static_cast<std::size_t>(scanner.index) >= node->children.size()) {
        return nullptr;
      }
      node = node->children[static_cast<std::size_t>(scanner.index)];
    } else {
      if (node->type != JsonDocument::kObject) return nullptr;
      node = FindMemberNode(node, scanner.name, json_text::KeyHash(scanner.name));
      if (node == nullptr) return nullptr;
    }
  }
  return node;
}

// The node at path, creating what is missing: a name makes the current node
// an object, an index makes it an array padded with nulls. nullptr (and
// nothing changed) when there is no tree or an index is negative.
JsonNode* Walk(JsonNode* root, std::string_view path);

// Walk, then the node made an empty `kind` (kObject or kArray) unless it is
// one already.
JsonNode* WalkToContainer(JsonNode* root, std::string_view path, int kind);

}  // namespace tarn::json_internal
