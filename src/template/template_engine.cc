#include "template/template_engine.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "data/regex_object.h"
#include "data/text_file.h"
#include "template/loop_pass.h"
#include "template/sealed_values.h"
#include "template/sequential_replacer.h"

namespace tarn {
namespace {

// The tag patterns. Matching ignores case; "." stops at line breaks, so a
// tag or placeholder cannot span lines, while [\s\S]*? bodies can. Every
// quantifier is lazy: a body ends at the first closing tag after it.
constexpr std::string_view kExtendPattern = R"re({-extend name="(.*?)"})re";
constexpr std::string_view kBlockPattern = R"re({-block name="(.*?)"}([\s\S]*?){-block\/})re";
constexpr std::string_view kSlotPattern = R"re({-block name="(.*?)"})re";

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

// The matches of the variables pattern, {\$(.*?)}, in text, in order: "{$",
// then the shortest run up to a "}" that holds no line break ("." stops at
// CR and at LF; it crosses every other byte). A scan for "{$" finds them
// without the regular-expression engine, which a page's variables pass
// would otherwise run once per placeholder.
std::vector<std::string_view> Placeholders(std::string_view text) {
  std::vector<std::string_view> found;
  size_t from = 0;
  for (size_t open = text.find("{$"); open != std::string_view::npos;
       open = text.find("{$", from)) {
    size_t end = open + 2;
    while (end < text.size() && text[end] != '}' && text[end] != '\r' && text[end] != '\n') ++end;
    if (end < text.size() && text[end] == '}') {
      found.push_back(text.substr(open, end - open + 1));
      from = end + 1;
    } else {
      from = open + 1;
    }
  }
  return found;
}

}  // namespace

TemplateEngine::TemplateEngine(std::string theme_dir, std::string base_dir, DiagnosticSink sink)
    : theme_dir_(std::move(theme_dir)), base_dir_(std::move(base_dir)), sink_(std::move(sink)) {}

void TemplateEngine::Warn(const std::string& message) {
  ++warnings_;
  if (!sink_ || !warned_.insert(message).second) return;
  sink_(message);
}

std::string TemplateEngine::LayoutPath(std::string_view layout) const {
  std::string path = ReplaceAll(layout, "./", theme_dir_ + "/");
  if (!path.empty() && path[0] != '/' && !base_dir_.empty()) path = base_dir_ + "/" + path;
  return path;
}

std::string TemplateEngine::Render(std::string_view text, const TemplateData& data,
                                   std::string_view name) {
  const std::optional<std::string>& resolved = ResolvedFor(text, name);
  if (!resolved) return "";
  return Expand(*resolved, data, name);
}

const std::optional<std::string>& TemplateEngine::ResolvedFor(std::string_view text,
                                                              std::string_view name) {
  auto held = std::find_if(resolved_.begin(), resolved_.end(), [&](const Resolved& r) {
    return text.size() == r.text.size() && name == r.name && text == r.text;
  });
  if (held != resolved_.end()) return held->result;
  if (resolved_.size() >= kPassLimit) resolved_.erase(resolved_.begin());
  bool ok = true;
  std::string result = ResolveInheritance(text, name, &ok);
  resolved_.push_back({std::string(text), std::string(name),
                       ok ? std::optional<std::string>(std::move(result)) : std::nullopt});
  return resolved_.back().result;
}

std::string TemplateEngine::ResolveInheritance(std::string_view text, std::string_view name,
                                               bool* ok) {
  *ok = true;
  RegexObject extend;
  extend.Execute(kExtendPattern, text);
  if (extend.GetMatchCount() == 0) return std::string(text);

  // Only the first inheritance tag counts; the layout's own tags stay text.
  std::string path = LayoutPath(extend.SubMatchView(1, 1));
  auto cached = layouts_.find(path);
  if (cached == layouts_.end()) {
    std::optional<std::string> layout(std::in_place);
    std::string error;
    if (!ReadTextFile(path, &*layout, &error)) {
      Warn(std::string(name) + ": layout cannot be read: " + error);
      layout.reset();
    } else if (layout->empty()) {
      Warn(std::string(name) + ": layout " + path + " is empty");
    }
    cached = layouts_.emplace(path, std::move(layout)).first;
  }
  if (!cached->second || cached->second->empty()) {
    *ok = false;
    return "";
  }
  std::string layout = *cached->second;

  // Fill the slots, block by block in the child's order. The slot text is
  // matched exactly (case-sensitively); content goes in verbatim.
  RegexObject blocks;
  blocks.Execute(kBlockPattern, text);
  int count = blocks.GetMatchCount();
  std::vector<std::string> slots;
  std::vector<std::string_view> contents;
  for (int i = 1; i <= count; ++i) {
    slots.push_back("{-block name=\"" + std::string(blocks.SubMatchView(i, 1)) + "\"}");
    contents.push_back(blocks.SubMatchView(i, 2));
  }
  std::vector<std::string_view> slot_views(slots.begin(), slots.end());
  SequentialReplacer fill(slot_views);
  layout = fill.Apply(std::move(layout), [&](int step) { return contents[step]; });

  // Slots the child did not fill vanish, whatever their case.
  RegexObject leftover;
  leftover.Execute(kSlotPattern, layout);
  if (leftover.GetMatchCount() > 0) layout = leftover.Replace("");
  return layout;
}

std::string TemplateEngine::Expand(std::string_view text, const TemplateData& data,
                                   std::string_view name) {
  SealedValues sealed;
  std::string looped = ExpandLoops(sealed.Seal(text), data, name, &sealed);
  return sealed.Open(ReplaceVariables(std::move(looped), data, &sealed));
}

std::string TemplateEngine::ExpandLoops(std::string_view text, const TemplateData& data,
                                        std::string_view name) {
  SealedValues sealed;
  return sealed.Open(ExpandLoops(sealed.Seal(text), data, name, &sealed));
}

std::string TemplateEngine::ReplaceVariables(std::string_view text, const TemplateData& data) {
  SealedValues sealed;
  return sealed.Open(ReplaceVariables(sealed.Seal(text), data, &sealed));
}

std::string TemplateEngine::ExpandLoops(std::string_view text, const TemplateData& data,
                                        std::string_view name, SealedValues* sealed) {
  DiagnosticSink warn = [this](const std::string& message) { Warn(message); };
  return PassFor(text, name, warn).Expand(data, sealed, warn);
}

const LoopPass& TemplateEngine::PassFor(std::string_view text, std::string_view name,
                                        const DiagnosticSink& warn) {
  auto held = std::find_if(passes_.begin(), passes_.end(),
                           [&](const HeldPass& entry) { return entry.pass->Holds(text, name); });
  if (held != passes_.end()) {
    // A page that uses the pass meets its warnings, told or not.
    warnings_ += held->warnings;
    return *held->pass;
  }
  if (passes_.size() >= kPassLimit) passes_.erase(passes_.begin());
  const int before = warnings_;
  auto pass = std::make_unique<LoopPass>(text, name, warn);
  passes_.push_back({std::move(pass), warnings_ - before});
  return *passes_.back().pass;
}

std::string TemplateEngine::ReplaceVariables(std::string text, const TemplateData& data,
                                             SealedValues* sealed) {
  std::vector<std::string_view> placeholders = Placeholders(text);
  if (placeholders.empty()) return text;
  // The replacer keeps its own copies of the matches' texts: text may go.
  SequentialReplacer replacer(placeholders);
  std::vector<std::optional<std::string>> values(replacer.distinct_count());
  return replacer.Apply(std::move(text), [&](int step) -> std::string_view {
    int id = replacer.distinct_id(step);
    if (!values[id]) {
      // The match is "{$" PATH "}", PATH holding no "}".
      const std::string& match = replacer.distinct_text(id);
      values[id] = sealed->Value(std::string_view(match).substr(2, match.size() - 3), data);
    }
    return *values[id];
  });
}

}  // namespace tarn
