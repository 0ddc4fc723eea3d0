// Building and taking apart JsonNode trees: new nodes, an object's member
// table (a chained hash table over the member nodes, beside the member
// order), linking and unlinking, deep copies, moves, merges and freeing.
// Private to the JSON document's files.
//
// No function here recurses: trees of any depth are copied, merged and freed
// with explicit work lists. The lookups the parser and the path walker make
// per member are inline.
//
// Thread safety: a tree may be used from one thread at a time; functions that
// only read (FindMemberNode, CopyTree's source) may run on several threads
// over a tree nothing changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>

#include "data/json_document.h"
#include "data/json_node.h"

namespace tarn::json_internal {

constexpr std::size_t kFirstBucketCount = 11;

inline JsonNode* NewNode(int type) {
  JsonNode* node = new JsonNode;
  node->type = type;
  return node;
}

inline bool IsContainer(const JsonNode* node) {
  return node->type == JsonDocument::kArray || node->type == JsonDocument::kObject;
}

// Frees a node and everything below it.
void FreeTree(JsonNode* node);

// Frees a detached tree when it goes out of scope.
struct TreeDeleter {
  void operator()(JsonNode* node) const { FreeTree(node); }
};
using OwnedTree = std::unique_ptr<JsonNode, TreeDeleter>;

// Discards a node's content, keeping its place (parent, key) in the tree.
void FreeContent(JsonNode* node);

// Discards a node's content and gives it `type`, empty.
inline void MakeEmpty(JsonNode* node, int type) {
  FreeContent(node);
  node->type = type;
}

// --- object members ------------------------------------------------------------

inline std::size_t BucketOf(std::uint32_t hash, std::size_t count) {
  return (hash & 0x7FFFFFFFu) % count;
}

// Rebuilds an object's member table with `count` buckets.
void Rehash(JsonNode* object, std::size_t count);

// The member of object with `key` (whose KeyHash is hash); nullptr if none.
inline JsonNode* FindMemberNode(const JsonNode* object, std::string_view key, std::uint32_t hash) {
  if (object->buckets.empty()) return nullptr;
  for (JsonNode* n = object->buckets[BucketOf(hash, object->buckets.size())]; n != nullptr;
       n = n->next_in_bucket) {
    if (n->hash == hash && n->key == key) return n;
  }
  return nullptr;
}

// Links a member whose key and hash are set at position `at` of the member
// order (the end when past it).
inline void LinkMember(JsonNode* object, JsonNode* member, std::size_t at) {
  member->parent = object;
  if (at >= object->children.size()) {
    object->children.push_back(member);
  } else {
    object->children.insert(object->children.begin() + static_cast<std::ptrdiff_t>(at), member);
  }
  if (object->buckets.empty()) object->buckets.assign(kFirstBucketCount, nullptr);
  std::size_t count = object->buckets.size();
  if (object->children.size() >= count * 3 / 4) {
    Rehash(object, count * 2 + 1);
    return;
  }
  std::size_t b = BucketOf(member->hash, count);
  member->next_in_bucket = object->buckets[b];
  object->buckets[b] = member;
}

inline void AddMember(JsonNode* object, JsonNode* member) {
  LinkMember(object, member, std::numeric_limits<std::size_t>::max());
}

// Member `key` of object, added as null at the end when missing.
inline JsonNode* MemberForWrite(JsonNode* object, std::string_view key) {
  std::uint32_t hash = json_text::KeyHash(key);
  JsonNode* member = FindMemberNode(object, key, hash);
  if (member != nullptr) return member;
  member = NewNode(JsonDocument::kNull);
  member->key.assign(key);
  member->hash = hash;
  AddMember(object, member);
  return member;
}

// Takes a child out of its container without freeing it.
void Unlink(JsonNode* child);

// --- array elements --------------------------------------------------------------

// Appends nulls to an array until it holds `size` elements.
inline void PadWithNulls(JsonNode* array, std::size_t size) {
  while (array->children.size() < size) {
    JsonNode* pad = NewNode(JsonDocument::kNull);
    pad->parent = array;
    array->children.push_back(pad);
  }
}

// Puts a detached node into an array at index `at` (the end when past it).
inline void AdoptElement(JsonNode* array, JsonNode* element, std::size_t at) {
  element->key.clear();
  element->parent = array;
  if (at >= array->children.size()) {
    array->children.push_back(element);
  } else {
    array->children.insert(array->children.begin() + static_cast<std::ptrdiff_t>(at), element);
  }
}

// --- whole trees -------------------------------------------------------------------

// A deep copy of a subtree. The copy has no parent; it keeps the source's key
// and hash so it can become a member directly.
JsonNode* CopyTree(const JsonNode* source);

// A copy of a subtree to stand on its own as a document's root: no key.
inline JsonNode* CopyAsRoot(const JsonNode* source) {
  JsonNode* copy = CopyTree(source);
  copy->key.clear();
  return copy;
}

// Moves the value held by `from` (a detached node) into `to`, which keeps
// its place in its tree; `from` is deleted.
void MoveInto(JsonNode* to, JsonNode* from);

// Merges the detached tree `source` into `target`: members of two objects
// one by one (recursively when deep), anything else replaced. Consumes
// source.
void MergeInto(JsonNode* target, JsonNode* source, bool deep);

}  // namespace tarn::json_internal
