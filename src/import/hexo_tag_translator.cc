#include "import/hexo_tag_translator.h"

#include <algorithm>
#include <optional>

#include "import/import_text.h"
#include "import/markdown_code.h"
#include "import/tag_arguments.h"
#include "import/video_embed.h"

namespace tarn {

namespace {

struct HexoTag {
  size_t begin = 0;
  size_t end = 0;  // past "%}"
  std::string name;
  std::string args;
};

std::optional<HexoTag> TagAt(std::string_view text, size_t begin) {
  size_t close = text.find("%}", begin + 2);
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view inner = text.substr(begin + 2, close - begin - 2);
  size_t first = inner.find_first_not_of(" \t\n-");
  if (first == std::string_view::npos) return std::nullopt;
  inner.remove_prefix(first);
  size_t space = inner.find_first_of(" \t\n");
  HexoTag tag{begin, close + 2, std::string(inner.substr(0, space)), ""};
  if (space != std::string_view::npos) tag.args = std::string(inner.substr(space + 1));
  while (!tag.args.empty() && (tag.args.back() == ' ' || tag.args.back() == '-'))
    tag.args.pop_back();
  return tag;
}

// The first tag from at on named name.
std::optional<HexoTag> EndTag(std::string_view text, size_t at, const std::string& name) {
  while ((at = text.find("{%", at)) != std::string_view::npos) {
    std::optional<HexoTag> tag = TagAt(text, at);
    if (!tag) return std::nullopt;
    if (tag->name == name) return tag;
    at = tag->end;
  }
  return std::nullopt;
}

// text with each line opened by prefix ("> "), an empty line by its
// trimmed form.
std::string Prefixed(std::string_view text, std::string_view prefix) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    out +=
        line.empty() ? std::string(prefix.substr(0, 1)) : std::string(prefix) + std::string(line);
    out += '\n';
    at = end + 1;
  }
  return out;
}

bool IsWebAddress(const std::string& word) {
  return word.rfind("http://", 0) == 0 || word.rfind("https://", 0) == 0;
}

std::string CodeBlock(const TagArguments& args, const std::string& code) {
  std::string language, url;
  std::vector<std::string> title, link_text;
  for (const std::string& word : args.positional()) {
    if (word.rfind("lang:", 0) == 0) {
      language = word.substr(5);
    } else if (IsWebAddress(word) && url.empty()) {
      url = word;
    } else if (word.find(':') == std::string::npos) {
      (url.empty() ? title : link_text).push_back(word);
    }  // other options (line_number:false, mark:1,3) are the theme's
  }
  std::string caption = ImportText::Joined(title, " ");
  if (!caption.empty()) caption = "*" + caption + "*";
  if (!url.empty()) {
    std::string shown =
        link_text.empty() ? std::string("link") : ImportText::Joined(link_text, " ");
    caption += (caption.empty() ? "" : " ") + ("[" + shown + "](" + url + ")");
  }
  const std::string fence = MarkdownCode::FenceFor(code);
  return (caption.empty() ? "" : caption + "\n\n") + fence + language + "\n" + code + fence;
}

std::string Signature(const TagArguments& args) {
  std::string link, author;
  std::vector<std::string> before, after;
  for (const std::string& word : args.positional()) {
    if (IsWebAddress(word) && link.empty()) {
      link = word;
    } else {
      (link.empty() ? before : after).push_back(word);
    }
  }
  author = ImportText::Joined(before, " ");
  std::string source;
  if (size_t comma = author.find(','); comma != std::string::npos) {
    source = author.substr(author.find_first_not_of(' ', comma + 1) == std::string::npos
                               ? author.size()
                               : author.find_first_not_of(' ', comma + 1));
    author.erase(comma);
  }
  if (!link.empty()) {
    std::string title =
        after.empty() ? (source.empty() ? link : source) : ImportText::Joined(after, " ");
    source = "[" + title + "](" + link + ")";
  }
  if (author.empty() && source.empty()) return "";
  return ">\n> — " + author + (author.empty() || source.empty() ? "" : ", ") + source + "\n";
}

std::string AlertType(const TagArguments& args, std::string* summary) {
  std::string type = "NOTE";
  std::vector<std::string> words;
  for (const std::string& word : args.positional()) {
    if (word == "success") {
      type = "TIP";
    } else if (word == "warning") {
      type = "WARNING";
    } else if (word == "danger") {
      type = "CAUTION";
    } else if (word != "info" && word != "primary" && word != "default" && word != "no-icon" &&
               word != "flat" && word != "simple" && word != "modern" && word != "disabled") {
      words.push_back(word);
    }
  }
  *summary = ImportText::Joined(words, " ");
  return type;
}

// The Markdown for the quote or note (name) holding body.
std::string Quoted(const std::string& name, const TagArguments& args, const std::string& body) {
  if (name == "blockquote") return Prefixed(body, "> ") + Signature(args);
  if (name == "pullquote") {
    std::string kind = ImportText::Joined(args.positional(), " ");
    return "<blockquote class=\"pullquote" + (kind.empty() ? "" : " " + VideoEmbed::Escaped(kind)) +
           "\">\n\n" + body + "\n</blockquote>\n";
  }
  std::string summary;
  std::string type = AlertType(args, &summary);
  return "> [!" + type + "]\n" + (summary.empty() ? "" : "> **" + summary + "**\n>\n") +
         Prefixed(body, "> ");
}

}  // namespace

