// JsonDocument: the program's JSON tree, addressed by dotted and indexed paths
// ("system.url", "pages[0].tpl", "a\\.b" for a key holding a dot).
//
// Every JSON file the program reads or writes goes through it. The parser is
// lenient (single-quoted or bare keys, empty elements and trailing commas are
// accepted) and reports failures as an error code plus the 0-based UTF-16
// index where parsing stopped. A number keeps the exact text it was parsed
// from, and that text is what GetText returns and the serialiser writes.
// Object members keep their insertion order; replacing a member keeps its
// place. String unescaping turns "\n" into CR LF (LF alone after a CR).
//
// Text is UTF-8 in and out. Input that is not valid UTF-8 never fails: each
// invalid byte becomes U+FFFD. A lone surrogate escape ("\ud800", decoded
// when decode_unicode_escapes is on) is kept as that surrogate, so that keys
// differing only there stay apart; a path or key names it by its three-byte
// form ("\xED\xA0\x80"), and everything handed out or written shows it as
// U+FFFD.
//
// Ownership: a document owns its tree. Documents never share nodes; every
// operation that puts another document's value into this one inserts a deep
// copy, and copying a JsonDocument (Clone, copy construction or assignment)
// copies deeply. Nesting depth is not limited by the machine stack: parsing,
// serialising, copying and destroying work iteratively.
//
// Thread safety: none. A document may be used from one thread at a time.
//
// Failure: operations returning bool give false when the document has no
// tree, a path cannot be created (a negative index), or an argument document
// is empty. Getters never fail: they give "", 0, false, an empty document or
// kMissing.
//
// Parse errors point at the character where reading stopped: for a bad value
// its first character (an unclosed string: its opening quote), for an
// unclosed container the end of the text. A UTF-8 byte-order mark in front
// is skipped; anything but blanks after the closing root bracket is a bad
// value; a text of blanks only counts as empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct JsonNode;

// Options of JsonDocument::Parse (declared outside the class so that it can
// serve as a defaulted argument of the class's own methods).
struct JsonParseOptions {
  bool decode_unicode_escapes = false;   // "\u0041" -> "A"; off: kept as six characters
  bool reject_top_level_scalar = false;  // a text not starting with { or [ is ignored
};

class JsonDocument {
 public:
  // Kinds reported by GetType.
  enum Type {
    kMissing = -1,  // the path does not resolve
    kNull = 0,
    kDouble = 1,
    kInteger = 2,
    kBool = 3,
    kString = 4,
    kArray = 5,
    kObject = 6,
  };

  // Parse error codes. Success is kOk.
  enum ParseError {
    kOk = 0,
    kEmptyInput = -2,
    kOutOfMemory = -3,
    kMisplacedStructure = -4,  // e.g. "{:1}", a "{" where no value may start
    kUnclosed = -5,            // e.g. "{"
    kBadValue = -6,            // e.g. "[1 ,\"x]"
  };

  using ParseOptions = JsonParseOptions;

  struct ParseResult {
    int code = kOk;
    std::size_t position = 0;  // 0-based UTF-16 index where parsing stopped
  };

  // An opaque reference to a node of some document's tree, valid while that
  // node stays in its tree. 0 means none.
  using Handle = std::intptr_t;

