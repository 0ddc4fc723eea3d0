#include "data/json_document.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "data/json_node.h"
#include "data/json_numbers.h"
#include "data/json_path.h"
#include "data/json_tree.h"

// JsonDocument's writing operations: setters, array and member edits,
// merging and sorting. The rest of the class is in json_document.cc.

namespace tarn {

using json_internal::AddMember;
using json_internal::AdoptElement;
using json_internal::CopyAsRoot;
using json_internal::CopyTree;
using json_internal::FindMemberNode;
using json_internal::FreeContent;
using json_internal::FreeTree;
using json_internal::IsContainer;
using json_internal::LinkMember;
using json_internal::Lookup;
using json_internal::MakeEmpty;
using json_internal::MergeInto;
using json_internal::MoveInto;
using json_internal::NumberText;
using json_internal::OwnedTree;
using json_internal::PadWithNulls;
using json_internal::Unlink;
using json_internal::Walk;
using json_internal::WalkToContainer;

namespace {

// What the edits that take in a document begin with: a copy of source in
// *copy, then the container of kind at path (made as needed). Null, copying
// nothing, when either tree is missing or, with a source_kind, source is
// not of that kind. The copy comes first: source may lie on the path.
JsonNode* CopyToContainer(JsonNode* root, std::string_view path, const JsonNode* source, int kind,
                          OwnedTree* copy, int source_kind = -1) {
  if (source == nullptr || root == nullptr) return nullptr;
  if (source_kind >= 0 && source->type != source_kind) return nullptr;
  copy->reset(CopyTree(source));
  return WalkToContainer(root, path, kind);
}

// A member edit under way: the object at path, the member already named
// the key there (or null), and the copy to put in, named and hashed.
struct MemberEdit {
  JsonNode* object = nullptr;
  JsonNode* existing = nullptr;
  OwnedTree copy;
};

// Starts a member edit of key at path with a copy of source. False, doing
// nothing, when a tree is missing, the key is empty (the parser could not
// read it back) or path cannot be made an object.
bool StartMemberEdit(JsonNode* root, std::string_view path, std::string_view key,
                     const JsonNode* source, MemberEdit* edit) {
  if (key.empty()) return false;
  std::string clean_key;
  key = json_text::CleanUtf8(key, &clean_key, true);
  edit->object = CopyToContainer(root, path, source, JsonDocument::kObject, &edit->copy);
  if (edit->object == nullptr) return false;
  std::uint32_t hash = json_text::KeyHash(key);
  edit->existing = FindMemberNode(edit->object, key, hash);
  edit->copy->key.assign(key);
  edit->copy->hash = hash;
  return true;
}

}  // namespace
using json_text::CleanUtf8;
using json_text::KeyHash;
using json_text::Utf8Out;

bool JsonDocument::Ensure(std::string_view path) { return Walk(root_, path) != nullptr; }

bool JsonDocument::SetText(std::string_view path, std::string_view value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  FreeContent(node);
  node->type = kString;
  if (json_text::IsValidUtf8(value)) {
    node->text.assign(value);
  } else {
    node->text = json_text::SanitizeUtf8(value);
  }
  return true;
}

bool JsonDocument::SetNull(std::string_view path) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  MakeEmpty(node, kNull);
  return true;
}

bool JsonDocument::SetBool(std::string_view path, bool value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  MakeEmpty(node, kBool);
  node->num.b = value;
  return true;
}

bool JsonDocument::SetDouble(std::string_view path, double value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  if (!std::isfinite(value)) {
    // JSON has no literal for these; null is what other writers use.
    MakeEmpty(node, kNull);
    return true;
  }
  MakeEmpty(node, kDouble);
  node->num.d = value;
  node->text = NumberText(value);
  return true;
}

bool JsonDocument::SetInt64(std::string_view path, std::int64_t value) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  MakeEmpty(node, kInteger);
  node->num.i = value;
  node->text = NumberText(value);
  return true;
}

bool JsonDocument::SetInt(std::string_view path, int value) { return SetInt64(path, value); }

bool JsonDocument::SetEmptyObject(std::string_view path) {
  return WalkToContainer(root_, path, kObject) != nullptr;
}

bool JsonDocument::SetEmptyArray(std::string_view path) {
  return WalkToContainer(root_, path, kArray) != nullptr;
}

bool JsonDocument::Clear(std::string_view path) {
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  if (IsContainer(node)) {
    MakeEmpty(node, node->type);
  } else if (node->type == kString) {
    node->text.clear();
  }
  return true;
}

// The operations that put a copy of another document's root in copy it
// before walking the path: doc may be this document, or the path may pass
// through doc's root and turn it into something else.

bool JsonDocument::SetObject(std::string_view path, std::string_view key, const JsonDocument& doc) {
  MemberEdit edit;
  if (!StartMemberEdit(root_, path, key, doc.root_, &edit)) return false;
  if (edit.existing != nullptr) {
    MoveInto(edit.existing, edit.copy.release());
  } else {
    AddMember(edit.object, edit.copy.release());
  }
  return true;
}

bool JsonDocument::SetItem(std::string_view path, int index, const JsonDocument& doc) {
  if (index < 0) return false;
  OwnedTree copy;
  JsonNode* node = CopyToContainer(root_, path, doc.root_, kArray, &copy);
  if (node == nullptr) return false;
  auto at = static_cast<std::size_t>(index);
  if (at < node->children.size()) {
    MoveInto(node->children[at], copy.release());
    return true;
  }
  PadWithNulls(node, at);
  AdoptElement(node, copy.release(), at);
  return true;
}

