// TemplateEngine: the theme template language. A template is rendered by
// three regular-expression passes over its text, in this order:
//
//   1. inheritance: {-extend name="PATH"} (the first one only) replaces the
//      page by the layout file, whose {-block name="NAME"} slots take the
//      child's {-block name="NAME"}CONTENT{-block/} definitions; slots left
//      unfilled vanish, and the child's text outside its blocks is dropped;
//   2. loops: {-volist name="PATH" key="KEY"}BODY{-volist/} repeats BODY for
//      each element of the array (or member of the object) at PATH, with
//      {$KEY.FIELD} taken from that element, each copy followed by CR LF;
//   3. variables: {$PATH} becomes the text at PATH in the data.
//
// A template whose loops nest, or that uses {-if name="PATH"} conditions,
// has its loops and conditions worked out by TemplateTree instead of the
// flat loop pass; the other passes are the same.
//
// Escaping: {$PATH|e}, and {$KEY.FIELD|e} in a loop, give the text at PATH
// with & < > " and ' written as character references, fit for HTML text
// and for attribute values in either quotes ("|e" ends the placeholder's
// path; a theme writes it wherever a title, tag or other text of the
// blogger's goes). A placeholder without "|e" inserts the text as it is.
//
// Each pass finds its matches once, then replaces each match's text
// everywhere, in match order. The results of that order are part of the
// language (a value inserted by the loop pass that holds a placeholder is
// expanded by the variables pass), and the engine keeps
// them exactly while staying close to linear in the size of its output.
// Two kinds of value are never read again, whatever they hold: an escaped
// one, and one the data marks verbatim (TemplateData::IsVerbatim: a post's
// HTML, so that a post can show "{$name}"). SealedValues keeps them out of
// the later passes' sight.
//
// Missing data renders as nothing. A missing layout renders the page empty,
// which callers take as failure; it and other suspicious input (a loop over
// something that is not a list, a loop key that is no valid pattern, a loop
// that is never closed) are reported to the sink, each message once per
// engine. Layout files are read once per engine and kept, and so are each
// template text's resolved inheritance and what the loop pass makes of it
// (LoopPass): a text rendered for many pages is read once.
//
// Thread safety: none.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "data/diagnostics.h"
#include "data/json_document.h"
#include "template/loop_pass.h"
#include "template/sealed_values.h"
#include "template/template_data.h"

namespace tarn {

class TemplateEngine {
 public:
  // theme_dir: what "./" in a layout path stands for (no trailing "/");
  // base_dir: the folder other relative layout paths are taken from.
  TemplateEngine(std::string theme_dir, std::string base_dir, DiagnosticSink sink);

  // All three passes. name says which template it is in messages. "" when
  // the template is empty or its layout is missing.
  std::string Render(std::string_view text, const TemplateData& data,
                     std::string_view name = "template");

  // Pass 1 alone. Sets *ok to false (and returns "") when the layout named
  // by the inheritance tag cannot be read.
  std::string ResolveInheritance(std::string_view text, std::string_view name, bool* ok);

  // Pass 1 of text under name, worked out on first use and kept (the
  // kPassLimit texts resolved last): for pages of one template. None when
  // the layout cannot be read or is empty (reported once). Valid until the
  // next call.
  const std::optional<std::string>& ResolvedFor(std::string_view text, std::string_view name);

  // Passes 2 and 3, for text whose inheritance is already resolved.
  std::string Expand(std::string_view text, const TemplateData& data,
                     std::string_view name = "template");

  // Pass 2 alone.
  std::string ExpandLoops(std::string_view text, const TemplateData& data,
                          std::string_view name = "template");

  // Pass 3 alone.
  static std::string ReplaceVariables(std::string_view text, const TemplateData& data);

  // How many warnings the engine has met, each time it met one, whether
  // or not the sink was told (a message goes to it once): a caller that
  // compares the count before and after a render knows whether the render
  // would have warned on its own.
  int warnings() const { return warnings_; }

  // The file a layout path names: every "./" becomes theme_dir + "/"; a
  // path that is still relative is taken from base_dir.
  std::string LayoutPath(std::string_view layout) const;

 private:
  // Pass 2 (and pass 3 below) on text whose marks are sealed, sealing the
  // values that later passes must not read.
  std::string ExpandLoops(std::string_view text, const TemplateData& data, std::string_view name,
                          SealedValues* sealed);
  static std::string ReplaceVariables(std::string text, const TemplateData& data,
                                      SealedValues* sealed);
  void Warn(const std::string& message);
  // The loop pass of text (sealed) under name: made on first use and kept,
  // the kPassLimit made last; reports about the text go to warn when it is
  // made, and count in warnings() each time it is used.
  const LoopPass& PassFor(std::string_view text, std::string_view name, const DiagnosticSink& warn);

  // A build renders a handful of templates, each for many pages.
  static constexpr size_t kPassLimit = 16;

  std::string theme_dir_;
  std::string base_dir_;
  DiagnosticSink sink_;
  std::map<std::string, std::optional<std::string>> layouts_;  // path -> text, none when unreadable
  std::set<std::string> warned_;
  struct HeldPass {
    std::unique_ptr<LoopPass> pass;
    int warnings = 0;  // what making it reported
  };
  std::vector<HeldPass> passes_;  // oldest first
  int warnings_ = 0;
  // A template text under its name with its inheritance resolved.
  struct Resolved {
    std::string text;
    std::string name;
    std::optional<std::string> result;
  };
  std::deque<Resolved> resolved_;  // oldest first
};

}  // namespace tarn
