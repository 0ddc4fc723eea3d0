#include "import/liquid_translator.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <regex>

#include "import/markdown_code.h"

namespace tarn {

namespace {

// The longest tag, output or attribute list looked for, and the longest
// line read as a heading, fence or block tag: std::regex takes stack in
// proportion to the text it walks, and posts may hold long lines.
constexpr size_t kLongestConstruct = 2000;

// What ends a path written after {{ site.baseurl }}.
constexpr char kPathEnd[] = " \t\r\n)\"'<>{";

// The patterns, compiled when an import first needs them: every tarn
// command loads this code, and compiling them costs more than a
// command's start.
struct Patterns {
  static const Patterns& Get() {
    static const Patterns patterns;
    return patterns;
  }

  // A Liquid tag "{% name args %}" or output "{{ expression }}", with
  // Liquid's whitespace-trimming dashes.
  std::regex tag{R"(^\{%-?\s*(\w+)\s*(.*?)\s*-?%\})"};
  std::regex output{R"(^\{\{-?\s*(.*?)\s*-?\}\})"};
  std::regex url_filter{
      R"(^(['"])([^'"]*)\1\s*\|\s*(relative_url|absolute_url|prepend:\s*site\.(baseurl|url))$)"};
  std::regex highlight{R"(^(\s*)\{%-?\s*highlight\s+([\w+#.-]*)([^%]*)-?%\}(.*)$)"};
  std::regex end_highlight{R"(\{%-?\s*endhighlight\s*-?%\})"};
  std::regex end_raw{R"(\{%-?\s*endraw\s*-?%\})"};
  std::regex end_comment{R"(\{%-?\s*endcomment\s*-?%\})"};
  std::regex fence{R"(^ {0,3}(`{3,}|~{3,}).*$)"};
  std::regex toc_item{R"(^\s*(?:[*+-]|1\.)\s+TOC\s*$)"};
  std::regex toc_list{R"(^\s*\{:\s*\.?toc\s*\}\s*$)"};
  std::regex block_attributes{R"(^\s*\{:([^}]*)\}\s*$)"};
  std::regex heading{R"(^(#{1,6}\s.*?)\s*(?:\{:([^}]*)\})?\s*$)"};
  std::regex ids_and_classes{R"(^\s*([#.][\w-]+\s*)+$)"};
};

class Translation {
 public:
  Translation(const LiquidTranslator::Lookup& lookup, LiquidTranslator::Result* result)
      : lookup_(lookup), result_(result) {}

  void Run(std::string_view text);

 private:
  bool Block(const std::vector<std::string>& lines, size_t* i);
  void Prose(const std::string& line);
  size_t Construct(const std::string& line, size_t at);
  size_t Tag(const std::string& line, size_t at, const std::smatch& tag);
  // The text an output expression stands for; nullopt when it is not one
  // the translator knows.
  // *taken: how much of after it stands for too (a path after the site's
  // address that became a link).
  std::optional<std::string> Output(const std::string& expression, std::string_view after,
                                    size_t* taken) const;
  // lookup_.static_file's link for path, with path's query or fragment;
  // "" when it names no static file.
  std::string StaticLink(const std::string& path) const;
  bool HeadingAttributes(const std::string& line);
  // Copies line to the output, leaving raw mode at its endraw tag; false
  // when the line has none.
  bool RawLine(const std::string& line, size_t from);
  void Remember(std::string construct, std::string what) {
    result_->remarks.push_back({line_, std::move(construct), std::move(what)});
  }
  std::string& out() { return result_->text; }

  const LiquidTranslator::Lookup& lookup_;
  LiquidTranslator::Result* result_;
  int line_ = 0;
  std::vector<size_t> starts_;     // where each line of the text starts
  MarkdownCode::Ranges indented_;  // the text's indented code blocks
  std::string fence_;              // the open code fence's run, or ""
  bool raw_ = false;               // inside {% raw %}
  int raw_line_ = 0;               // where the open raw block began
  bool comment_ = false;           // inside {% comment %}
};

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.emplace_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

std::string Chomped(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// "{#id .class}" for kramdown's "#id .class"; "" when it holds more.
std::string HeadingForm(const std::string& attributes) {
  if (!std::regex_match(attributes, Patterns::Get().ids_and_classes)) return "";
  std::string trimmed = std::regex_replace(attributes, std::regex(R"(^\s+|\s+$)"), "");
  return "{" + std::regex_replace(trimmed, std::regex(R"(\s+)"), " ") + "}";
}

void Translation::Run(std::string_view text) {
  std::vector<std::string> lines = Lines(text);
  indented_ = MarkdownCode::FindIndented(text);
  for (size_t start = 0; const std::string& line : lines) {
    starts_.push_back(start);
    start += line.size();
  }
  size_t i = 0;
  // Front matter is data, not template text.
  if (!lines.empty() && Chomped(lines[0]) == "---") {
    for (out() += lines[i++]; i < lines.size();) {
      std::string line = lines[i++];
      out() += line;
      if (Chomped(line) == "---") break;
    }
  }
  line_ = static_cast<int>(i);
  while (i < lines.size()) {
    ++line_;
    if (!Block(lines, &i)) Prose(lines[i++]);
  }
  if (raw_) result_->remarks.push_back({raw_line_, "{% raw %}", "not closed; its text kept"});
  if (comment_) Remember("{% comment %}", "not closed; the rest of the post dropped");
}

bool Translation::Block(const std::vector<std::string>& lines, size_t* i) {
  const std::string& line = lines[*i];
  const std::string bare = Chomped(line);
  std::smatch match;
  if (raw_) {
    RawLine(line, 0);
    return ++*i, true;
  }
  if (comment_) {
    if (std::regex_search(line, match, Patterns::Get().end_comment)) {
      comment_ = false;
      Prose(match.suffix().str());
    }
    return ++*i, true;
  }
  const std::string head = bare.substr(0, kLongestConstruct);
  if (fence_.empty() && MarkdownCode::At(indented_, starts_[*i])) {
    out() += line;  // indented code is shown as written
    return ++*i, true;
  }
  if (!fence_.empty() || std::regex_match(head, match, Patterns::Get().fence)) {
    if (fence_.empty()) {
      fence_ = match[1].str();
    } else if (std::regex_match(head, match, Patterns::Get().fence) &&
               match[1].str().rfind(fence_, 0) == 0 &&
               bare.find_first_not_of(" `~") == std::string::npos) {
      fence_.clear();  // a closing fence: as long a run, nothing after it
    }
    out() += line;
    return ++*i, true;
  }
  if (bare.size() > kLongestConstruct) return false;
  if (std::regex_match(bare, Patterns::Get().toc_item) && *i + 1 < lines.size() &&
      std::regex_match(Chomped(lines[*i + 1]).substr(0, kLongestConstruct),
                       Patterns::Get().toc_list)) {
    Remember("* TOC {:toc}", "dropped: the theme shows the table of contents");
    ++result_->translated;
    ++line_;
    return *i += 2, true;
  }
  if (std::regex_match(bare, match, Patterns::Get().block_attributes)) {
    if (!HeadingAttributes(match[1].str())) Remember(bare, "dropped");
    return ++*i, true;
  }
  if (!std::regex_match(bare, match, Patterns::Get().highlight)) return false;
  const std::string indent = match[1].str();
  const std::string language = match[2].str();
  std::string code = match[4].str().empty() ? "" : match[4].str() + "\n";
  for (size_t j = *i + 1; j < lines.size(); ++j) {
    std::smatch end;
    if (!std::regex_search(lines[j], end, Patterns::Get().end_highlight)) {
      code += lines[j];
      continue;
    }
    if (!end.prefix().str().empty()) code += end.prefix().str() + "\n";
    std::string run = "```";
    while (code.find(run) != std::string::npos) run += '`';
    out() += indent + run + language + "\n" + code + indent + run + "\n";
    ++result_->translated;
    line_ += static_cast<int>(j - *i);
    *i = j + 1;
    return true;
  }
  Remember(bare, "not closed by {% endhighlight %}; not translated");
  out() += line;
  return ++*i, true;
}

bool Translation::HeadingAttributes(const std::string& attributes) {
  // A block attribute list under an ATX heading belongs to the heading.
  std::string& text = out();
  size_t start = text.size() < 2 ? 0 : text.rfind('\n', text.size() - 2);
  start = start == std::string::npos ? 0 : start + 1;
  std::string last = Chomped(text.substr(start));
  std::string form = HeadingForm(attributes);
  if (form.empty() || last.empty() || last[0] != '#' || last.back() == '}') return false;
  text.resize(start);
  text += last + " " + form + "\n";
  ++result_->translated;
  return true;
}

bool Translation::RawLine(const std::string& line, size_t from) {
  std::smatch end;
  std::string rest = line.substr(from);
  if (!std::regex_search(rest, end, Patterns::Get().end_raw)) {
    out() += rest;
    return false;
  }
  raw_ = false;
  out() += end.prefix().str();
  Prose(end.suffix().str());
  return true;
}

void Translation::Prose(const std::string& whole) {
  std::smatch match;
  const std::string bare = Chomped(whole);
  std::string line = whole;
  if (bare.size() <= kLongestConstruct && std::regex_match(bare, match, Patterns::Get().heading) &&
      match[2].matched) {
    std::string form = HeadingForm(match[2].str());
    if (form.empty()) Remember("{:" + match[2].str() + "}", "dropped");
    line = match[1].str() + (form.empty() ? "" : " " + form) + whole.substr(bare.size());
    ++result_->translated;
  }
  for (size_t at = 0; at < line.size();) {
    if (line[at] == '`') {
      // A code span runs to the next run of as many backticks.
      size_t stop = line.find_first_not_of('`', at);
      size_t run = (stop == std::string::npos ? line.size() : stop) - at;
      size_t close = line.find(std::string(run, '`'), at + run);
      while (close != std::string::npos && close + run < line.size() && line[close + run] == '`') {
        close = line.find(std::string(run, '`'), line.find_first_not_of('`', close));
      }
      size_t end = close == std::string::npos ? at + run : close + run;
      out() += line.substr(at, end - at);
      at = end;
    } else if (line[at] == '{' && at + 1 < line.size() && strchr("%{:", line[at + 1])) {
      at = Construct(line, at);
      if (raw_ || comment_) return;
    } else {
      out() += line[at++];
    }
  }
}

size_t Translation::Construct(const std::string& line, size_t at) {
  const std::string rest = line.substr(at, kLongestConstruct);
  std::smatch match;
  if (std::regex_search(rest, match, Patterns::Get().tag)) return Tag(line, at, match);
  if (std::regex_search(rest, match, Patterns::Get().output)) {
    std::string_view after = std::string_view(line).substr(at + match.length(0));
    size_t taken = 0;
    std::optional<std::string> value = Output(match[1].str(), after, &taken);
    if (!value) {
      Remember(match[0].str(), "not translated");
      out() += match[0].str();
    } else {
      out() += *value;
      ++result_->translated;
      ++result_->links;
    }
    return at + match.length(0) + taken;
  }
  size_t close = rest.find('}');
  if (rest[1] == ':' && close != std::string::npos) {
    // A kramdown span attribute list or extension: tarn has no place for it.
    Remember(rest.substr(0, close + 1), "dropped");
    return at + close + 1;
  }
  out() += line[at];
  return at + 1;
}

size_t Translation::Tag(const std::string& line, size_t at, const std::smatch& tag) {
  const std::string name = tag[1].str();
  const std::string argument = tag[2].str();
  const size_t after = at + tag.length(0);
  if (name == "raw") {
    raw_ = true;
    raw_line_ = line_;
    ++result_->translated;
    RawLine(line, after);
    return line.size();
  }
  if (name == "comment") {
    comment_ = true;
    ++result_->translated;
    std::smatch end;
    std::string rest = line.substr(after);
    if (std::regex_search(rest, end, Patterns::Get().end_comment)) {
      comment_ = false;
      return after + end.position(0) + end.length(0);
    }
    return line.size();
  }
  std::string value;
  if (name == "post_url" && lookup_.post) value = lookup_.post(argument);
  if (name == "link" && lookup_.link) value = lookup_.link(argument);
  const bool relative = name == "include_relative";
  if ((name == "include" || relative) && lookup_.include &&
      !lookup_.include(argument, relative, &value)) {
    value.clear();
  }
  if (value.empty()) {
    Remember(tag[0].str(), "not translated");
    out() += tag[0].str();
  } else {
    out() += value;
    ++result_->translated;
    if (name == "post_url" || name == "link") ++result_->links;
  }
  return after;
}

std::optional<std::string> Translation::Output(const std::string& expression,
                                               std::string_view after, size_t* taken) const {
  // The old site's address and base path go: what follows them is a path
  // of the site, a static file's linked as the lookup says.
  if (expression == "site.baseurl" || expression == "site.url") {
    if (!after.empty() && after[0] == '/') {
      const size_t end = std::min(after.find_first_of(kPathEnd), after.size());
      const std::string link = StaticLink(std::string(after.substr(0, end)));
      if (!link.empty()) *taken = end;
      return link;
    }
    const bool tag_follows = after.substr(0, 2) == "{%" || after.substr(0, 2) == "{{";
    if (!tag_follows) return std::nullopt;
    return "";
  }
  std::smatch match;
  if (!std::regex_match(expression, match, Patterns::Get().url_filter)) return std::nullopt;
  std::string path = match[2].str();
  if (path.find("://") != std::string::npos) return path;
  path = path.empty() || path[0] != '/' ? "/" + path : path;
  const std::string link = StaticLink(path);
  return link.empty() ? path : link;
}

std::string Translation::StaticLink(const std::string& path) const {
  const size_t end = path.find_first_of("?#");
  if (!lookup_.static_file || end == 0) return "";
  const std::string link = lookup_.static_file(path.substr(0, end));
  return link.empty() ? "" : link + path.substr(std::min(end, path.size()));
}

}  // namespace

LiquidTranslator::Result LiquidTranslator::Translate(std::string_view text, const Lookup& lookup) {
  Result result;
  Translation(lookup, &result).Run(text);
  return result;
}

}  // namespace tarn