bool JsonDocument::Append(std::string_view path, const JsonDocument& doc) {
  OwnedTree copy;
  JsonNode* node = CopyToContainer(root_, path, doc.root_, kArray, &copy);
  if (node == nullptr) return false;
  AdoptElement(node, copy.release(), node->children.size());
  return true;
}

bool JsonDocument::Append(std::string_view path, JsonDocument&& doc) {
  if (doc.root_ == nullptr || root_ == nullptr || doc.root_ == root_) return false;
  JsonNode* node = WalkToContainer(root_, path, kArray);
  if (node == nullptr) return false;
  AdoptElement(node, std::exchange(doc.root_, nullptr), node->children.size());
  return true;
}

bool JsonDocument::Insert(std::string_view path, int index, const JsonDocument& doc) {
  if (index < 0) return false;
  OwnedTree copy;
  JsonNode* node = CopyToContainer(root_, path, doc.root_, kArray, &copy);
  if (node == nullptr || static_cast<std::size_t>(index) > node->children.size()) return false;
  AdoptElement(node, copy.release(), static_cast<std::size_t>(index));
  return true;
}

bool JsonDocument::InsertMember(std::string_view path, int position, std::string_view key,
                                const JsonDocument& doc) {
  MemberEdit edit;
  if (position < 0 || !StartMemberEdit(root_, path, key, doc.root_, &edit)) return false;
  if (edit.existing != nullptr) {  // the key moves to the requested place
    Unlink(edit.existing);
    FreeTree(edit.existing);
  }
  LinkMember(edit.object, edit.copy.release(), static_cast<std::size_t>(position));
  return true;
}

// Removal only looks paths up: creating the path (and turning what is on
// the way into objects) to then remove nothing would destroy data.
bool JsonDocument::RemoveMember(std::string_view path, std::string_view key) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return false;
  std::string clean_key;
  key = CleanUtf8(key, &clean_key, true);
  JsonNode* member = FindMemberNode(node, key, KeyHash(key));
  if (member == nullptr) return false;
  Unlink(member);
  FreeTree(member);
  return true;
}

bool JsonDocument::RemoveAt(std::string_view path, int index) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kArray || index < 0 ||
      static_cast<std::size_t>(index) >= node->children.size()) {
    return false;
  }
  JsonNode* element = node->children[static_cast<std::size_t>(index)];
  node->children.erase(node->children.begin() + index);
  FreeTree(element);
  return true;
}

JsonDocument JsonDocument::GetDocument(std::string_view path) {
  JsonDocument doc;
  const JsonNode* node = Walk(root_, path);
  if (node != nullptr) doc.root_ = CopyAsRoot(node);
  return doc;
}

bool JsonDocument::MergeObject(std::string_view path, const JsonDocument& doc) {
  OwnedTree copy;
  JsonNode* node = CopyToContainer(root_, path, doc.root_, kObject, &copy, kObject);
  if (node == nullptr) return false;
  MergeInto(node, copy.release(), false);
  return true;
}

bool JsonDocument::AppendAll(std::string_view path, const JsonDocument& doc) {
  OwnedTree copy;
  JsonNode* node = CopyToContainer(root_, path, doc.root_, kArray, &copy, kArray);
  if (node == nullptr) return false;
  for (JsonNode* element : copy->children) {
    element->parent = node;
    node->children.push_back(element);
  }
  copy->children.clear();
  return true;
}

bool JsonDocument::MergeJson(std::string_view path, std::string_view text,
                             bool decode_unicode_escapes, bool deep) {
  if (root_ == nullptr) return false;
  JsonDocument parsed;
  ParseOptions options;
  options.decode_unicode_escapes = decode_unicode_escapes;
  if (!parsed.Create(text, options)) return false;
  JsonNode* node = Walk(root_, path);
  if (node == nullptr) return false;
  MergeInto(node, std::exchange(parsed.root_, nullptr), deep);
  return true;
}

bool JsonDocument::SortKeys(std::string_view path, bool ascending, bool ignore_case) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return false;
  std::vector<std::pair<std::string, JsonNode*>> keyed;
  keyed.reserve(node->children.size());
  for (JsonNode* child : node->children) {
    std::string key = Utf8Out(child->key);
    gchar* folded = ignore_case ? g_utf8_casefold(key.c_str(), -1) : nullptr;
    gchar* collate = g_utf8_collate_key(folded ? folded : key.c_str(), -1);
    keyed.emplace_back(collate, child);
    g_free(collate);
    g_free(folded);
  }
  std::stable_sort(keyed.begin(), keyed.end(), [ascending](const auto& a, const auto& b) {
    return ascending ? a.first < b.first : b.first < a.first;
  });
  for (std::size_t i = 0; i < keyed.size(); ++i) node->children[i] = keyed[i].second;
  return true;
}

bool JsonDocument::SortBy(std::string_view path, const Comparator& less) {
  JsonNode* node = Lookup(root_, path);
  if (node == nullptr || !IsContainer(node) || !less) return false;
  // The comparator sees documents; each element is copied once, not per
  // comparison.
  std::vector<JsonDocument> values(node->children.size());
  std::vector<std::size_t> order(node->children.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i].root_ = CopyAsRoot(node->children[i]);
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return less(values[a], values[b]); });
  std::vector<JsonNode*> sorted;
  sorted.reserve(order.size());
  for (std::size_t i : order) sorted.push_back(node->children[i]);
  node->children.swap(sorted);
  return true;
}

}  // namespace tarn
