#include "import/shortcode_translator.h"

#include <optional>

#include "import/markdown_code.h"
#include "import/tag_arguments.h"
#include "import/video_embed.h"

namespace tarn {

namespace {

struct Tag {
  size_t begin = 0;
  size_t end = 0;     // past the closing delimiter
  std::string inner;  // between the delimiters, trimmed
  bool escaped = false;
};

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

// The shortcode opening at begin ("{{<" or "{{%"), or nullopt when it is
// not closed.
std::optional<Tag> TagAt(std::string_view text, size_t begin) {
  const char kind = text[begin + 2] == '<' ? '>' : '%';  // the closing one
  Tag tag;
  tag.begin = begin;
  std::string_view rest = text.substr(begin + 3);
  tag.escaped = Trimmed(rest).substr(0, 2) == "/*";
  const std::string close = std::string(tag.escaped ? "*/" : "") + kind + "}}";
  size_t at = tag.escaped ? rest.find("/*") + 2 : 0;
  size_t found = rest.find(close, at);
  if (found == std::string_view::npos) return std::nullopt;
  tag.inner = std::string(Trimmed(rest.substr(at, found - at)));
  if (!tag.escaped && !tag.inner.empty() && tag.inner.back() == '/') {
    tag.inner.pop_back();  // {{< name />}}
    tag.inner = std::string(Trimmed(tag.inner));
  }
  tag.end = begin + 3 + found + close.size();
  return tag;
}

// The first tag from at on that closes name ("{{< /name >}}").
std::optional<Tag> ClosingTag(std::string_view text, size_t at, const std::string& name) {
  while ((at = text.find("{{", at)) != std::string_view::npos) {
    if (at + 2 < text.size() && (text[at + 2] == '<' || text[at + 2] == '%')) {
      std::optional<Tag> tag = TagAt(text, at);
      if (!tag) return std::nullopt;
      std::string_view inner = tag->inner;
      if (!inner.empty() && inner[0] == '/' && Trimmed(inner.substr(1)) == name) return tag;
    }
    at += 2;
  }
  return std::nullopt;
}

std::string Attribute(std::string_view name, const std::string& value) {
  if (value.empty()) return "";
  return " " + std::string(name) + "=\"" + VideoEmbed::Escaped(value) + "\"";
}

std::string Figure(const TagArguments& args) {
  const std::string src = args.Get("src", 0);
  const std::string title = args.Named("title");
  const std::string caption = args.Named("caption");
  const std::string link = args.Named("link");
  std::string alt = args.Named("alt");
  if (alt.empty()) alt = caption.empty() ? title : caption;
  if (title.empty() && caption.empty() && args.Named("class").empty()) {
    std::string image = "![" + alt + "](" + src + ")";
    return link.empty() ? image : "[" + image + "](" + link + ")";
  }
  std::string image = "<img" + Attribute("src", src) + Attribute("alt", alt) +
                      Attribute("width", args.Named("width")) +
                      Attribute("height", args.Named("height")) + ">";
  if (!link.empty()) image = "<a" + Attribute("href", link) + ">" + image + "</a>";
  std::string out = "<figure" + Attribute("class", args.Named("class")) + ">" + image;
  if (!title.empty() || !caption.empty()) {
    out += "<figcaption>";
    if (!title.empty()) out += "<strong>" + VideoEmbed::Escaped(title) + "</strong>";
    if (!title.empty() && !caption.empty()) out += " ";
    out += caption + "</figcaption>";
  }
  return out + "</figure>";
}

std::string WebLink(const std::string& label, const std::string& url) {
  return "[" + label + "](" + url + ")";
}

}  // namespace

ShortcodeTranslator::ShortcodeTranslator(Params params, Refs refs)
    : params_(std::move(params)), refs_(std::move(refs)) {}

int ShortcodeTranslator::Translate(std::string* text, Left* left) const {
  int translated = 0;
  auto change = [&](size_t at) -> MarkdownCode::Change {
    if (at + 2 >= text->size() || ((*text)[at + 2] != '<' && (*text)[at + 2] != '%')) {
      return {false, at + 2, ""};
    }
    std::optional<Tag> tag = TagAt(*text, at);
    if (!tag) return {false, std::string::npos, ""};
    if (tag->escaped) {
      const char open = (*text)[at + 2];
      return {true, tag->end,
              std::string("{{") + open + " " + tag->inner + " " + (open == '<' ? '>' : '%') + "}}"};
    }
    std::string_view inner = tag->inner;
    size_t space = inner.find_first_of(" \t\n");
    std::string name(inner.substr(0, space));
    std::string args(space == std::string_view::npos ? "" : inner.substr(space + 1));
    MarkdownCode::Change changed{true, tag->end, ""};
    if (!Replacement(*text, at, name, args, &changed.end, &changed.text)) {
      left->emplace_back(MarkdownCode::LineOf(*text, at), text->substr(at, tag->end - at));
      return {false, tag->end, ""};
    }
    ++translated;
    return changed;
  };
  *text = MarkdownCode::ChangeOutside(*text, "{{", change);
  return translated;
}

bool ShortcodeTranslator::Replacement(std::string_view text, size_t begin, const std::string& name,
                                      const std::string& written, size_t* end,
                                      std::string* out) const {
  const TagArguments args = TagArguments::Parse(written);
  if (name == "highlight") {
    std::optional<Tag> close = ClosingTag(text, *end, name);
    if (!close) return false;
    const std::string code = MarkdownCode::Body(text, *end, close->begin);
    const std::string fence = MarkdownCode::FenceFor(code);
    *out = MarkdownCode::OnOwnLines(text, begin, close->end,
                                    fence + args.Get("lang", 0) + "\n" + code + fence);
    *end = close->end;
    return true;
  }
  if (name == "figure") {
    if (args.Get("src", 0).empty()) return false;
    *out = Figure(args);
  } else if (name == "ref" || name == "relref") {
    std::string path = args.Get("path", 0);
    std::string fragment;
    if (size_t hash = path.find('#'); hash != std::string::npos) {
      fragment = path.substr(hash);
      path.erase(hash);
    }
    std::string link = path.empty() ? "" : refs_(path);
    if (link.empty()) return false;
    *out = link + fragment;
  } else if (name == "youtube" || name == "vimeo") {
    *out = VideoEmbed::Html(name, args.Get("id", 0));
  } else if (name == "x" || name == "tweet" || name == "twitter") {
    std::string user = args.Named("user");
    std::string id = args.Named("id");
    if (id.empty()) id = args.positional().empty() ? "" : args.positional().back();
    if (id.empty()) return false;
    *out = WebLink("Post on X", "https://x.com/" + (user.empty() ? "i" : user) + "/status/" + id);
  } else if (name == "gist") {
    if (args.positional().size() < 2) return false;
    const std::string& user = args.positional()[0];
    const std::string& id = args.positional()[1];
    *out = WebLink("Gist " + user + "/" + id, "https://gist.github.com/" + user + "/" + id);
  } else if (name == "instagram") {
    std::string id = args.Get("id", 0);
    if (id.empty()) return false;
    *out = WebLink("Picture on Instagram", "https://www.instagram.com/p/" + id + "/");
  } else if (name == "param") {
    std::string key = args.Get("key", 0);
    *out = key.empty() ? "" : params_(key);
  } else {
    return false;
  }
  return !out->empty();
}

}  // namespace tarn
