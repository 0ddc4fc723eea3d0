#include "data/json_tree.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tarn::json_internal {

void FreeTree(JsonNode* node) {
  if (node == nullptr) return;
  if (node->children.empty()) {
    delete node;
    return;
  }
  std::vector<JsonNode*> pending;
  pending.push_back(node);
  while (!pending.empty()) {
    JsonNode* n = pending.back();
    pending.pop_back();
    pending.insert(pending.end(), n->children.begin(), n->children.end());
    n->children.clear();
    delete n;
  }
}

void FreeContent(JsonNode* node) {
  for (JsonNode* child : node->children) FreeTree(child);
  node->children.clear();
  node->buckets.clear();
  node->text.clear();
  node->num.i = 0;
}

void Rehash(JsonNode* object, std::size_t count) {
  object->buckets.assign(count, nullptr);
  for (JsonNode* child : object->children) {
    std::size_t b = BucketOf(child->hash, count);
    child->next_in_bucket = object->buckets[b];
    object->buckets[b] = child;
  }
}

void Unlink(JsonNode* child) {
  JsonNode* parent = child->parent;
  if (parent == nullptr) return;
  auto& kids = parent->children;
  kids.erase(std::find(kids.begin(), kids.end(), child));
  if (parent->type == JsonDocument::kObject && !parent->buckets.empty()) {
    JsonNode** link = &parent->buckets[BucketOf(child->hash, parent->buckets.size())];
    while (*link != nullptr && *link != child) link = &(*link)->next_in_bucket;
    if (*link == child) *link = child->next_in_bucket;
  }
  child->parent = nullptr;
  child->next_in_bucket = nullptr;
}

namespace {

void CopyScalarPart(const JsonNode* from, JsonNode* to) {
  to->type = from->type;
  to->num = from->num;
  to->text = from->text;
}

}  // namespace

JsonNode* CopyTree(const JsonNode* source) {
  JsonNode* top = NewNode(source->type);
  CopyScalarPart(source, top);
  top->key = source->key;
  top->hash = source->hash;
  if (source->children.empty()) return top;
  std::vector<std::pair<const JsonNode*, JsonNode*>> pending;
  pending.emplace_back(source, top);
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    to->children.reserve(from->children.size());
    for (const JsonNode* child : from->children) {
      JsonNode* copy = new JsonNode;
      CopyScalarPart(child, copy);
      copy->parent = to;
      if (from->type == JsonDocument::kObject) {
        copy->key = child->key;
        copy->hash = child->hash;
      }
      to->children.push_back(copy);
      if (!child->children.empty()) pending.emplace_back(child, copy);
    }
    if (from->type == JsonDocument::kObject) {
      Rehash(to, std::max(from->buckets.size(), kFirstBucketCount));
    }
  }
  return top;
}

void MoveInto(JsonNode* to, JsonNode* from) {
  FreeContent(to);
  to->type = from->type;
  to->num = from->num;
  to->text.swap(from->text);
  to->children.swap(from->children);
  to->buckets.swap(from->buckets);
  for (JsonNode* child : to->children) child->parent = to;
  delete from;
}

void MergeInto(JsonNode* target, JsonNode* source, bool deep) {
  std::vector<std::pair<JsonNode*, JsonNode*>> pending;
  pending.emplace_back(target, source);
  while (!pending.empty()) {
    auto [to, from] = pending.back();
    pending.pop_back();
    if (to->type != JsonDocument::kObject || from->type != JsonDocument::kObject) {
      MoveInto(to, from);
      continue;
    }
    std::vector<JsonNode*> members;
    members.swap(from->children);
    delete from;
    for (JsonNode* member : members) {
      member->parent = nullptr;
      member->next_in_bucket = nullptr;
      JsonNode* existing = FindMemberNode(to, member->key, member->hash);
      if (existing == nullptr) {
        AddMember(to, member);
      } else if (deep && existing->type == JsonDocument::kObject &&
                 member->type == JsonDocument::kObject) {
        pending.emplace_back(existing, member);
      } else {
        MoveInto(existing, member);
      }
    }
  }
}

}  // namespace tarn::json_internal