HexoTagTranslator::HexoTagTranslator(Posts posts, Assets assets)
    : posts_(std::move(posts)), assets_(std::move(assets)) {}

int HexoTagTranslator::Translate(std::string* text, Left* left) const {
  return Translate(text, 1, left);
}

int HexoTagTranslator::Translate(std::string* text, int first_line, Left* left) const {
  int translated = 0;
  auto change = [&](size_t at) -> MarkdownCode::Change {
    std::optional<HexoTag> tag = TagAt(*text, at);
    if (!tag) return {false, std::string::npos, ""};
    const int line = first_line - 1 + MarkdownCode::LineOf(*text, at);
    MarkdownCode::Change changed{true, tag->end, ""};
    if (!Replacement(*text, at, tag->name, tag->args, line, &changed.end, &changed.text, left,
                     &translated)) {
      return {false, tag->end, ""};
    }
    return changed;
  };
  *text = MarkdownCode::ChangeOutside(*text, "{%", change);
  return translated;
}

bool HexoTagTranslator::Replacement(std::string_view text, size_t begin, const std::string& name,
                                    const std::string& written, int line, size_t* end,
                                    std::string* out, Left* left, int* translated) const {
  const TagArguments args = TagArguments::Parse(written);
  const std::string shown(text.substr(begin, *end - begin));
  if (name == "asset_img" || name == "asset_link" || name == "asset_path") {
    for (const std::string& word : args.positional()) {
      if (assets_(word)) return false;  // HexoSource links it to the copied file
    }
    left->emplace_back(line, shown);
    return false;
  }
  const bool block = name == "code" || name == "codeblock" || name == "blockquote" ||
                     name == "pullquote" || name == "note" || name == "raw";
  if (!block) {
    if (!InlineReplacement(name, args, out)) {
      left->emplace_back(line, shown);
      return false;
    }
    ++*translated;
    return true;
  }
  std::optional<HexoTag> close = EndTag(text, *end, "end" + name);
  if (!close) {
    left->emplace_back(line, shown);
    return false;
  }
  if (name == "raw") {
    *out = std::string(text.substr(*end, close->begin - *end));
    *end = close->end;
    ++*translated;
    return true;
  }
  std::string body = MarkdownCode::Body(text, *end, close->begin);
  std::string result;
  if (name == "code" || name == "codeblock") {
    result = CodeBlock(args, body);
  } else {
    // Tags inside a quote or note are translated with it.
    const std::string_view opening = text.substr(begin, *end - begin);
    const int body_line = line +
                          static_cast<int>(std::count(opening.begin(), opening.end(), '\n')) +
                          (text[*end] == '\n' ? 1 : 0);
    *translated += Translate(&body, body_line, left);
    result = Quoted(name, args, body);
    if (!result.empty() && result.back() == '\n') result.pop_back();
  }
  *out = MarkdownCode::OnOwnLines(text, begin, close->end, result);
  *end = close->end;
  ++*translated;
  return true;
}

bool HexoTagTranslator::InlineReplacement(const std::string& name, const TagArguments& args,
                                          std::string* out) const {
  const std::vector<std::string>& words = args.positional();
  if (words.empty()) return false;
  if (name == "post_link" || name == "post_path") {
    auto [link, title] = posts_(words[0]);
    if (link.empty()) return false;
    if (name == "post_path") {
      *out = link;
      return true;
    }
    std::vector<std::string> shown(words.begin() + 1, words.end());
    if (!shown.empty() && (shown.back() == "true" || shown.back() == "false")) shown.pop_back();
    std::string text = shown.empty() ? title : ImportText::Joined(shown, " ");
    *out = "[" + (text.empty() ? words[0] : text) + "](" + link + ")";
    return true;
  }
  if (name == "youtube") {
    if (words.size() > 1 && words[1] == "playlist") {
      *out = "[Playlist on YouTube](https://www.youtube.com/playlist?list=" + words[0] + ")";
    } else {
      *out = VideoEmbed::Html("youtube", words[0]);
    }
    return !out->empty();
  }
  if (name == "iframe") {
    const std::string& url = words[0];
    if (!IsWebAddress(url)) return false;
    for (auto [service, marker] :
         {std::pair<const char*, std::string_view>{"youtube", "youtube.com/embed/"},
          {"youtube", "youtube-nocookie.com/embed/"},
          {"vimeo", "player.vimeo.com/video/"}}) {
      if (size_t found = url.find(marker); found != std::string::npos) {
        std::string id = url.substr(found + marker.size());
        id = id.substr(0, id.find_first_of("?#/"));
        *out = VideoEmbed::Html(service, id);
        if (!out->empty()) return true;
      }
    }
    *out = "[" + url + "](" + url + ")";
    return true;
  }
  return false;
}

}  // namespace tarn