  // Comparator for SortBy: true when a must come before b.
  using Comparator = std::function<bool(const JsonDocument& a, const JsonDocument& b)>;

  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument& other);             // deep copy
  JsonDocument& operator=(const JsonDocument& other);  // deep copy
  JsonDocument(JsonDocument&& other) noexcept;
  JsonDocument& operator=(JsonDocument&& other) noexcept;

  // A new document holding a deep copy of this one's tree.
  JsonDocument Clone() const;

  // Discards the tree and starts an empty object root; then, when a text is
  // given, parses it as Parse does. Returns false on a parse error.
  bool Create();
  bool Create(std::string_view text, ParseOptions options = {}, ParseResult* result = nullptr);

  // Discards the tree; the document becomes empty (HasTree() is false).
  void Release();
  bool HasTree() const;

  // Creates a root when there is none, empties it and parses into it. On an
  // error the root is left empty and *result holds the code and position.
  bool Parse(std::string_view text, ParseOptions options = {}, ParseResult* result = nullptr);

  // Turns a UTF-16 position reported for `text` into a 1-based line and
  // column (columns counted in characters), for error messages.
  static void LineAndColumn(std::string_view text, std::size_t utf16_position, int* line,
                            int* column);

  // Documents whose root is a single value.
  static JsonDocument NewObject();
  static JsonDocument NewArray();
  static JsonDocument NewNull();
  static JsonDocument NewBool(bool value);
  static JsonDocument NewText(std::string_view value);
  static JsonDocument NewDouble(double value);
  static JsonDocument NewInt64(std::int64_t value);

  // Serialises the value at path: compact by default; pretty puts CR LF after
  // "{" and every member and indents with TABs; escape off writes strings and
  // keys raw. "" when the path does not resolve.
  // initial_capacity only sizes the output buffer. A compact text of several
  // megabytes is written on a few threads at once (same bytes as on one).
  std::string ToText(std::string_view path = "", bool pretty = false, bool escape = true,
                     int initial_capacity = 1024) const;

  // --- reading; paths that do not resolve give the empty value -------------
  int GetType(std::string_view path) const;
  int GetCount(std::string_view path) const;  // members or elements; 0 for scalars
  bool Exists(std::string_view path) const;
  // Strings give their characters, numbers and booleans their literal text,
  // everything else "".
  std::string GetText(std::string_view path) const;
  std::string GetLiteral(std::string_view path) const;  // "null", "true", "1.50"; else ""
  bool GetBool(std::string_view path) const;
  double GetDouble(std::string_view path) const;
  std::int64_t GetInt64(std::string_view path) const;
  int GetInt(std::string_view path) const;  // saturates outside the int range
  // The key under which the node at path is stored in its object; "" else.
  std::string GetKey(std::string_view path) const;
  // Keys of the object at path in member order; returns their number.
  int GetKeys(std::string_view path, std::vector<std::string>* keys) const;
  // A copy of element `index` of the array at path, or of the index-th member
  // value of the object at path; an empty document when out of range.
  JsonDocument GetItem(std::string_view path, int index) const;

  // --- writing; missing segments are created (see the path rules) ----------
  bool Ensure(std::string_view path);
  bool SetText(std::string_view path, std::string_view value);
  bool SetNull(std::string_view path);
  bool SetBool(std::string_view path, bool value);
  bool SetDouble(std::string_view path, double value);  // NaN and infinities: null
  bool SetInt64(std::string_view path, std::int64_t value);
  bool SetInt(std::string_view path, int value);
  bool SetEmptyObject(std::string_view path);  // left alone when already an object
  bool SetEmptyArray(std::string_view path);   // left alone when already an array
  // Empties the value at path, keeping its kind.
  bool Clear(std::string_view path);
  // Member `key` of the object at path := deep copy of doc's root. An empty
  // key is refused (false): the parser could not read it back.
  bool SetObject(std::string_view path, std::string_view key, const JsonDocument& doc);
  // Element `index` of the array at path := deep copy of doc's root; past the
  // end the array is padded with nulls first. A negative index fails.
  bool SetItem(std::string_view path, int index, const JsonDocument& doc);
  bool Append(std::string_view path, const JsonDocument& doc);
  // The same, moving doc's tree in instead of copying it: doc is left empty
  // when it succeeds, untouched when it fails.
  bool Append(std::string_view path, JsonDocument&& doc);
  bool Insert(std::string_view path, int index, const JsonDocument& doc);  // 0..count
  bool InsertMember(std::string_view path, int position, std::string_view key,
                    const JsonDocument& doc);
  // Removal looks the path up as a getter does and never creates it; false
  // when there is nothing to remove.
  bool RemoveMember(std::string_view path, std::string_view key);
  bool RemoveAt(std::string_view path, int index);  // arrays only
  // A copy of the value at path; the path is created as for writing.
  JsonDocument GetDocument(std::string_view path);
  // Copies every member of doc's root object into the object at path.
  bool MergeObject(std::string_view path, const JsonDocument& doc);
  // Appends a copy of every element of doc's root array to the array at path.
  bool AppendAll(std::string_view path, const JsonDocument& doc);
  // Parses text and merges it into the value at path: objects member by
  // member (recursively when deep), anything else replaced.
  bool MergeJson(std::string_view path, std::string_view text, bool decode_unicode_escapes,
                 bool deep);
  bool SortKeys(std::string_view path, bool ascending, bool ignore_case);
  bool SortBy(std::string_view path, const Comparator& less);

  // --- handles ---------------------------------------------------------------
  Handle GetRootHandle() const;
  // The node becomes this document's root, detached from its former parent
  // (in whatever document it was); the old tree is freed. False, changing
  // nothing, for this document's root or one of its descendants, and for a
  // node that sits in no container (another document's root: two documents
  // would own it).
  bool SetRootHandle(Handle node);
  // The node's container; 0 for the root; -1 when the path does not resolve.
  Handle GetParentHandle(std::string_view path) const;
  Handle FindMember(std::string_view path, std::string_view key) const;  // 0 when absent
  int GetChildHandles(std::string_view path, std::vector<Handle>* handles) const;
  // Removes the root node from the container it sits in, if any.
  void DetachRoot();

 private:
  JsonNode* root_ = nullptr;
};

}  // namespace tarn
