#include "template/loop_pass.h"

#include <algorithm>
#include <cctype>

#include "data/json_document.h"

namespace tarn {
namespace {

// Matching ignores case; bodies end at the first closing tag after them.
constexpr std::string_view kLoopPattern =
    R"re({-volist name="(.*?)" key="(.*?)"}([\s\S]*?){-volist\/})re";
constexpr std::string_view kLoopOpenPattern = R"re({-volist name="(.*?)" key="(.*?)"})re";

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

// Reports each loop opening tag in text that starts none of the loops found
// (matches of kLoopPattern in loops): it stays as text.
void WarnLoneOpenings(std::string_view text, const RegexObject& loops, std::string_view name,
                      const DiagnosticSink& sink) {
  std::vector<size_t> starts;
  for (int i = 1; i <= loops.GetMatchCount(); ++i) starts.push_back(loops.MatchPosition(i));
  RegexObject opens;
  opens.Execute(kLoopOpenPattern, text);
  for (int i = 1; i <= opens.GetMatchCount(); ++i) {
    size_t position = opens.MatchPosition(i);
    if (std::find(starts.begin(), starts.end(), position) == starts.end()) {
      sink(std::string(name) + ":" + std::to_string(LineOf(text, position)) + ": loop \"" +
           std::string(opens.SubMatchView(i, 1)) + "\" has no {-volist/} of its own; left as text");
    }
  }
}

}  // namespace

LoopPass::LoopPass(std::string_view text, std::string_view name, const DiagnosticSink& sink)
    : text_(text), name_(name) {
  if (TemplateTree::Needed(text_)) {
    tree_ = std::make_unique<TemplateTree>(text_, name_, sink);
    return;
  }
  PrepareLoops(sink);
}

void LoopPass::PrepareLoops(const DiagnosticSink& sink) {
  loops_.Execute(kLoopPattern, text_);
  const int count = loops_.GetMatchCount();
  if (sink && ContainsIgnoringCase(text_, "{-volist")) WarnLoneOpenings(text_, loops_, name_, sink);
  if (count == 0) return;
  replacer_.emplace(loops_.MatchViews());
  // A loop's expansion depends on its text only: one Loop per distinct text.
  distinct_loops_.resize(replacer_->distinct_count());
  for (int step = 0; step < count; ++step) {
    std::unique_ptr<Loop>& loop = distinct_loops_[replacer_->distinct_id(step)];
    if (loop) continue;
    const int match = step + 1;
    loop = std::make_unique<Loop>();
    loop->list = loops_.SubMatchView(match, 1);
    loop->key = loops_.SubMatchView(match, 2);
    loop->body = loops_.SubMatchView(match, 3);
    if (!loop->fields.Execute("{\\$" + loop->key + "\\.(.*?)}", loop->body))
      loop->key_error = loop->fields.error();
    std::vector<std::string_view> field_texts = loop->fields.MatchViews();
    for (int f = 1; f <= loop->fields.GetMatchCount(); ++f)
      loop->field_paths.emplace_back(loop->fields.SubMatchView(f, 1));
    loop->fill.emplace(field_texts);
  }
}

std::string LoopPass::Expand(const TemplateData& data, SealedValues* sealed,
                             const DiagnosticSink& sink) const {
  if (tree_) return tree_->Expand(data, sealed);
  if (!replacer_) return text_;
  std::vector<std::optional<std::string>> expansions(distinct_loops_.size());
  auto expand = [&](int step) -> std::string_view {
    const int id = replacer_->distinct_id(step);
    std::optional<std::string>& done = expansions[id];
    if (!done) done = ExpandLoop(*distinct_loops_[id], data, sealed, sink);
    return *done;
  };
  return replacer_->Apply(text_, expand);
}

std::string LoopPass::ExpandLoop(const Loop& loop, const TemplateData& data, SealedValues* sealed,
                                 const DiagnosticSink& sink) const {
  int n = data.GetCount(loop.list);
  int type = data.GetType(loop.list);
  if (sink && type != JsonDocument::kArray && type != JsonDocument::kObject) {
    sink(name_ + ": loop over \"" + loop.list + "\", which is " +
         (type == JsonDocument::kMissing ? "missing" : "not a list") + "; it renders as nothing");
  }
  std::string acc;
  if (n <= 0) return acc;
  if (sink && !loop.key_error.empty()) {
    sink(name_ + ": loop key \"" + loop.key +
         "\" cannot be used to find fields: " + loop.key_error);
  }
  const bool has_fields = !loop.field_paths.empty();
  acc.reserve(static_cast<size_t>(n) * (loop.body.size() + 2));
  std::string prefix = loop.list + "[";
  const size_t stem = prefix.size();
  std::string value;
  for (int j = 0; j < n; ++j) {
    if (!has_fields) {
      acc.append(loop.body);
    } else {
      prefix.resize(stem);
      prefix += std::to_string(j);
      prefix += "].";
      const size_t path_start = prefix.size();
      acc += loop.fill->Apply(std::string(loop.body), [&](int f) -> std::string_view {
        prefix.resize(path_start);
        prefix += loop.field_paths[f];
        value = sealed->Value(prefix, data);
        return value;
      });
    }
    acc += "\r\n";
  }
  return acc;
}

}  // namespace tarn
