#include "data/json_document.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "data/json_node.h"
#include "data/json_numbers.h"
#include "data/json_parallel_serializer.h"
#include "data/json_parser.h"
#include "data/json_path.h"
#include "data/json_serializer.h"
#include "data/json_tree.h"
#include "data/utf8.h"

// Life cycle, parsing, serialising, reading and handles. The writing
// operations are in json_document_edit.cc.

namespace tarn {

using json_internal::CopyAsRoot;
using json_internal::DoubleToInt64;
using json_internal::FindMemberNode;
using json_internal::FixSurrogates;
using json_internal::FreeTree;
using json_internal::IsContainer;
using json_internal::JsonParser;
using json_internal::Lookup;
using json_internal::NewNode;
using json_internal::ParseLeadingDouble;
using json_internal::ParseLeadingInteger;
using json_internal::Serialize;
using json_internal::SerializeParallel;
using json_internal::Unlink;
using json_text::CleanUtf8;
using json_text::KeyHash;
using json_text::Utf8Out;

// --- life cycle ----------------------------------------------------------------------

JsonDocument::JsonDocument() = default;

JsonDocument::~JsonDocument() { FreeTree(root_); }

JsonDocument::JsonDocument(const JsonDocument& other)
    : root_(other.root_ ? CopyAsRoot(other.root_) : nullptr) {}

JsonDocument& JsonDocument::operator=(const JsonDocument& other) {
  if (this != &other) {
    JsonNode* copy = other.root_ ? CopyAsRoot(other.root_) : nullptr;
    FreeTree(root_);
    root_ = copy;
  }
  return *this;
}

JsonDocument::JsonDocument(JsonDocument&& other) noexcept : root_(other.root_) {
  other.root_ = nullptr;
}

JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept {
  if (this != &other) {
    FreeTree(root_);
    root_ = other.root_;
    other.root_ = nullptr;
  }
  return *this;
}

JsonDocument JsonDocument::Clone() const { return JsonDocument(*this); }

bool JsonDocument::Create() {
  Release();
  root_ = NewNode(kObject);
  return true;
}

bool JsonDocument::Create(std::string_view text, ParseOptions options, ParseResult* result) {
  Create();
  return Parse(text, options, result);
}

void JsonDocument::Release() {
  FreeTree(root_);
  root_ = nullptr;
}

bool JsonDocument::HasTree() const { return root_ != nullptr; }

bool JsonDocument::Parse(std::string_view text, ParseOptions options, ParseResult* result) {
  if (root_ == nullptr) root_ = NewNode(kObject);
  std::string clean;
  return JsonParser::ParseInto(root_, CleanUtf8(text, &clean), options, result);
}

void JsonDocument::LineAndColumn(std::string_view text, std::size_t utf16_position, int* line,
                                 int* column) {
  std::u16string units = Utf8ToUtf16(text);
  int l = 1;
  int c = 1;
  std::size_t end = std::min(utf16_position, units.size());
  for (std::size_t i = 0; i < end; ++i) {
    char16_t u = units[i];
    if (u == u'\n' || (u == u'\r' && (i + 1 >= units.size() || units[i + 1] != u'\n'))) {
      ++l;
      c = 1;
    } else if (u >= 0xDC00 && u <= 0xDFFF && i > 0 && units[i - 1] >= 0xD800 &&
               units[i - 1] <= 0xDBFF) {
      // second half of a pair: same character
    } else if (u != u'\r') {
      ++c;
    }
  }
  if (line) *line = l;
  if (column) *column = c;
}

// --- single-value documents ------------------------------------------------------------

JsonDocument JsonDocument::NewObject() {
  JsonDocument doc;
  doc.Create();
  return doc;
}

JsonDocument JsonDocument::NewArray() {
  JsonDocument doc;
  doc.Create();
  doc.root_->type = kArray;
  return doc;
}

namespace {

// A document of one value, set by set.
template <typename Set>
JsonDocument OneValue(Set set) {
  JsonDocument doc;
  doc.Create();
  set(doc);
  return doc;
}

}  // namespace

JsonDocument JsonDocument::NewNull() {
  return OneValue([](JsonDocument& doc) { doc.SetNull(""); });
}

JsonDocument JsonDocument::NewBool(bool value) {
  return OneValue([value](JsonDocument& doc) { doc.SetBool("", value); });
}

JsonDocument JsonDocument::NewText(std::string_view value) {
  return OneValue([value](JsonDocument& doc) { doc.SetText("", value); });
}

JsonDocument JsonDocument::NewDouble(double value) {
  return OneValue([value](JsonDocument& doc) { doc.SetDouble("", value); });
}

JsonDocument JsonDocument::NewInt64(std::int64_t value) {
  return OneValue([value](JsonDocument& doc) { doc.SetInt64("", value); });
}

// --- serialising -----------------------------------------------------------------------

std::string JsonDocument::ToText(std::string_view path, bool pretty, bool escape,
                                 int initial_capacity) const {
  const JsonNode* node = Lookup(root_, path);
  std::string out;
  if (node == nullptr) return out;
  out.reserve(initial_capacity > 0 ? static_cast<std::size_t>(initial_capacity) : 1024);
  if (pretty || !SerializeParallel(node, escape, &out)) {
    Serialize(node, pretty, escape, &out);
    FixSurrogates(&out);
  }
  return out;
}

// --- reading ---------------------------------------------------------------------------------

int JsonDocument::GetType(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  return node ? node->type : kMissing;
}

int JsonDocument::GetCount(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  return node ? static_cast<int>(node->children.size()) : 0;
}

bool JsonDocument::Exists(std::string_view path) const { return Lookup(root_, path) != nullptr; }

std::string JsonDocument::GetText(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return std::string();
  switch (node->type) {
    case kString:
      return Utf8Out(node->text);
    case kDouble:
    case kInteger:
      return node->text;
    case kBool:
      return node->num.b ? "true" : "false";
    default:
      return std::string();
  }
}

std::string JsonDocument::GetLiteral(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return std::string();
  switch (node->type) {
    case kNull:
      return "null";
    case kBool:
      return node->num.b ? "true" : "false";
    case kDouble:
    case kInteger:
      return node->text;
    default:
      return std::string();
  }
}

namespace {

double NodeDouble(const JsonNode* node) {
  if (node == nullptr) return 0;
  switch (node->type) {
    case JsonDocument::kDouble:
      return node->num.d;
    case JsonDocument::kInteger:
      return static_cast<double>(node->num.i);
    case JsonDocument::kBool:
      return node->num.b ? 1 : 0;
    case JsonDocument::kString:
      return ParseLeadingDouble(node->text);
    default:
      return 0;
  }
}

std::int64_t NodeInt64(const JsonNode* node) {
  if (node == nullptr) return 0;
  switch (node->type) {
    case JsonDocument::kDouble:
      return DoubleToInt64(node->num.d);
    case JsonDocument::kInteger:
      return node->num.i;
    case JsonDocument::kBool:
      return node->num.b ? 1 : 0;
    case JsonDocument::kString:
      return ParseLeadingInteger(node->text);
    default:
      return 0;
  }
}

}  // namespace

bool JsonDocument::GetBool(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return false;
  switch (node->type) {
    case kDouble:
      return std::fabs(node->num.d) > 1e-7;
    case kInteger:
      return node->num.i != 0;
    case kBool:
      return node->num.b;
    default:
      return false;
  }
}

double JsonDocument::GetDouble(std::string_view path) const {
  return NodeDouble(Lookup(root_, path));
}

std::int64_t JsonDocument::GetInt64(std::string_view path) const {
  return NodeInt64(Lookup(root_, path));
}

int JsonDocument::GetInt(std::string_view path) const {
  std::int64_t value = GetInt64(path);
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

std::string JsonDocument::GetKey(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->parent == nullptr || node->parent->type != kObject) return {};
  return Utf8Out(node->key);
}

int JsonDocument::GetKeys(std::string_view path, std::vector<std::string>* keys) const {
  if (keys) keys->clear();
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return 0;
  if (keys) {
    keys->reserve(node->children.size());
    for (const JsonNode* child : node->children) keys->push_back(Utf8Out(child->key));
  }
  return static_cast<int>(node->children.size());
}

JsonDocument JsonDocument::GetItem(std::string_view path, int index) const {
  JsonDocument doc;
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || !IsContainer(node) || index < 0 ||
      static_cast<std::size_t>(index) >= node->children.size()) {
    return doc;
  }
  doc.root_ = CopyAsRoot(node->children[static_cast<std::size_t>(index)]);
  return doc;
}

