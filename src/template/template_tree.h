// TemplateTree: loops and conditions that nest. The template engine's loop
// pass is a single regular expression whose body ends at the first
// {-volist/}; a template that nests loops or uses conditions is read into a
// tree by this class instead:
//
//   {-volist name="PATH" key="KEY"}BODY{-volist/}   BODY once per element
//   {-if name="PATH"}YES{-else/}NO{-if/}            YES when PATH is true
//                                                   (TemplateData::IsTrue),
//                                                   else NO ({-else/} optional)
//
// Inside a loop, {$KEY.FIELD} takes FIELD from the current element, and a
// PATH that starts with KEY (an inner loop's list, a condition) means the
// current element too, at any depth; an inner KEY hides an outer one of the
// same name. Each expansion of a body ends in CR LF, as in the flat pass.
// Placeholders that name no loop key are left for the variables pass. Tags
// ignore case, like the engine's other tags.
//
// A tag that closes nothing, and an opening tag that is never closed, stay
// in the output as text; the latter is reported with its line.
//
// Thread safety: none.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "template/sealed_values.h"
#include "template/template_data.h"

namespace tarn {

class TemplateTree {
 public:
  // Reads text; reports go to sink as "NAME:LINE: ...". sink may be null.
  TemplateTree(std::string_view text, std::string_view name, const DiagnosticSink& sink);

  // The text with every loop and condition worked out against data; the
  // values of loop fields go in through sealed.
  std::string Expand(const TemplateData& data, SealedValues* sealed) const;

  // True when text holds a condition tag or a loop opened inside another
  // loop: what the flat loop pass cannot render.
  static bool Needed(std::string_view text);

 private:
  // A placeholder "{$PATH}" in a text node: its byte offset and length.
  struct Placeholder {
    size_t at;
    size_t length;
  };
  struct Node {
    enum Kind { kText, kLoop, kIf } kind = kText;
    std::string text;  // kText: the text; kLoop: list path; kIf: condition path
    std::string key;   // kLoop: the loop key
    std::vector<Node> children;
    std::vector<Node> otherwise;  // kIf: the {-else/} part
    // kText inside a loop: the placeholders of text, in order, found once.
    std::vector<Placeholder> placeholders;
  };
  struct Scope {
    const Scope* outer;
    std::string_view key;
    std::string_view item;  // "posts[3]"
  };

  void Expand(const std::vector<Node>& nodes, const TemplateData& data, const Scope* scope,
              SealedValues* sealed, std::string* out) const;
  static void ExpandText(const Node& node, const TemplateData& data, const Scope* scope,
                         SealedValues* sealed, std::string* out);
  // Finds the placeholders of the text nodes in nodes that lie in a loop.
  static void FindPlaceholders(std::vector<Node>* nodes, bool in_loop);
  // path with a leading loop key replaced by its element's path, written
  // into *buffer; path itself when it starts with no key in scope.
  static std::string_view Resolve(std::string_view path, const Scope* scope, std::string* buffer);

  std::vector<Node> nodes_;
};

}  // namespace tarn
