#include "template/template_engine.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "data/regex_object.h"
#include "data/text_file.h"
#include "template/sealed_values.h"
#include "template/sequential_replacer.h"
#include "template/template_tree.h"

namespace tarn {
namespace {

// The tag patterns. Matching ignores case; "." stops at line breaks, so a
// tag or placeholder cannot span lines, while [\s\S]*? bodies can. Every
// quantifier is lazy: a body ends at the first closing tag after it.
constexpr std::string_view kExtendPattern = R"re({-extend name="(.*?)"})re";
constexpr std::string_view kBlockPattern = R"re({-block name="(.*?)"}([\s\S]*?){-block\/})re";
constexpr std::string_view kSlotPattern = R"re({-block name="(.*?)"})re";
constexpr std::string_view kLoopPattern =
    R"re({-volist name="(.*?)" key="(.*?)"}([\s\S]*?){-volist\/})re";
constexpr std::string_view kLoopOpenPattern = R"re({-volist name="(.*?)" key="(.*?)"})re";
constexpr std::string_view kVariablePattern = R"re({\$(.*?)})re";

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

int LineOf(std::string_view text, size_t position) {
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + position, '\n'));
}

bool ContainsIgnoringCase(std::string_view text, std::string_view needle) {
  auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
  return it != text.end();
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
  bool ok = true;
  std::string resolved = ResolveInheritance(text, name, &ok);
  if (!ok) return "";
  return Expand(resolved, data, name);
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
  return sealed.Open(ReplaceVariables(looped, data, &sealed));
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
  if (TemplateTree::Needed(text)) {
    TemplateTree tree(text, name, [this](const std::string& message) { Warn(message); });
    return tree.Expand(data, sealed);
  }
  RegexObject loops;
  loops.Execute(kLoopPattern, text);
  int count = loops.GetMatchCount();
  if (ContainsIgnoringCase(text, "{-volist")) {
    std::vector<size_t> starts;
    for (int i = 1; i <= count; ++i) starts.push_back(loops.MatchPosition(i));
    WarnLoneOpenings(text, starts, name);
  }
  if (count == 0) return std::string(text);

  SequentialReplacer replacer(loops.MatchViews());

  // A loop's expansion depends on its text only; work it out once per text.
  std::vector<std::optional<std::string>> expansions(replacer.distinct_count());
  auto expand = [&](int step) -> std::string_view {
    std::optional<std::string>& done = expansions[replacer.distinct_id(step)];
    if (!done) {
      int match = step + 1;
      done = ExpandLoop(std::string(loops.SubMatchView(match, 1)),
                        std::string(loops.SubMatchView(match, 2)), loops.SubMatchView(match, 3),
                        data, name, sealed);
    }
    return *done;
  };
  return replacer.Apply(std::string(text), expand);
}

void TemplateEngine::WarnLoneOpenings(std::string_view text, const std::vector<size_t>& loop_starts,
                                      std::string_view name) {
  RegexObject opens;
  opens.Execute(kLoopOpenPattern, text);
  for (int i = 1; i <= opens.GetMatchCount(); ++i) {
    size_t position = opens.MatchPosition(i);
    if (std::find(loop_starts.begin(), loop_starts.end(), position) == loop_starts.end()) {
      Warn(std::string(name) + ":" + std::to_string(LineOf(text, position)) + ": loop \"" +
           std::string(opens.SubMatchView(i, 1)) + "\" has no {-volist/} of its own; left as text");
    }
  }
}

std::string TemplateEngine::ExpandLoop(const std::string& list, const std::string& key,
                                       std::string_view body, const TemplateData& data,
                                       std::string_view name, SealedValues* sealed) {
  int n = data.GetCount(list);
  int type = data.GetType(list);
  if (type != JsonDocument::kArray && type != JsonDocument::kObject) {
    Warn(std::string(name) + ": loop over \"" + list + "\", which is " +
         (type == JsonDocument::kMissing ? "missing" : "not a list") + "; it renders as nothing");
  }
  std::string acc;
  if (n <= 0) return acc;
  RegexObject fields;
  if (!fields.Execute("{\\$" + key + "\\.(.*?)}", body)) {
    Warn(std::string(name) + ": loop key \"" + key +
         "\" cannot be used to find fields: " + fields.error());
  }
  int field_count = fields.GetMatchCount();
  std::vector<std::string_view> field_texts;
  std::vector<std::string> field_paths;
  for (int f = 1; f <= field_count; ++f) {
    field_texts.push_back(fields.MatchView(f));
    field_paths.emplace_back(fields.SubMatchView(f, 1));
  }
  SequentialReplacer fill(field_texts);
  acc.reserve(static_cast<size_t>(n) * (body.size() + 2));
  std::string value;
  for (int j = 0; j < n; ++j) {
    std::string prefix = list + "[" + std::to_string(j) + "].";
    if (field_count == 0) {
      acc.append(body);
    } else {
      acc += fill.Apply(std::string(body), [&](int f) -> std::string_view {
        value = sealed->Value(prefix + field_paths[f], data);
        return value;
      });
    }
    acc += "\r\n";
  }
  return acc;
}

std::string TemplateEngine::ReplaceVariables(std::string_view text, const TemplateData& data,
                                             SealedValues* sealed) {
  RegexObject variables;
  variables.Execute(kVariablePattern, text);
  int count = variables.GetMatchCount();
  if (count == 0) return std::string(text);
  SequentialReplacer replacer(variables.MatchViews());
  std::vector<std::optional<std::string>> values(replacer.distinct_count());
  return replacer.Apply(std::string(text), [&](int step) -> std::string_view {
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
