// LoopPass: the template engine's loop pass over one template text, worked
// out once and then applied to the data of many pages. Everything that
// depends on the text alone is found when the pass is made: whether the text
// needs a TemplateTree (and the tree), or else the flat pass's loops, each
// loop body's field placeholders, and the warnings about loop openings that
// close nothing. Expand does only what depends on a page's data.
//
// The language is the one TemplateEngine describes (pass 2); the output of
// Expand is that of the loop pass run on the text afresh.
//
// Thread safety: none. Expand is const but the pass holds views into its own
// copy of the text; the object is neither copied nor moved.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "data/regex_object.h"
#include "template/sealed_values.h"
#include "template/sequential_replacer.h"
#include "template/template_data.h"
#include "template/template_tree.h"

namespace tarn {

class LoopPass {
 public:
  // Reads text (sealed: its own marks already stand as seals). name says
  // which template it is in messages; reports about the text itself go to
  // sink now, once. sink may be null.
  LoopPass(std::string_view text, std::string_view name, const DiagnosticSink& sink);
  LoopPass(const LoopPass&) = delete;
  LoopPass& operator=(const LoopPass&) = delete;

  // True when this pass was made from text under name.
  bool Holds(std::string_view text, std::string_view name) const {
    return text.size() == text_.size() && name == name_ && text == text_;
  }

  // The text with every loop (and condition) worked out against data; loop
  // field values go in through sealed. Reports about the data (a loop over
  // something that is not a list, a key that is no valid pattern) go to
  // sink, which may be null.
  std::string Expand(const TemplateData& data, SealedValues* sealed,
                     const DiagnosticSink& sink) const;

 private:
  // One distinct loop of the flat pass: {-volist name="list" key="key"}body.
  struct Loop {
    std::string list;
    std::string key;
    std::string_view body;  // into loops_' subject
    std::string key_error;  // why key cannot find fields; "" when it can
    RegexObject fields;     // {$key.FIELD} in body
    std::vector<std::string> field_paths;
    std::optional<SequentialReplacer> fill;
  };

  // One loop's expansion: body once per member of its list, fields filled
  // in, each copy followed by "\r\n"; "" for an empty or missing list.
  std::string ExpandLoop(const Loop& loop, const TemplateData& data, SealedValues* sealed,
                         const DiagnosticSink& sink) const;
  void PrepareLoops(const DiagnosticSink& sink);

  std::string text_;
  std::string name_;
  std::unique_ptr<TemplateTree> tree_;
  RegexObject loops_;  // the flat pass's matches in text_
  std::optional<SequentialReplacer> replacer_;
  std::vector<std::unique_ptr<Loop>> distinct_loops_;  // by the replacer's distinct id
};

}  // namespace tarn