// --- handles ---------------------------------------------------------------------------

JsonDocument::Handle JsonDocument::GetRootHandle() const { return reinterpret_cast<Handle>(root_); }

bool JsonDocument::SetRootHandle(Handle handle) {
  auto* node = reinterpret_cast<JsonNode*>(handle);
  if (node == nullptr || node == root_) return false;
  for (const JsonNode* n = node; n != nullptr; n = n->parent) {
    if (n == root_) return false;
  }
  // A node without a container is some document's root; taking it would
  // leave two documents owning the same tree.
  if (node->parent == nullptr) return false;
  Unlink(node);
  node->key.clear();
  FreeTree(root_);
  root_ = node;
  return true;
}

JsonDocument::Handle JsonDocument::GetParentHandle(std::string_view path) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return -1;
  return node == root_ ? 0 : reinterpret_cast<Handle>(node->parent);
}

JsonDocument::Handle JsonDocument::FindMember(std::string_view path, std::string_view key) const {
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr || node->type != kObject) return 0;
  std::string clean_key;
  key = CleanUtf8(key, &clean_key, true);
  return reinterpret_cast<Handle>(FindMemberNode(node, key, KeyHash(key)));
}

int JsonDocument::GetChildHandles(std::string_view path, std::vector<Handle>* handles) const {
  if (handles) handles->clear();
  const JsonNode* node = Lookup(root_, path);
  if (node == nullptr) return 0;
  if (handles) {
    for (const JsonNode* child : node->children) {
      handles->push_back(reinterpret_cast<Handle>(child));
    }
  }
  return static_cast<int>(node->children.size());
}

void JsonDocument::DetachRoot() {
  if (root_ != nullptr && root_->parent != nullptr) Unlink(root_);
}

}  // namespace tarn
